#pragma once
#include <cstdint>

#include "ImageHost/Export.h"
#include "Kes/Array.h"
#include "Kes/Object.h"
#include "Kes/Rational.h"
#include "Kes/String.h"

namespace Image {

enum TMetadataValueType : std::int32_t {
  MVT_None = 0,
  MVT_Byte = 1,
  MVT_Ascii = 2,
  MVT_Short = 3,
  MVT_Long = 4,
  MVT_Rational = 5,
  MVT_SByte = 6,
  MVT_Undefined = 7,
  MVT_SShort = 8,
  MVT_SLong = 9,
  MVT_SRational = 10,
  MVT_Float = 11,
  MVT_Double = 12,
};

// One typed value list stored under a metadata key.
class IMAGEHOST_API IMetadataEntry : public virtual Kes::IObject {
public:
  ~IMetadataEntry() override;
  virtual TMetadataValueType GetType() const = 0;
  virtual std::int32_t GetCount() const = 0;
  virtual bool GetDoubles(Kes::CArray<double>& out) const = 0;
  virtual bool GetRationals(Kes::CArray<Kes::rational>& out) const = 0;
  virtual bool GetStrings(Kes::CArray<Kes::CUnicodeString>& out) const = 0;
  virtual bool GetIntegers(Kes::CArray<std::int64_t>& out) const = 0;
  virtual bool GetDouble(double& out) const = 0;
  virtual bool GetRational(Kes::rational& out) const = 0;
  virtual bool GetString(Kes::CUnicodeString& out) const = 0;
  virtual bool GetInteger(std::int64_t& out) const = 0;
  virtual bool GetBinary(Kes::CArray<std::uint8_t>& out) const = 0;
  virtual void SetStrings(const Kes::CArray<Kes::CUnicodeString>& values, TMetadataValueType type) = 0;
  virtual void SetDoubles(const Kes::CArray<double>& values, TMetadataValueType type) = 0;
  virtual void SetRationals(const Kes::CArray<Kes::rational>& values, TMetadataValueType type) = 0;
  virtual void SetIntegers(const Kes::CArray<std::int64_t>& values, TMetadataValueType type) = 0;
  virtual void SetString(const Kes::CUnicodeString& value, TMetadataValueType type) = 0;
  virtual void SetDouble(double value, TMetadataValueType type) = 0;
  virtual void SetRational(Kes::rational value, TMetadataValueType type) = 0;
  virtual void SetInteger(std::int64_t value, TMetadataValueType type) = 0;
  virtual void SetBinary(const std::uint8_t* data, std::int32_t count, TMetadataValueType type) = 0;
};

// An image's metadata: entries under keys such as "img/sourceFileFormat".
class IMAGEHOST_API IMetadata : public virtual Kes::IObject {
public:
  ~IMetadata() override;
  // Stores the entry under the key, replacing what the key held.
  virtual void SetEntry(const Kes::CUnicodeString& key, const Kes::CPtr<IMetadataEntry>& entry) = 0;
  // The entry under the key, or an empty reference.
  virtual Kes::CPtr<IMetadataEntry> GetEntry(const Kes::CUnicodeString& key) const = 0;
  virtual Kes::CArray<Kes::CUnicodeString> GetKeys() const = 0;
};

}  // namespace Image
