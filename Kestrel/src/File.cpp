#include "Kes/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "FileInternal.h"
#include "Kes/Errors.h"

namespace Kes {
namespace {

// Small writes gather up to this many bytes before they reach the system.
constexpr std::int64_t kPendingBytes = 64 * 1024;
// One system call moves at most this much; larger transfers loop.
constexpr std::int64_t kMaxTransfer = std::int64_t{1} << 30;
constexpr mode_t kCreatedFileMode = 0666;  // narrowed by the process's umask
constexpr std::size_t kReasonBufferSize = 256;

// The open(2) flags for the framework's flags, or -1 for a combination that
// names no access. The sharing flags have no POSIX counterpart.
int SystemOpenFlags(int flags) {
  const bool read = (flags & FileRead) != 0;
  const bool write = (flags & FileWrite) != 0;
  const bool create = (flags & FileCreate) != 0;
  if (!write && (create || !read)) return -1;
  int system = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  if (create) system |= O_CREAT | O_TRUNC;
  return system | O_CLOEXEC;
}

bool HasEmbeddedNul(const CUnicodeString& name) { return name.View().find(u'\0') != std::u16string_view::npos; }

// Writes all count bytes unless the system refuses; returns 0 or the errno value.
int WriteFully(int fd, const std::uint8_t* data, std::int64_t count, std::int64_t& written) {
  written = 0;
  while (written < count) {
    const auto chunk = static_cast<std::size_t>(std::min(count - written, kMaxTransfer));
    const ssize_t n = ::write(fd, data + written, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;  // no progress: looping would never end
    written += n;
  }
  return 0;
}

// Reads until count bytes or the end of the file; returns 0 or the errno value.
int ReadFully(int fd, std::uint8_t* buffer, std::int64_t count, std::int64_t& got) {
  got = 0;
  while (got < count) {
    const auto chunk = static_cast<std::size_t>(std::min(count - got, kMaxTransfer));
    const ssize_t n = ::read(fd, buffer + got, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    got += n;
  }
  return 0;
}

}  // namespace

CUnicodeString SystemReason(int code) {
  char buffer[kReasonBufferSize];
  return CUnicodeString::FromUtf8(::strerror_r(code, buffer, sizeof(buffer)));
}

CBaseFile::~CBaseFile() = default;

CFile::CFile(const CUnicodeString& name, int flags) : m_name(name) {
  const int systemFlags = SystemOpenFlags(flags);
  // A NUL would silently shorten the name into another file's.
  if (systemFlags < 0 || HasEmbeddedNul(name)) RaiseSystemError(ERR_FILE_OPEN, EINVAL);
  const std::string path = name.ToUtf8();
  int fd = -1;
  do {
    fd = ::open(path.c_str(), systemFlags, kCreatedFileMode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseSystemError(ERR_FILE_OPEN, errno);
  struct stat status {};
  const int statResult = ::fstat(fd, &status);
  const int statCode = statResult != 0 ? errno : EISDIR;
  if (statResult != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    RaiseSystemError(ERR_FILE_OPEN, statCode);
  }
  m_fd = fd;
  m_writable = (flags & FileWrite) != 0;
  // Only a regular file is ever removed by Abort: never a device or a pipe.
  m_created = (flags & FileCreate) != 0 && S_ISREG(status.st_mode);
}

CFile::~CFile() {
  if (m_fd < 0) return;
  try {
    FlushPending();
  } catch (CException* failure) {
    failure->Delete();  // the destructor cannot report; Close and Flush do
  }
  ::close(m_fd);
}

CUnicodeString CFile::GetFileName() const { return m_name; }

int CFile::Descriptor(const CError& error) const {
  if (m_fd < 0) RaiseSystemError(error, EBADF);
  return m_fd;
}

void CFile::RaiseSystemError(const CError& error, int code) const { GenerateCheck(error, m_name, SystemReason(code)); }

std::int64_t CFile::Read(void* buffer, std::int64_t count) {
  const int fd = Descriptor(ERR_FILE_READ);
  if (count < 0) RaiseSystemError(ERR_FILE_READ, EINVAL);
  FlushPending();
  std::int64_t got = 0;
  const int code = ReadFully(fd, static_cast<std::uint8_t*>(buffer), count, got);
  m_position += got;
  if (code != 0) RaiseSystemError(ERR_FILE_READ, code);
  return got;
}

void CFile::Write(const void* data, std::int64_t count) {
  Descriptor(ERR_FILE_WRITE);
  if (!m_writable) RaiseSystemError(ERR_FILE_WRITE, EBADF);
  if (count < 0) RaiseSystemError(ERR_FILE_WRITE, EINVAL);
  std::int64_t end = 0;
  if (__builtin_add_overflow(m_position, count, &end)) RaiseSystemError(ERR_FILE_WRITE, EFBIG);
  if (count == 0) return;
  if (m_pending.GetCount() + count > kPendingBytes) FlushPending();
  if (count >= kPendingBytes) {
    WriteThrough(data, count);
    return;
  }
  m_pending.AppendBytes(static_cast<const std::uint8_t*>(data), static_cast<std::int32_t>(count));
  m_position = end;
}

void CFile::WriteThrough(const void* data, std::int64_t count) {
  std::int64_t written = 0;
  const int code = WriteFully(m_fd, static_cast<const std::uint8_t*>(data), count, written);
  m_position += written;
  if (code != 0) RaiseSystemError(ERR_FILE_WRITE, code);
}

void CFile::FlushPending() {
  if (m_pending.IsEmpty()) return;
  const std::int32_t count = m_pending.GetCount();
  std::int64_t written = 0;
  const int code = WriteFully(m_fd, m_pending.Data(), count, written);
  // What the system did not take stays pending, so the position stays true
  // and every later flush reports the failure again.
  const auto rest = static_cast<std::int32_t>(count - written);
  std::memmove(m_pending.Data(), m_pending.Data() + written, static_cast<std::size_t>(rest));
  m_pending.SetCount(rest);
  if (code != 0) RaiseSystemError(ERR_FILE_WRITE, code);
}

std::int64_t CFile::GetPosition() const {
  Descriptor(ERR_FILE_SEEK);
  return m_position;
}

std::int64_t CFile::Seek(std::int64_t offset, TSeekFrom from) {
  const int fd = Descriptor(ERR_FILE_SEEK);
  FlushPending();
  const std::int64_t target = SeekTarget(offset, from, m_position, [this] { return GetLength(); });
  if (target < 0) RaiseSystemError(ERR_FILE_SEEK, EINVAL);
  if (::lseek(fd, target, SEEK_SET) < 0) RaiseSystemError(ERR_FILE_SEEK, errno);
  m_position = target;
  return target;
}

void CFile::SetLength(std::int64_t length) {
  const int fd = Descriptor(ERR_FILE_WRITE);
  if (!m_writable) RaiseSystemError(ERR_FILE_WRITE, EBADF);
  if (length < 0) RaiseSystemError(ERR_FILE_WRITE, EINVAL);
  FlushPending();
  int result = 0;
  do {
    result = ::ftruncate(fd, length);
  } while (result != 0 && errno == EINTR);
  if (result != 0) RaiseSystemError(ERR_FILE_WRITE, errno);
}

std::int64_t CFile::GetLength() const {
  struct stat status {};
  if (::fstat(Descriptor(ERR_FILE_READ), &status) != 0) RaiseSystemError(ERR_FILE_READ, errno);
  // Pending bytes end at the position, so once they are flushed the file
  // reaches at least there; counting them spares a flush in a const query.
  if (m_pending.IsEmpty()) return status.st_size;
  return std::max<std::int64_t>(status.st_size, m_position);
}

void CFile::Abort() noexcept {
  if (m_fd < 0) return;
  m_pending.Clear();
  ::close(std::exchange(m_fd, -1));
  if (!m_created) return;
  try {
    ::unlink(m_name.ToUtf8().c_str());
  } catch (const std::bad_alloc&) {
    // Abort never raises; without memory for the name the file stays.
  }
}

void CFile::Flush() {
  Descriptor(ERR_FILE_WRITE);
  FlushPending();
}

void CFile::Close() {
  if (m_fd < 0) return;
  CException* failure = nullptr;
  try {
    FlushPending();
  } catch (CException* raised) {
    failure = raised;  // raised again once the descriptor is released
  }
  m_pending.Clear();
  const int result = ::close(std::exchange(m_fd, -1));
  const int code = errno;
  if (failure) throw failure;
  // After EINTR Linux has closed the descriptor and reported nothing lost.
  if (result != 0 && code != EINTR) RaiseSystemError(ERR_FILE_WRITE, code);
}

bool CFile::IsEndOfFile() const { return m_position >= GetLength(); }

}  // namespace Kes
