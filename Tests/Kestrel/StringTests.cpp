#include <gtest/gtest.h>

#include "Kes/Array.h"
#include "Kes/String.h"
#include "Support/Expect.h"

namespace Kes {
// Test seam: puts an array into a state that would take gigabytes to reach.
struct CArrayTestAccess {
  template <class T>
  static void Pretend(CArray<T>& array, T* storage, std::int32_t count, std::int32_t capacity) {
    array.m_data = storage;
    array.m_count = count;
    array.m_capacity = capacity;
  }
};
}  // namespace Kes

namespace {

struct MalformedCase {
  const char* name;
  std::string utf8;
  std::u16string expected;
};

class UnicodeStringMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(UnicodeStringMalformed, EscapesEachMalformedByteAndRoundTrips) {
  const Kes::CUnicodeString wide = Kes::CUnicodeString::FromUtf8(GetParam().utf8);
  EXPECT_EQ(wide.View(), GetParam().expected);
  EXPECT_EQ(wide.ToUtf8(), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Utf8, UnicodeStringMalformed,
                         testing::Values(MalformedCase{"WellFormed", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80", u"Gr\u00FC\u00DFe \U0001F600"},
                                         MalformedCase{"Latin1", "caf\xE9.bmp", u"caf\xDCE9.bmp"},
                                         MalformedCase{"LoneContinuation", "a\x80z", u"a\xDC80z"},
                                         MalformedCase{"Truncated", "a\xE2\x82", u"a\xDCE2\xDC82"},
                                         MalformedCase{"Overlong", "\xC0\xAF", u"\xDCC0\xDCAF"},
                                         MalformedCase{"Surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
                                         MalformedCase{"BeyondUnicode", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
                                         MalformedCase{"NulKept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)}),
                         [](const auto& testInfo) { return testInfo.param.name; });

TEST(UnicodeString, UnpairedSurrogateOutsideTheEscapesBecomesReplacementInUtf8) {
  const char16_t units[] = {u'x', 0xD800, u'y', 0xDC7F, 0};
  EXPECT_EQ(Kes::CUnicodeString(units).ToUtf8(), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(UnicodeStr, RendersDecimalIncludingExtremes) {
  EXPECT_EQ(Kes::UnicodeStr(0, 10), u"0");
  EXPECT_EQ(Kes::UnicodeStr(-42, 10), u"-42");
  EXPECT_EQ(Kes::UnicodeStr(INT64_MIN, 10), u"-9223372036854775808");
  EXPECT_EQ(Kes::UnicodeStr(255, 16), u"ff");
}

TEST(Format, FillsIntegersAndStringsInOrderAndRefusesAMismatch) {
  EXPECT_EQ(Kes::Format(u"%d x %d", 32512, 32512), u"32512 x 32512");
  EXPECT_EQ(Kes::Format(u"%s: %d%%", Kes::CUnicodeString(u"rows"), 7), u"rows: 7%");
  EXPECT_INTERNAL(Kes::Format(u"%d", Kes::CUnicodeString(u"x")), Kes::Sites::FormatArgument);
  EXPECT_INTERNAL(Kes::Format(u"%d %d", 1), Kes::Sites::FormatArgument);
}

struct GrowthCase {
  std::int32_t capacity;
  std::int64_t needed;
  std::int32_t expected;
};

class ArrayGrowth : public testing::TestWithParam<GrowthCase> {};

TEST_P(ArrayGrowth, GrowsByHalfAtLeastEightNeverPastTheMaximum) {
  EXPECT_EQ(Kes::GrownArrayCapacity(GetParam().capacity, GetParam().needed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rule, ArrayGrowth,
                         testing::Values(GrowthCase{0, 1, 8}, GrowthCase{8, 9, 16}, GrowthCase{16, 17, 24},
                                         GrowthCase{100, 101, 150}, GrowthCase{10, 40, 40},
                                         GrowthCase{2147483640, 2147483641, 2147483647},
                                         GrowthCase{2000000000, 2000000001, 2147483647}, GrowthCase{5, 3, 5}));

TEST(ArrayGrowth, CapacityAtTheMaximumIsInternalErrorAndWritesNothing) {
  Kes::CArray<int> array;
  int storage[2] = {11, 22};
  Kes::CArrayTestAccess::Pretend(array, storage, 2147483647, 2147483647);
  EXPECT_INTERNAL(array.Add(5), Kes::Sites::ArrayCapacity);
  EXPECT_EQ(storage[0], 11);
  EXPECT_EQ(storage[1], 22);
  Kes::CArrayTestAccess::Pretend<int>(array, nullptr, 0, 0);  // nothing of the stand-in storage is freed
}

TEST(Array, AddingAnElementOfItselfWhileGrowingKeepsEveryValue) {
  Kes::CArray<Kes::CUnicodeString> strings{u"first"};
  for (int i = 0; i < 20; ++i) strings.Add(strings[0]);
  ASSERT_EQ(strings.GetCount(), 21);
  for (const Kes::CUnicodeString& moved : strings) {
    EXPECT_EQ(moved, u"first");
  }
}

TEST(Array, IndexOutsideIsInternalError) {
  Kes::CArray<int> array{1, 2};
  EXPECT_INTERNAL(array[2], Kes::Sites::ArrayIndex);
  EXPECT_INTERNAL(array[-1], Kes::Sites::ArrayIndex);
}

}  // namespace
