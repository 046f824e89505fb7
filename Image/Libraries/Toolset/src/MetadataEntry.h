#pragma once
// One typed metadata value: a list of integers, strings, fractions, doubles or
// raw bytes tagged with its TIFF-style type. Filled by one thread, then read-only.
#include "ImageHost/Metadata.h"
#include "Kes/Archive.h"

namespace Image {

class CMetadataEntry : public IMetadataEntry {
public:
  static constexpr std::int32_t kArchiveVersion = 0;

  ~CMetadataEntry() override = default;
  void Serialize(Kes::CArchive& archive) override;

  TMetadataValueType GetType() const override { return m_type; }
  std::int32_t GetCount() const override { return m_count; }
  bool GetDoubles(Kes::CArray<double>& out) const override;
  bool GetRationals(Kes::CArray<Kes::rational>& out) const override;
  bool GetStrings(Kes::CArray<Kes::CUnicodeString>& out) const override;
  bool GetIntegers(Kes::CArray<std::int64_t>& out) const override;
  bool GetDouble(double& out) const override;
  bool GetRational(Kes::rational& out) const override;
  bool GetString(Kes::CUnicodeString& out) const override;
  bool GetInteger(std::int64_t& out) const override;
  bool GetBinary(Kes::CArray<std::uint8_t>& out) const override;
  void SetStrings(const Kes::CArray<Kes::CUnicodeString>& values, TMetadataValueType type) override;
  void SetDoubles(const Kes::CArray<double>& values, TMetadataValueType type) override;
  void SetRationals(const Kes::CArray<Kes::rational>& values, TMetadataValueType type) override;
  void SetIntegers(const Kes::CArray<std::int64_t>& values, TMetadataValueType type) override;
  void SetString(const Kes::CUnicodeString& value, TMetadataValueType type) override;
  void SetDouble(double value, TMetadataValueType type) override;
  void SetRational(Kes::rational value, TMetadataValueType type) override;
  void SetInteger(std::int64_t value, TMetadataValueType type) override;
  void SetBinary(const std::uint8_t* data, std::int32_t count, TMetadataValueType type) override;

  static bool IsIntegerType(TMetadataValueType type);
  static bool IsUnsignedIntegerType(TMetadataValueType type);

private:
  void Clear() noexcept;
  void Store(Kes::CArchive& archive) const;
  void Load(Kes::CArchive& archive);

  TMetadataValueType m_type = MVT_None;
  std::int32_t m_count = 0;
  // Exactly the array of the type holds values.
  Kes::CArray<std::int64_t> m_integers;
  Kes::CArray<Kes::CUnicodeString> m_strings;
  Kes::CArray<Kes::rational> m_rationals;
  Kes::CArray<double> m_doubles;
  Kes::CArray<std::uint8_t> m_bytes;
};

}  // namespace Image
