#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BmpImageSaveParams.h"
#include "ErrorSites.h"
#include "MetadataEntry.h"
#include "Support/ArchiveBytes.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Image::CMetadataEntry;

// Values read back only through the getters of their kind; a get that fails leaves its output alone.
TEST(MetadataEntry, ValuesReadBackOnlyAsTheirKind) {
  CMetadataEntry entry;
  entry.SetInteger(-1, Image::MVT_SLong);  // negative values are fine for signed types
  std::int64_t value = 0;
  EXPECT_TRUE(entry.GetInteger(value));
  EXPECT_EQ(value, -1);
  Kes::CUnicodeString text(u"untouched");
  EXPECT_FALSE(entry.GetString(text));
  EXPECT_EQ(text, Kes::CUnicodeString(u"untouched"));
  entry.SetIntegers({5, -6, 7}, Image::MVT_SShort);
  EXPECT_EQ(entry.GetType(), Image::MVT_SShort);
  EXPECT_EQ(entry.GetCount(), 3);
  Kes::CArray<std::int64_t> values;
  EXPECT_TRUE(entry.GetIntegers(values));
  ASSERT_EQ(values.GetCount(), 3);
  EXPECT_EQ(values[1], -6);
  EXPECT_TRUE(entry.GetInteger(value));  // the first value alone
  EXPECT_EQ(value, 5);
  entry.SetString(u"replaced", Image::MVT_Ascii);
  EXPECT_FALSE(entry.GetIntegers(values));
  EXPECT_EQ(entry.GetCount(), 1);
}

struct RefusedSet {
  const char* name;
  std::function<void(CMetadataEntry&)> set;
  Kes::CSourceLine site;
};

class MetadataEntryRefusedSet : public testing::TestWithParam<RefusedSet> {};

TEST_P(MetadataEntryRefusedSet, IsInternalErrorAndKeepsTheOldValue) {
  CMetadataEntry entry;
  entry.SetInteger(42, Image::MVT_Long);
  EXPECT_INTERNAL(GetParam().set(entry), GetParam().site);
  std::int64_t value = 0;
  EXPECT_TRUE(entry.GetInteger(value));
  EXPECT_EQ(value, 42);
}

