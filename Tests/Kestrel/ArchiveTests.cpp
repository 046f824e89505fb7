#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Kes/Archive.h"
#include "Kes/File.h"
#include "Kes/Rational.h"
#include "Support/ArchiveBytes.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using KesTest::Stored;
using Loader = KesTest::CLoader;

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

using Parts = std::pair<std::int64_t, std::int64_t>;
constexpr std::int64_t kMin = INT64_MIN;
constexpr std::int64_t kMax = INT64_MAX;

Parts PartsOf(const Kes::rational& r) { return {r.Numerator(), r.Denominator()}; }

// A representable fraction gives its reduced parts; one that is not gives the
// site the constructor and make raise at, and the number safeMake names.
struct MakingCase {
  const char* name;
  std::int64_t num, den;
  Parts expected;
  const Kes::CSourceLine* site = nullptr;
  const char* number = nullptr;
};

class RationalMaking : public testing::TestWithParam<MakingCase> {};

TEST_P(RationalMaking, ReducesWithAPositiveDenominatorOrRefusesWhatCannotBeHeld) {
  const MakingCase& c = GetParam();
  if (c.site) {
    EXPECT_INTERNAL(Kes::rational(c.num, c.den), *c.site);
    EXPECT_INTERNAL(Kes::rational::make(c.num, c.den), *c.site);
    EXPECT_CHECK(Kes::rational::safeMake(c.num, c.den), "ERR_NUMBER_OVERFLOW", c.number, "", "");
    return;
  }
  EXPECT_EQ(PartsOf(Kes::rational(c.num, c.den)), c.expected);
  EXPECT_EQ(PartsOf(Kes::rational::make(c.num, c.den)), c.expected);
  EXPECT_EQ(PartsOf(Kes::rational::safeMake(c.num, c.den)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rational, RationalMaking,
    testing::Values(MakingCase{"BothNegative", -6, -4, {3, 2}}, MakingCase{"NegativeDenominator", 6, -4, {-3, 2}},
                    MakingCase{"ZeroOverMin", 0, kMin, {0, 1}},
                    MakingCase{"MinOverMinusTwo", kMin, -2, {4611686018427387904, 1}},
                    MakingCase{"FourOverMin", 4, kMin, {-1, 2305843009213693952}},
                    MakingCase{"Coprime", kMax, kMax - 1, {kMax, kMax - 1}},
                    MakingCase{"ZeroDenominator", 5, 0, {}, &Kes::Sites::RationalZeroDenominator, "5/0"},
                    MakingCase{"ZeroOverZero", 0, 0, {}, &Kes::Sites::RationalZeroDenominator, "0/0"},
                    MakingCase{"MinOverMinusOne", kMin, -1, {}, &Kes::Sites::RationalOverflow, "9223372036854775808"},
                    MakingCase{"OddOverMin", 5, kMin, {}, &Kes::Sites::RationalOverflow, "-5/9223372036854775808"}),
    [](const testing::TestParamInfo<MakingCase>& testInfo) { return testInfo.param.name; });

struct ArithmeticCase {
  const char* name;
  Parts a;
  char op;
  Parts b;
  Parts expected;
};

class RationalArithmetic : public testing::TestWithParam<ArithmeticCase> {};

TEST_P(RationalArithmetic, IsExactEvenWhenTheIntermediatesPassSixtyFourBits) {
  const ArithmeticCase& c = GetParam();
  const Kes::rational a(c.a.first, c.a.second), b(c.b.first, c.b.second);
  EXPECT_EQ(PartsOf(c.op == '*' ? a * b : a / b), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rational, RationalArithmetic,
    testing::Values(ArithmeticCase{"MaxTimesItsInverse", {kMax, 2}, '*', {2, kMax}, {1, 1}},
                    ArithmeticCase{"MinTimesThreeHalves", {kMin, 3}, '*', {3, 2}, {-4611686018427387904, 1}},
                    ArithmeticCase{"TinyByTiny", {1, kMax}, '/', {2, kMax}, {1, 2}},
                    ArithmeticCase{"ByNegative", {1, 2}, '/', {-1, 4}, {-2, 1}}),
    [](const testing::TestParamInfo<ArithmeticCase>& testInfo) { return testInfo.param.name; });

struct RoundingCase {
  const char* name;
  std::int64_t num, den;
  std::int64_t floor, roundHalfUp;
};

class RationalRounding : public testing::TestWithParam<RoundingCase> {};

TEST_P(RationalRounding, FloorsAndRoundsHalvesUpWithoutOverflow) {
  const RoundingCase& c = GetParam();
  const Kes::rational r(c.num, c.den);
  EXPECT_EQ(r.Floor(), c.floor);
  EXPECT_EQ(r.RoundHalfUp(), c.roundHalfUp);
}

INSTANTIATE_TEST_SUITE_P(
    Rational, RationalRounding,
    testing::Values(RoundingCase{"PlusHalf", 1, 2, 0, 1}, RoundingCase{"MinusHalf", -1, 2, -1, 0},
                    RoundingCase{"Min", kMin, 1, kMin, kMin},
                    RoundingCase{"MaxHalf", kMax, 2, 4611686018427387903, 4611686018427387904},
                    RoundingCase{"JustBelowMinusOne", kMin, kMax, -2, -1}),
    [](const testing::TestParamInfo<RoundingCase>& testInfo) { return testInfo.param.name; });

}  // namespace
