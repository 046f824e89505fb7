#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "Kes/Errors.h"
#include "Kes/ExceptionOwner.h"
#include "Kes/Memory.h"
#include "Kes/String.h"
#include "Support/Expect.h"

namespace {

// Live counts are checked exactly by the object and memory file tests.
TEST(Memory, PeakFollowsTheHighestLiveCount) {
  Kes::ResetPeakMemory();
  const std::int64_t base = Kes::GetMemoryStats().liveBytes;
  Kes::doFree(Kes::doAlloc(1 << 16));
  EXPECT_GE(Kes::GetMemoryStats().peakBytes - base, 1 << 16);
}

TEST(Memory, RefusesAllocationsPastTheCapOrAnyMachineWithItsOwnError) {
  Kes::SetAllocationLimit(1);  // already passed: the error itself must still be made
  EXPECT_CHECK(Kes::doAlloc(1 << 20), "ERR_OUT_OF_MEMORY", "1048576", "", "");
  Kes::SetAllocationLimit(0);
  EXPECT_CHECK(Kes::doAlloc(SIZE_MAX - 8), "ERR_OUT_OF_MEMORY", "9223372036854775807", "", "");
}

struct CountingManager : Kes::IMemoryManager {
  int allocations = 0, releases = 0;
  void* Allocate(std::size_t size) override {
    ++allocations;
    return std::malloc(size);
  }
  void Release(void* block) noexcept override {
    ++releases;
    std::free(block);
  }
};

TEST(Memory, SwitcherRoutesThisScopeToItsManagerAndFreesThere) {
  CountingManager manager;
  void* block = nullptr;
  {
    Kes::CMemoryManagerSwitcher switcher(&manager);
    block = Kes::doAlloc(16);
  }
  void* outside = Kes::doAlloc(16);
  Kes::doFree(block);  // freed after the scope: still goes back to its manager
  Kes::doFree(outside);
  EXPECT_EQ(manager.allocations, 1);
  EXPECT_EQ(manager.releases, 1);
}

TEST(Catalogue, FormatsAnIdentifierWithItsParametersAndAnUnknownOneAsItselfWithThem) {
  EXPECT_EQ(Kes::FormatMessage("MSG_IMAGE_BMP_FORMAT_DESCRIPTION", u"A", u"B", u"C").ToUtf8(), "Windows bitmap (BMP)");
  EXPECT_EQ(Kes::FormatMessage("ERR_FILE_OPEN", u"A", u"B", u"C").ToUtf8(), "The file \"A\" cannot be opened: B.");
  EXPECT_TRUE(Kes::IsCataloguedMessage("ERR_FILE_OPEN"));
  EXPECT_FALSE(Kes::IsCataloguedMessage("ERR_NOBODY_KNOWS"));
  EXPECT_EQ(Kes::FormatMessage("ERR_NOBODY_KNOWS", u"x", u"", u"z").ToUtf8(), "ERR_NOBODY_KNOWS x z");
}

// The owner that takes the error deletes it once, when the last owner goes.
TEST(GenerateInternalError, CarriesItsValueAndNamesSourceAndLineInItsMessage) {
  const std::int64_t before = Kes::GetMemoryStats().liveBlocks;
  {
    Kes::CExceptionOwner caught(
        KesTest::CatchKes([] { Kes::GenerateInternalError(0, "", "", "Image\\Formats\\Bmp\\Src\\BmpStreams", 34, -7); }));
    const Kes::CExceptionOwner error(std::move(caught));
    EXPECT_EQ(caught.Get(), nullptr);
    ASSERT_NE(error.Get(), nullptr);
    EXPECT_EQ(error->Value(), -7);
    EXPECT_EQ(error->Message().ToUtf8(), "Internal error in Image\\Formats\\Bmp\\Src\\BmpStreams at line 34 (value -7).");
    EXPECT_INTERNAL(error->Param(4), Kes::Sites::FormatArgument);  // an error has three parameters
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

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
