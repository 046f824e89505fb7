#include "Kes/Archive.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "Kes/Array.h"
#include "Kes/Errors.h"

namespace Kes {
namespace {

constexpr int kByteWidth = 1;
constexpr int kUnitWidth = 2;   // a UTF-16 code unit
constexpr int kWordWidth = 4;   // int32, uint32, an escaped small value
constexpr int kLongWidth = 8;   // int64, double, each half of a rational
constexpr int kBitsPerByte = 8;

}  // namespace

CArchive::CArchive(CBaseFile& file, TMode mode) : m_file(file), m_mode(mode) {}

CArchive::~CArchive() {
  if (m_closed) return;
  try {
    Flush();
  } catch (CException* failure) {
    failure->Delete();  // a destructor cannot report; Close does
  }
}

CUnicodeString CArchive::Name() const { return m_file.GetFileName(); }

void CArchive::RaiseBadArchive() const { GenerateCheck(ERR_BAD_ARCHIVE, Name()); }

void CArchive::RequireMode(TMode mode) const {
  if (m_closed || m_mode != mode) RaiseInternal(Sites::ArchiveDirection, mode);
}

void CArchive::writeOverBuffer() {
  if (m_used == 0) return;
  m_file.Write(m_buffer, m_used);
  m_used = 0;
}

void CArchive::readOverBuffer(std::int64_t needed) {
  const std::int32_t held = m_used - m_next;
  std::memmove(m_buffer, m_buffer + m_next, static_cast<std::size_t>(held));
  m_used = held;
  m_next = 0;
  while (m_used < needed) {
    const std::int64_t got = m_file.Read(m_buffer + m_used, kBufferSize - m_used);
    if (got <= 0) RaiseBadArchive();
    m_used += static_cast<std::int32_t>(got);
  }
}

void CArchive::WriteLittleEndian(std::uint64_t value, int width) {
  RequireMode(Storing);
  for (int i = 0; i < width; ++i) {
    if (m_used == kBufferSize) writeOverBuffer();
    m_buffer[m_used++] = static_cast<std::uint8_t>(value >> (kBitsPerByte * i));
  }
}

std::uint64_t CArchive::ReadLittleEndian(int width) {
  RequireMode(Loading);
  if (m_used - m_next < width) readOverBuffer(width);
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= std::uint64_t{m_buffer[m_next++]} << (kBitsPerByte * i);
  return value;
}

std::int64_t CArchive::BytesLeft() const {
  RequireMode(Loading);
  const std::int64_t inFile = std::max<std::int64_t>(m_file.GetLength() - m_file.GetPosition(), 0);
  return (m_used - m_next) + inFile;
}

void CArchive::WriteBytes(const void* data, std::int64_t count) {
  RequireMode(Storing);
  if (count < 0) RaiseInternal(Sites::ArchiveArgument, count);
  if (count > kBufferSize - m_used) writeOverBuffer();
  if (count >= kBufferSize) {
    m_file.Write(data, count);
    return;
  }
  if (count == 0) return;
  std::memcpy(m_buffer + m_used, data, static_cast<std::size_t>(count));
  m_used += static_cast<std::int32_t>(count);
}

void CArchive::ReadBytes(void* data, std::int64_t count) {
  RequireMode(Loading);
  if (count < 0) RaiseInternal(Sites::ArchiveArgument, count);
  auto* out = static_cast<std::uint8_t*>(data);
  const std::int64_t fromBuffer = std::min<std::int64_t>(count, m_used - m_next);
  if (fromBuffer > 0) std::memcpy(out, m_buffer + m_next, static_cast<std::size_t>(fromBuffer));
  m_next += static_cast<std::int32_t>(fromBuffer);
  const std::int64_t rest = count - fromBuffer;
  if (rest == 0) return;
  if (rest >= kBufferSize) {
    if (m_file.Read(out + fromBuffer, rest) != rest) RaiseBadArchive();
    return;
  }
  readOverBuffer(rest);
  std::memcpy(out + fromBuffer, m_buffer, static_cast<std::size_t>(rest));
  m_next = static_cast<std::int32_t>(rest);
}

std::int32_t CArchive::SerializeVersion(std::int32_t current) {
  if (current < 0) RaiseInternal(Sites::ArchiveArgument, current);
  if (IsStoring()) {
    WriteSmallValue(current);
    return current;
  }
  const std::int32_t stored = ReadSmallValue();
  if (stored < 0 || stored > current) RaiseBadArchive();
  return stored;
}

std::int32_t CArchive::ReadSmallValue() {
  const auto first = static_cast<std::uint8_t>(ReadLittleEndian(kByteWidth));
  if (first != kSmallValueEscape) return first;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLittleEndian(kWordWidth)));
}

