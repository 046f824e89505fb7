#pragma once
#include <cstdint>

#include "Kes/Array.h"
#include "Kes/Export.h"
#include "Kes/Memory.h"
#include "Kes/String.h"

namespace Kes {

enum TSeekFrom : int { SeekBegin = 0, SeekCurrent = 1, SeekEnd = 2 };

// A file of the framework. Failures are raised (ERR_FILE_*), never returned,
// except that Read delivers fewer bytes at the end.
class KES_API CBaseFile {
public:
  KES_DECLARE_ALLOCATION
  CBaseFile() = default;
  CBaseFile(const CBaseFile&) = delete;
  CBaseFile& operator=(const CBaseFile&) = delete;

  virtual ~CBaseFile();
  virtual CUnicodeString GetFileName() const = 0;
  // Returns the bytes read: count, or fewer at the end of the file.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual void Write(const void* data, std::int64_t count) = 0;
  virtual std::int64_t GetPosition() const = 0;
  // Returns the new position. Seeking past the end is allowed; writing there
  // fills the gap with zeros. A position below 0 raises ERR_FILE_SEEK.
  virtual std::int64_t Seek(std::int64_t offset, TSeekFrom from) = 0;
  virtual void SetLength(std::int64_t length) = 0;
  virtual std::int64_t GetLength() const = 0;
  // Closes without raising; a file that this object created is removed.
  virtual void Abort() noexcept = 0;
  virtual void Flush() = 0;
  virtual void Close() = 0;
  virtual bool IsEndOfFile() const = 0;

  void SeekToBegin() { Seek(0, SeekBegin); }
};

// Open flags. The two combinations the module uses are named below.
enum TFileFlags : int {
  FileRead = 0x0001,
  FileWrite = 0x0002,
  FileShareExclusive = 0x0010,
  FileShareDenyWrite = 0x0020,
  FileCreate = 0x1000,
};
inline constexpr int kFileOpenForReading = FileRead | FileShareDenyWrite;                               // 33
inline constexpr int kFileCreateForWriting = FileCreate | FileShareDenyWrite | FileShareExclusive | FileWrite;  // 4146

// A file of the operating system. Small writes are gathered in a buffer;
// Flush and Close raise when the system refuses them, and the destructor
// flushes quietly (call Close or Flush to learn of a failure).
class KES_API CFile : public CBaseFile {
public:
  // Raises ERR_FILE_OPEN with the name and the system's reason.
  CFile(const CUnicodeString& name, int flags);
  ~CFile() override;

  CUnicodeString GetFileName() const override;
  std::int64_t Read(void* buffer, std::int64_t count) override;
  void Write(const void* data, std::int64_t count) override;
  std::int64_t GetPosition() const override;
  std::int64_t Seek(std::int64_t offset, TSeekFrom from) override;
  void SetLength(std::int64_t length) override;
  std::int64_t GetLength() const override;
  void Abort() noexcept override;
  void Flush() override;
  void Close() override;
  bool IsEndOfFile() const override;

private:
  int Descriptor(const CError& error) const;  // raises error when the file is closed
  [[noreturn]] void RaiseSystemError(const CError& error, int code) const;
  void FlushPending();
  void WriteThrough(const void* data, std::int64_t count);

  CUnicodeString m_name;
  int m_fd = -1;
  bool m_writable = false;
  bool m_created = false;
  std::int64_t m_position = 0;
  CArray<std::uint8_t> m_pending;  // written bytes not yet handed to the system
};

// A file in memory that grows in steps of growBytes. Its name is empty.
class KES_API CMemoryFile : public CBaseFile {
public:
  explicit CMemoryFile(std::int64_t growBytes = 1024);
  ~CMemoryFile() override;

  CUnicodeString GetFileName() const override;
  std::int64_t Read(void* buffer, std::int64_t count) override;
  void Write(const void* data, std::int64_t count) override;
  std::int64_t GetPosition() const override;
  std::int64_t Seek(std::int64_t offset, TSeekFrom from) override;
  void SetLength(std::int64_t length) override;
  std::int64_t GetLength() const override;
  void Abort() noexcept override;
  void Flush() override;
  void Close() override;
  bool IsEndOfFile() const override;

  const std::uint8_t* Data() const noexcept { return m_data; }

protected:
  void ReleaseOwned() noexcept;

  std::uint8_t* m_data = nullptr;
  std::int64_t m_length = 0;    // bytes that reading may reach
  std::int64_t m_capacity = 0;  // bytes of the buffer
  std::int64_t m_position = 0;
  std::int64_t m_growBytes;
  bool m_attached = false;  // the buffer is the caller's: never freed, never written
};

// A memory file that can read a caller's block in place.
class KES_API CMemoryFileEx : public CMemoryFile {
public:
  using CMemoryFile::CMemoryFile;
  // Reads the caller's block of size bytes; it is never written, grown or
  // freed. growBytes is kept for the framework's call form.
  void Attach(const void* buffer, std::int64_t size, std::int64_t growBytes);
  // Gives the block back untouched; the file is then empty.
  const void* Detach() noexcept;
};

}  // namespace Kes
