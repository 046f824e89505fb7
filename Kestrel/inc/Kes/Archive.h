#pragma once
#include <cstdint>

#include "Kes/Export.h"
#include "Kes/File.h"
#include "Kes/Rational.h"
#include "Kes/String.h"

namespace Kes {

// Stores or loads values in a byte layout that is the same on every machine:
// little-endian, written byte by byte. Anything truncated or malformed on
// loading raises ERR_BAD_ARCHIVE with the archive's name.
class KES_API CArchive {
public:
  enum TMode { Loading, Storing };
  static constexpr std::int32_t kBufferSize = 4096;
  // Small values 0..254 take one byte; anything else is the mark and 4 bytes.
  static constexpr std::uint8_t kSmallValueEscape = 0xFF;

  CArchive(CBaseFile& file, TMode mode);
  // A storing archive flushes what it buffered; call Close to learn of failures.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoading() const noexcept { return m_mode == Loading; }
  bool IsStoring() const noexcept { return m_mode == Storing; }
  // The archive's name: its file's name.
  CUnicodeString Name() const;
  CUnicodeString UnicodeName() const { return Name(); }

  // Storing writes current; loading reads the stored version and refuses
  // one above current. Returns the version in force.
  std::int32_t SerializeVersion(std::int32_t current);
  std::int32_t ReadSmallValue();
  void WriteSmallValue(std::int32_t value);

  CArchive& operator<<(std::uint8_t value);
  CArchive& operator<<(std::uint32_t value);
  CArchive& operator<<(std::int32_t value);
  CArchive& operator<<(std::int64_t value);
  CArchive& operator<<(double value);
  CArchive& operator<<(const CUnicodeString& value);
  CArchive& operator<<(const rational& value);
  CArchive& operator>>(std::uint8_t& value);
  CArchive& operator>>(std::uint32_t& value);
  CArchive& operator>>(std::int32_t& value);
  CArchive& operator>>(std::int64_t& value);
  CArchive& operator>>(double& value);
  CArchive& operator>>(CUnicodeString& value);
  CArchive& operator>>(rational& value);

  void WriteBytes(const void* data, std::int64_t count);
  void ReadBytes(void* data, std::int64_t count);
  // Bytes that loading can still supply; a declared length is checked
  // against it before anything is reserved.
  std::int64_t BytesLeft() const;
  // Raises ERR_BAD_ARCHIVE with the archive's name.
  [[noreturn]] void RaiseBadArchive() const;

  void Flush();
  void Close();

private:
  void readOverBuffer(std::int64_t needed);
  void writeOverBuffer();
  void RequireMode(TMode mode) const;
  std::uint64_t ReadLittleEndian(int width);
  void WriteLittleEndian(std::uint64_t value, int width);

  CBaseFile& m_file;
  TMode m_mode;
  std::uint8_t m_buffer[kBufferSize];
  std::int32_t m_used = 0;  // storing: bytes waiting; loading: bytes held
  std::int32_t m_next = 0;  // loading: next unread byte
  bool m_closed = false;
};

}  // namespace Kes
