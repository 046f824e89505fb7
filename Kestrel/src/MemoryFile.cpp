#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FileInternal.h"
#include "Kes/Errors.h"
#include "Kes/File.h"

namespace Kes {
namespace {

constexpr std::int64_t kMinGrowBytes = 1;

// A memory file has no name; the reason says what was refused.
[[noreturn]] void RaiseMemoryFileError(const CError& error, int code) {
  GenerateCheck(error, CUnicodeString(), SystemReason(code));
}

// The capacity that holds needed bytes: whole steps of growBytes, and at least
// half as much again as now, so that a file written in small pieces is copied
// a bounded number of times.
std::int64_t GrownCapacity(std::int64_t capacity, std::int64_t needed, std::int64_t growBytes) {
  const std::int64_t wanted = std::max(needed, capacity + capacity / 2);
  const std::int64_t steps = wanted / growBytes + (wanted % growBytes != 0 ? 1 : 0);
  std::int64_t grown = 0;
  if (__builtin_mul_overflow(steps, growBytes, &grown)) return needed;
  return grown;
}

}  // namespace

CMemoryFile::CMemoryFile(std::int64_t growBytes) : m_growBytes(std::max(growBytes, kMinGrowBytes)) {}

CMemoryFile::~CMemoryFile() { ReleaseOwned(); }

void CMemoryFile::ReleaseOwned() noexcept {
  if (!m_attached) doFree(m_data);
  m_data = nullptr;
  m_length = 0;
  m_capacity = 0;
  m_position = 0;
  m_attached = false;
}

CUnicodeString CMemoryFile::GetFileName() const { return {}; }

std::int64_t CMemoryFile::Read(void* buffer, std::int64_t count) {
  if (count < 0) RaiseMemoryFileError(ERR_FILE_READ, EINVAL);
  const std::int64_t available = std::max<std::int64_t>(m_length - m_position, 0);
  const std::int64_t got = std::min(count, available);
  if (got == 0) return 0;
  std::memcpy(buffer, m_data + m_position, static_cast<std::size_t>(got));
  m_position += got;
  return got;
}

void CMemoryFile::Write(const void* data, std::int64_t count) {
  if (m_attached) RaiseMemoryFileError(ERR_FILE_WRITE, EROFS);
  if (count < 0) RaiseMemoryFileError(ERR_FILE_WRITE, EINVAL);
  std::int64_t end = 0;
  if (__builtin_add_overflow(m_position, count, &end)) RaiseMemoryFileError(ERR_FILE_WRITE, EFBIG);
  if (count == 0) return;
  SetLength(std::max(m_length, end));  // reserves, and zero-fills a gap before the position
  std::memcpy(m_data + m_position, data, static_cast<std::size_t>(count));
  m_position = end;
}

std::int64_t CMemoryFile::GetPosition() const { return m_position; }

std::int64_t CMemoryFile::Seek(std::int64_t offset, TSeekFrom from) {
  const std::int64_t target = SeekTarget(offset, from, m_position, [this] { return m_length; });
  if (target < 0) RaiseMemoryFileError(ERR_FILE_SEEK, EINVAL);
  m_position = target;
  return target;
}

void CMemoryFile::SetLength(std::int64_t length) {
  if (length < 0) RaiseMemoryFileError(ERR_FILE_WRITE, EINVAL);
  if (length > m_capacity && m_attached) RaiseMemoryFileError(ERR_FILE_WRITE, EROFS);
  if (length > m_capacity) {
    const std::int64_t capacity = GrownCapacity(m_capacity, length, m_growBytes);
    if (static_cast<std::uint64_t>(capacity) > SIZE_MAX) RaiseMemoryFileError(ERR_FILE_WRITE, EFBIG);
    auto* grown = static_cast<std::uint8_t*>(doAlloc(static_cast<std::size_t>(capacity)));
    if (m_length > 0) std::memcpy(grown, m_data, static_cast<std::size_t>(m_length));
    doFree(m_data);
    m_data = grown;
    m_capacity = capacity;
  }
  // The caller's block is never written: within it, the length only limits reading.
  if (length > m_length && !m_attached) std::memset(m_data + m_length, 0, static_cast<std::size_t>(length - m_length));
  m_length = length;
}

std::int64_t CMemoryFile::GetLength() const { return m_length; }

void CMemoryFile::Abort() noexcept { ReleaseOwned(); }

void CMemoryFile::Flush() {}

void CMemoryFile::Close() { ReleaseOwned(); }

bool CMemoryFile::IsEndOfFile() const { return m_position >= m_length; }

void CMemoryFileEx::Attach(const void* buffer, std::int64_t size, std::int64_t /*growBytes*/) {
  if (size < 0 || (size > 0 && buffer == nullptr)) RaiseMemoryFileError(ERR_FILE_OPEN, EINVAL);
  ReleaseOwned();
  // Never written through: every write and every growth is refused while attached.
  m_data = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
  m_length = size;
  m_capacity = size;
  m_attached = true;
}

const void* CMemoryFileEx::Detach() noexcept {
  // A buffer of the file's own passes to the caller, who frees it with doFree.
  const void* block = m_data;
  m_attached = true;  // so that the reset below leaves the block alone
  ReleaseOwned();
  return block;
}

}  // namespace Kes