void CArchive::WriteSmallValue(std::int32_t value) {
  if (value >= 0 && value < kSmallValueEscape) {
    WriteLittleEndian(static_cast<std::uint64_t>(value), kByteWidth);
    return;
  }
  WriteLittleEndian(kSmallValueEscape, kByteWidth);
  WriteLittleEndian(static_cast<std::uint32_t>(value), kWordWidth);
}

CArchive& CArchive::operator<<(std::uint8_t value) {
  WriteLittleEndian(value, kByteWidth);
  return *this;
}

CArchive& CArchive::operator<<(std::uint32_t value) {
  WriteLittleEndian(value, kWordWidth);
  return *this;
}

CArchive& CArchive::operator<<(std::int32_t value) {
  WriteLittleEndian(static_cast<std::uint32_t>(value), kWordWidth);
  return *this;
}

CArchive& CArchive::operator<<(std::int64_t value) {
  WriteLittleEndian(static_cast<std::uint64_t>(value), kLongWidth);
  return *this;
}

CArchive& CArchive::operator<<(double value) {
  WriteLittleEndian(std::bit_cast<std::uint64_t>(value), kLongWidth);
  return *this;
}

CArchive& CArchive::operator<<(const CUnicodeString& value) {
  if (value.Length() > static_cast<std::size_t>(INT32_MAX)) RaiseInternal(Sites::ArchiveArgument, INT32_MAX);
  WriteSmallValue(static_cast<std::int32_t>(value.Length()));
  for (const char16_t unit : value.View()) WriteLittleEndian(unit, kUnitWidth);
  return *this;
}

CArchive& CArchive::operator<<(const rational& value) {
  WriteLittleEndian(static_cast<std::uint64_t>(value.Numerator()), kLongWidth);
  WriteLittleEndian(static_cast<std::uint64_t>(value.Denominator()), kLongWidth);
  return *this;
}

CArchive& CArchive::operator>>(std::uint8_t& value) {
  value = static_cast<std::uint8_t>(ReadLittleEndian(kByteWidth));
  return *this;
}

CArchive& CArchive::operator>>(std::uint32_t& value) {
  value = static_cast<std::uint32_t>(ReadLittleEndian(kWordWidth));
  return *this;
}

CArchive& CArchive::operator>>(std::int32_t& value) {
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLittleEndian(kWordWidth)));
  return *this;
}

CArchive& CArchive::operator>>(std::int64_t& value) {
  value = static_cast<std::int64_t>(ReadLittleEndian(kLongWidth));
  return *this;
}

CArchive& CArchive::operator>>(double& value) {
  value = std::bit_cast<double>(ReadLittleEndian(kLongWidth));
  return *this;
}

CArchive& CArchive::operator>>(CUnicodeString& value) {
  const std::int32_t length = ReadSmallValue();
  // Checked against what the archive holds before anything is reserved.
  if (length < 0 || std::int64_t{length} * kUnitWidth > BytesLeft()) RaiseBadArchive();
  CArray<char16_t> units;
  units.SetCount(length);
  for (char16_t& unit : units) unit = static_cast<char16_t>(ReadLittleEndian(kUnitWidth));
  value = length == 0 ? CUnicodeString() : CUnicodeString(units.Data(), units.GetCount());
  return *this;
}

CArchive& CArchive::operator>>(rational& value) {
  const auto numerator = static_cast<std::int64_t>(ReadLittleEndian(kLongWidth));
  const auto denominator = static_cast<std::int64_t>(ReadLittleEndian(kLongWidth));
  // With a positive denominator reduction only shrinks both parts: no overflow.
  if (denominator <= 0) RaiseBadArchive();
  value = rational(numerator, denominator);
  return *this;
}

void CArchive::Flush() {
  if (m_closed) RaiseInternal(Sites::ArchiveDirection, m_mode);
  if (IsStoring()) {
    writeOverBuffer();
    m_file.Flush();
    return;
  }
  // Bytes read ahead go back, so the file stands just after what was loaded.
  const std::int32_t unread = m_used - m_next;
  if (unread > 0) m_file.Seek(-unread, SeekCurrent);
  m_used = 0;
  m_next = 0;
}

void CArchive::Close() {
  if (m_closed) return;
  try {
    Flush();
  } catch (CException*) {
    m_closed = true;  // nothing is retried by the destructor
    throw;
  }
  m_closed = true;
}

}  // namespace Kes
