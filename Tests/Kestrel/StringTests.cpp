#include <gtest/gtest.h>

#include "Kes/String.h"
#include "Support/Expect.h"

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

TEST(Format, FillsIntegersAndStringsInOrderAndRefusesAMismatch) {
  EXPECT_EQ(Kes::Format(u"%d x %d", 32512, INT64_MIN), u"32512 x -9223372036854775808");
  EXPECT_EQ(Kes::Format(u"%s: %d%%", Kes::CUnicodeString(u"rows"), 0), u"rows: 0%");
  EXPECT_EQ(Kes::UnicodeStr(0xABC, 16), u"abc");
  EXPECT_INTERNAL(Kes::Format(u"%d", Kes::CUnicodeString(u"x")), Kes::Sites::FormatArgument);
  EXPECT_INTERNAL(Kes::Format(u"%d %d", 1), Kes::Sites::FormatArgument);
}

}  // namespace
