#include "MetadataEntry.h"

#include <algorithm>

#include "ErrorSites.h"

namespace Image {
namespace {

bool IsRationalType(TMetadataValueType t) { return t == MVT_Rational || t == MVT_SRational; }
bool IsDoubleType(TMetadataValueType t) { return t == MVT_Float || t == MVT_Double; }
bool IsKnownType(std::int64_t t) { return t >= MVT_None && t <= MVT_Double; }

template <class T>
bool CopyOut(const Kes::CArray<T>& values, Kes::CArray<T>& out, Kes::CSourceLine emptySite) {
  if (values.IsEmpty()) Kes::RaiseInternal(emptySite);
  out = values;
  return true;
}

template <class T>
bool FirstOut(const Kes::CArray<T>& values, T& out, Kes::CSourceLine emptySite) {
  if (values.IsEmpty()) Kes::RaiseInternal(emptySite);
  out = values[0];
  return true;
}

void Require(bool condition, Kes::CSourceLine site, std::int64_t value = 0) {
  if (!condition) Kes::RaiseInternal(site, value);
}

bool AnyNegative(const Kes::CArray<std::int64_t>& values) {
  return std::any_of(values.begin(), values.end(), [](std::int64_t v) { return v < 0; });
}
bool AnyNegativeNumerator(const Kes::CArray<Kes::rational>& values) {
  return std::any_of(values.begin(), values.end(), [](const Kes::rational& r) { return r.Numerator() < 0; });
}

}  // namespace

bool CMetadataEntry::IsIntegerType(TMetadataValueType t) {
  return t == MVT_Byte || t == MVT_Short || t == MVT_Long || t == MVT_SByte || t == MVT_SShort || t == MVT_SLong;
}

bool CMetadataEntry::IsUnsignedIntegerType(TMetadataValueType t) { return t == MVT_Byte || t == MVT_Short || t == MVT_Long; }

void CMetadataEntry::Clear() noexcept {
  m_integers = {};
  m_strings = {};
  m_rationals = {};
  m_doubles = {};
  m_bytes = {};
  m_type = MVT_None;
  m_count = 0;
}

bool CMetadataEntry::GetDoubles(Kes::CArray<double>& out) const {
  return IsDoubleType(m_type) && CopyOut(m_doubles, out, Sites::EntryGetDoublesEmpty);
}
bool CMetadataEntry::GetRationals(Kes::CArray<Kes::rational>& out) const {
  return IsRationalType(m_type) && CopyOut(m_rationals, out, Sites::EntryGetRationalsEmpty);
}
bool CMetadataEntry::GetStrings(Kes::CArray<Kes::CUnicodeString>& out) const {
  return m_type == MVT_Ascii && CopyOut(m_strings, out, Sites::EntryGetStringsEmpty);
}
bool CMetadataEntry::GetIntegers(Kes::CArray<std::int64_t>& out) const {
  return IsIntegerType(m_type) && CopyOut(m_integers, out, Sites::EntryGetIntegersEmpty);
}
bool CMetadataEntry::GetDouble(double& out) const {
  return IsDoubleType(m_type) && FirstOut(m_doubles, out, Sites::EntryGetDoubleEmpty);
}
bool CMetadataEntry::GetRational(Kes::rational& out) const {
  return IsRationalType(m_type) && FirstOut(m_rationals, out, Sites::EntryGetRationalEmpty);
}
bool CMetadataEntry::GetString(Kes::CUnicodeString& out) const {
  return m_type == MVT_Ascii && FirstOut(m_strings, out, Sites::EntryGetStringEmpty);
}
bool CMetadataEntry::GetInteger(std::int64_t& out) const {
  return IsIntegerType(m_type) && FirstOut(m_integers, out, Sites::EntryGetIntegerEmpty);
}
bool CMetadataEntry::GetBinary(Kes::CArray<std::uint8_t>& out) const {
  if (m_type != MVT_Undefined || m_bytes.IsEmpty()) return false;
  out = m_bytes;
  return true;
}

// Each setter checks before it clears, so a refused value leaves the old one.
void CMetadataEntry::SetStrings(const Kes::CArray<Kes::CUnicodeString>& values, TMetadataValueType type) {
  Require(type == MVT_Ascii, Sites::EntrySetStringsType, type);
  Require(!values.IsEmpty(), Sites::EntrySetStringsEmpty);
  Kes::CArray<Kes::CUnicodeString> copy(values);
  Clear();
  m_strings.Swap(copy);
  m_type = type;
  m_count = m_strings.GetCount();
}

void CMetadataEntry::SetDoubles(const Kes::CArray<double>& values, TMetadataValueType type) {
  Require(IsDoubleType(type), Sites::EntrySetDoublesType, type);
  Require(!values.IsEmpty(), Sites::EntrySetDoublesEmpty);
  Kes::CArray<double> copy(values);
  Clear();
  m_doubles.Swap(copy);
  m_type = type;
  m_count = m_doubles.GetCount();
}

void CMetadataEntry::SetRationals(const Kes::CArray<Kes::rational>& values, TMetadataValueType type) {
  Require(IsRationalType(type), Sites::EntrySetRationalsType, type);
  Require(!values.IsEmpty(), Sites::EntrySetRationalsEmpty);
  Require(type != MVT_Rational || !AnyNegativeNumerator(values), Sites::EntrySetRationalsNegative);
  Kes::CArray<Kes::rational> copy(values);
  Clear();
  m_rationals.Swap(copy);
  m_type = type;
  m_count = m_rationals.GetCount();
}

void CMetadataEntry::SetIntegers(const Kes::CArray<std::int64_t>& values, TMetadataValueType type) {
  Require(IsIntegerType(type), Sites::EntrySetIntegersType, type);
  Require(!values.IsEmpty(), Sites::EntrySetIntegersEmpty);
  Require(!IsUnsignedIntegerType(type) || !AnyNegative(values), Sites::EntrySetIntegersNegative);
  Kes::CArray<std::int64_t> copy(values);
  Clear();
  m_integers.Swap(copy);
  m_type = type;
  m_count = m_integers.GetCount();
}

void CMetadataEntry::SetString(const Kes::CUnicodeString& value, TMetadataValueType type) {
  Require(type == MVT_Ascii, Sites::EntrySetStringType, type);
  SetStrings({value}, type);
}

void CMetadataEntry::SetDouble(double value, TMetadataValueType type) {
  Require(IsDoubleType(type), Sites::EntrySetDoubleType, type);
  SetDoubles({value}, type);
}

void CMetadataEntry::SetRational(Kes::rational value, TMetadataValueType type) {
  Require(IsRationalType(type), Sites::EntrySetRationalType, type);
  Require(type != MVT_Rational || value.Numerator() >= 0, Sites::EntrySetRationalNegative, value.Numerator());
  SetRationals({value}, type);
}

void CMetadataEntry::SetInteger(std::int64_t value, TMetadataValueType type) {
  Require(IsIntegerType(type), Sites::EntrySetIntegerType, type);
  Require(!IsUnsignedIntegerType(type) || value >= 0, Sites::EntrySetIntegerNegative, value);
  SetIntegers({value}, type);
}

void CMetadataEntry::SetBinary(const std::uint8_t* data, std::int32_t count, TMetadataValueType type) {
  Require(type == MVT_Undefined, Sites::EntrySetBinaryType, type);
  Require(count >= 1 && data != nullptr, Sites::EntrySetBinaryCount, count);
  Kes::CArray<std::uint8_t> copy;
  copy.SetCount(count);
  std::copy(data, data + count, copy.begin());
  Clear();
  m_bytes.Swap(copy);
  m_type = type;
  m_count = 0;  // the bytes carry their own size
}

void CMetadataEntry::Serialize(Kes::CArchive& archive) {
  archive.SerializeVersion(kArchiveVersion);
  if (archive.IsStoring()) {
    Store(archive);
    return;
  }
  Clear();
  try {
    Load(archive);
  } catch (Kes::CException*) {
    Clear();  // a failed load leaves an empty entry, not half a value
    throw;
  }
}

namespace {

template <class T>
void WriteValues(Kes::CArchive& archive, const Kes::CArray<T>& values) {
  archive << static_cast<std::int32_t>(values.GetCount());
  for (const T& value : values) archive << value;
}

void WriteBytes(Kes::CArchive& archive, const Kes::CArray<std::uint8_t>& bytes) {
  archive << static_cast<std::int32_t>(bytes.GetCount());
  archive.WriteBytes(bytes.Data(), bytes.GetCount());
}

// The values grow as they arrive, so a count that the archive cannot back
// ends in the archive's error after a small allocation.
template <class T>
Kes::CArray<T> ReadValues(Kes::CArchive& archive) {
  std::int32_t count = 0;
  archive >> count;
  if (count < 0) archive.RaiseBadArchive();
  Kes::CArray<T> values;
  for (std::int64_t i = 0; i < count; ++i) {
    T value{};
    archive >> value;
    values.Add(value);
  }
  if (values.IsEmpty()) archive.RaiseBadArchive();
  return values;
}

}  // namespace

void CMetadataEntry::Store(Kes::CArchive& archive) const {
  if (!IsKnownType(m_type)) Kes::RaiseInternal(Sites::EntryStoreType, m_type);
  archive.WriteSmallValue(m_type);
  if (IsIntegerType(m_type)) return WriteValues(archive, m_integers);
  if (IsRationalType(m_type)) return WriteValues(archive, m_rationals);
  if (IsDoubleType(m_type)) return WriteValues(archive, m_doubles);
  if (m_type == MVT_Ascii) return WriteValues(archive, m_strings);
  if (m_type == MVT_Undefined) return WriteBytes(archive, m_bytes);
}

void CMetadataEntry::Load(Kes::CArchive& archive) {
  const std::int32_t stored = archive.ReadSmallValue();
  if (!IsKnownType(stored)) archive.RaiseBadArchive();
  const auto type = static_cast<TMetadataValueType>(stored);
  // Loaded values must meet the setters' rules; breaking them is bad data.
  if (IsIntegerType(type)) {
    const auto values = ReadValues<std::int64_t>(archive);
    if (IsUnsignedIntegerType(type) && AnyNegative(values)) archive.RaiseBadArchive();
    return SetIntegers(values, type);
  }
  if (IsRationalType(type)) {
    const auto values = ReadValues<Kes::rational>(archive);
    if (type == MVT_Rational && AnyNegativeNumerator(values)) archive.RaiseBadArchive();
    return SetRationals(values, type);
  }
  if (IsDoubleType(type)) return SetDoubles(ReadValues<double>(archive), type);
  if (type == MVT_Ascii) return SetStrings(ReadValues<Kes::CUnicodeString>(archive), type);
  if (type == MVT_Undefined) {
    const auto bytes = ReadValues<std::uint8_t>(archive);
    return SetBinary(bytes.Data(), bytes.GetCount(), type);
  }
}

}  // namespace Image