INSTANTIATE_TEST_SUITE_P(
    MetadataEntry, MetadataEntryRefusedSet,
    testing::Values(
        RefusedSet{"NegativeLong", [](CMetadataEntry& e) { e.SetInteger(-1, Image::MVT_Long); }, Image::Sites::EntrySetIntegerNegative},
        RefusedSet{"IntegerAsAscii", [](CMetadataEntry& e) { e.SetInteger(1, Image::MVT_Ascii); }, Image::Sites::EntrySetIntegerType},
        RefusedSet{"NoIntegers", [](CMetadataEntry& e) { e.SetIntegers({}, Image::MVT_SLong); }, Image::Sites::EntrySetIntegersEmpty},
        RefusedSet{"NegativeBytes", [](CMetadataEntry& e) { e.SetIntegers({1, -2}, Image::MVT_Byte); }, Image::Sites::EntrySetIntegersNegative},
        RefusedSet{"NegativeRational", [](CMetadataEntry& e) { e.SetRational(Kes::rational(-1, 2), Image::MVT_Rational); },
                   Image::Sites::EntrySetRationalNegative},
        RefusedSet{"RationalAsDouble", [](CMetadataEntry& e) { e.SetRational(Kes::rational(1, 2), Image::MVT_Double); },
                   Image::Sites::EntrySetRationalType},
        RefusedSet{"DoubleAsLong", [](CMetadataEntry& e) { e.SetDouble(1.5, Image::MVT_Long); }, Image::Sites::EntrySetDoubleType},
        RefusedSet{"StringAsByte", [](CMetadataEntry& e) { e.SetString(u"x", Image::MVT_Byte); }, Image::Sites::EntrySetStringType},
        RefusedSet{"EmptyBinary", [](CMetadataEntry& e) { e.SetBinary(nullptr, 0, Image::MVT_Undefined); }, Image::Sites::EntrySetBinaryCount}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct ArchiveCase {
  const char* name;
  std::function<void(CMetadataEntry&)> set;
  Bytes golden;  // version 0, type, count, elements: worked out by hand
};

class MetadataEntryArchive : public testing::TestWithParam<ArchiveCase> {};

TEST_P(MetadataEntryArchive, StoresGoldenBytesAndLoadsThemBack) {
  CMetadataEntry stored;
  GetParam().set(stored);
  EXPECT_EQ(KesTest::StoredBytes(stored), GetParam().golden);
  CMetadataEntry loaded;
  KesTest::LoadBytes(loaded, GetParam().golden);
  EXPECT_EQ(KesTest::StoredBytes(loaded), GetParam().golden);
  Kes::CArray<std::uint8_t> bytes;
  if (loaded.GetBinary(bytes)) {
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), Bytes({1, 2, 3, 4, 5}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    MetadataEntry, MetadataEntryArchive,
    testing::Values(
        ArchiveCase{"Empty", [](CMetadataEntry&) {}, {0x00, 0x00}},
        ArchiveCase{"TwoBytes", [](CMetadataEntry& e) { e.SetIntegers({255, 256}, Image::MVT_Byte); },
                    {0x00, 0x01, 2, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0, 0, 0, 0}},
        ArchiveCase{"Ascii", [](CMetadataEntry& e) { e.SetString(u"Hi", Image::MVT_Ascii); },
                    {0x00, 0x02, 1, 0, 0, 0, 0x02, 'H', 0, 'i', 0}},
        ArchiveCase{"Rational", [](CMetadataEntry& e) { e.SetRational(Kes::rational(3, 4), Image::MVT_Rational); },
                    {0x00, 0x05, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}},
        ArchiveCase{"SRational", [](CMetadataEntry& e) { e.SetRational(Kes::rational(-1, 2), Image::MVT_SRational); },
                    {0x00, 0x0A, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 0, 0, 0, 0}},
        ArchiveCase{"Undefined", [](CMetadataEntry& e) {
                      const std::uint8_t five[] = {1, 2, 3, 4, 5};
                      e.SetBinary(five, 5, Image::MVT_Undefined);
                    },
                    {0x00, 0x07, 5, 0, 0, 0, 1, 2, 3, 4, 5}},
        // 1.5 is 0x3FF8000000000000
        ArchiveCase{"Double", [](CMetadataEntry& e) { e.SetDouble(1.5, Image::MVT_Double); },
                    {0x00, 0x0C, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
        ArchiveCase{"Float", [](CMetadataEntry& e) { e.SetDoubles({1.5, 1.5}, Image::MVT_Float); },
                    {0x00, 0x0B, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct MalformedCase {
  const char* name;
  Bytes bytes;
};

class MetadataEntryMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(MetadataEntryMalformed, RaisesBadArchiveAndLeavesAnEmptyEntry) {
  CMetadataEntry entry;
  entry.SetInteger(3, Image::MVT_SLong);
  Kes::ResetPeakMemory();
  const std::uint64_t before = Kes::GetMemoryStats().liveBytes;
  EXPECT_CHECK(KesTest::LoadBytes(entry, GetParam().bytes), "ERR_BAD_ARCHIVE", "", "", "");
  EXPECT_LT(Kes::GetMemoryStats().peakBytes - before, std::uint64_t{1} << 20);
  EXPECT_EQ(entry.GetType(), Image::MVT_None);
  EXPECT_EQ(entry.GetCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    MetadataEntry, MetadataEntryMalformed,
    testing::Values(MalformedCase{"TypeThirteen", {0x00, 0x0D}},
                    MalformedCase{"NegativeType", {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
                    MalformedCase{"CountZero", {0x00, 0x09, 0, 0, 0, 0}},
                    MalformedCase{"CountNegative", {0x00, 0x09, 0xFF, 0xFF, 0xFF, 0xFF}},
                    // 2^31 - 1 values declared in a 20-byte archive
                    MalformedCase{"HugeCount", {0x00, 0x09, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
                    MalformedCase{"NegativeLong", {0x00, 0x04, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
                    MalformedCase{"NegativeRational",
                                  {0x00, 0x05, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0}},
                    MalformedCase{"Truncated", {0x00, 0x02, 1, 0, 0, 0, 0x05, 'a', 0}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(SaveParams, RoundTripAttributesAndPixelFormatAndRefuseUnknownFormats) {
  Image::CBmpImageSaveParams stored;
  EXPECT_EQ(KesTest::StoredBytes(stored), (Bytes{0x00, 0, 0, 0, 0, 0x00}));
  stored.SetAttributes(0xFF, 0x05);
  stored.SetAttributes(0x0F, 0x30);  // replaces the masked bits and sets all given bits
  EXPECT_EQ(stored.GetAttributes(), 0x30u);
  stored.SetAttributes(0xFFFFFFFF, 0x12345678);
  stored.SetPixelFormat(BPF_Png);
  const Bytes bytes = KesTest::StoredBytes(stored);
  EXPECT_EQ(bytes, (Bytes{0x00, 0x78, 0x56, 0x34, 0x12, 0x0C}));
  Image::CBmpImageSaveParams loaded;
  KesTest::LoadBytes(loaded, bytes);
  EXPECT_EQ(loaded.GetAttributes(), 0x12345678u);
  EXPECT_EQ(loaded.GetPixelFormat(), BPF_Png);
  // A number no pixel format has is refused on loading, and the object stays as it was.
  for (const std::int32_t format : {13, -1, INT32_MIN}) {
    const Bytes bad = KesTest::Stored([&](Kes::CArchive& archive) {
      archive.SerializeVersion(0);
      archive << std::uint32_t{0xAAAA};
      archive.WriteSmallValue(format);
    });
    EXPECT_CHECK(KesTest::LoadBytes(loaded, bad), "ERR_BAD_ARCHIVE", "", "", "");
    EXPECT_EQ(loaded.GetAttributes(), 0x12345678u);
    EXPECT_EQ(loaded.GetPixelFormat(), BPF_Png);
  }
  stored.SetPixelFormat(static_cast<TBmpPixelFormat>(40));  // kept as given, but no archive holds it
  EXPECT_EQ(stored.GetPixelFormat(), 40);
  EXPECT_INTERNAL(KesTest::StoredBytes(stored), Image::Sites::SaveParamsStoreFormat);
}


TEST(SaveParams, ALoadedObjectCanBeReadFromManyThreads) {
  Image::CBmpImageSaveParams params;
  KesTest::LoadBytes(params, {0x00, 1, 0, 0, 0, 0x06});
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) ASSERT_EQ(KesTest::StoredBytes(params), (Bytes{0x00, 1, 0, 0, 0, 0x06}));
    });
  }
  for (auto& reader : readers) reader.join();
}

}  // namespace
