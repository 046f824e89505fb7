#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Kes/Archive.h"
#include "Kes/File.h"
#include "Support/ArchiveBytes.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using KesTest::Stored;

// A loading archive over the bytes; the memory file lives as long as the archive.
struct Loader {
  explicit Loader(const Bytes& bytes) : archive((file.Attach(bytes.data(), static_cast<std::int64_t>(bytes.size()), 1), file), Kes::CArchive::Loading) {}
  ~Loader() { file.Detach(); }
  Kes::CMemoryFileEx file;
  Kes::CArchive archive;
};

struct SmallValueCase {
  const char* name;
  std::int32_t value;
  Bytes encoded;
};

class ArchiveSmallValue : public testing::TestWithParam<SmallValueCase> {};

TEST_P(ArchiveSmallValue, TakesOneByteBelowTheEscapeAndFiveFromIt) {
  const SmallValueCase& c = GetParam();
  const Bytes bytes = Stored([&](Kes::CArchive& a) { a.WriteSmallValue(c.value); });
  EXPECT_EQ(bytes, c.encoded);
  Loader loader(bytes);
  EXPECT_EQ(loader.archive.ReadSmallValue(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Archive, ArchiveSmallValue,
    testing::Values(SmallValueCase{"LastSmall", 254, {0xFE}},
                    SmallValueCase{"Escape", 255, {0xFF, 0xFF, 0, 0, 0}},
                    SmallValueCase{"Negative", -1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Archive, RoundTripsAnOlderVersionValuesAndLargeBlocksAcrossRefillsAndAFlush) {
  constexpr int kCount = 5000;  // far more than one buffer of 4-byte values
  const Kes::CUnicodeString text = Kes::CUnicodeString::FromUtf8("Grüße, 世界");
  Bytes block(3 * Kes::CArchive::kBufferSize + 17);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 31);
  const Bytes bytes = Stored([&](Kes::CArchive& a) {
    a.SerializeVersion(3);
    for (int i = 0; i < kCount; ++i) a << std::int32_t{i * 7919} << static_cast<double>(i) / 3 << text;
    a.WriteBytes(block.data(), static_cast<std::int64_t>(block.size()));
    a << std::uint8_t{2};
  });
  Loader loader(bytes);
  EXPECT_EQ(loader.archive.SerializeVersion(5), 3);  // an older version reads on
  loader.archive.Flush();  // gives back what was read ahead
  EXPECT_EQ(loader.file.GetPosition(), 1);
  for (int i = 0; i < kCount; ++i) {
    std::int32_t value = 0;
    double fraction = 0;
    Kes::CUnicodeString read;
    loader.archive >> value >> fraction >> read;
    ASSERT_EQ(value, i * 7919);
    ASSERT_EQ(fraction, static_cast<double>(i) / 3);
    ASSERT_EQ(read, text);
  }
  Bytes read(block.size());
  loader.archive.ReadBytes(read.data(), static_cast<std::int64_t>(read.size()));
  std::uint8_t last = 0;
  loader.archive >> last;
  EXPECT_EQ(read, block);
  EXPECT_EQ(last, 2);
  EXPECT_EQ(loader.archive.BytesLeft(), 0);
}

struct MalformedCase {
  const char* name;
  Bytes bytes;
  std::function<void(Kes::CArchive&)> load;
};

class ArchiveMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(ArchiveMalformed, RaisesBadArchive) {
  Loader loader(GetParam().bytes);
  EXPECT_CHECK(GetParam().load(loader.archive), "ERR_BAD_ARCHIVE", "", "", "");
}

INSTANTIATE_TEST_SUITE_P(
    Archive, ArchiveMalformed,
    testing::Values(
        MalformedCase{"ShortInt", {1, 2, 3}, [](Kes::CArchive& a) { std::int32_t v; a >> v; }},
        MalformedCase{"VersionAboveTheReaders", {3}, [](Kes::CArchive& a) { a.SerializeVersion(2); }},
        MalformedCase{"EscapeWithoutValue", {0xFF, 1}, [](Kes::CArchive& a) { a.ReadSmallValue(); }},
        // A declared length of 2^31 - 1 units must be refused, not reserved.
        MalformedCase{"HugeStringLength", {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x41, 0},
                      [](Kes::CArchive& a) { Kes::CUnicodeString s; a >> s; }},
        MalformedCase{"NegativeStringLength", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                      [](Kes::CArchive& a) { Kes::CUnicodeString s; a >> s; }},
        MalformedCase{"ZeroDenominator", Bytes(16, 0), [](Kes::CArchive& a) { Kes::rational r; a >> r; }},
        MalformedCase{"ShortBlock", {1, 2}, [](Kes::CArchive& a) { std::uint8_t b[3]; a.ReadBytes(b, 3); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
