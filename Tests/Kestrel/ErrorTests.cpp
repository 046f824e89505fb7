#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "Kes/Errors.h"
#include "Kes/ExceptionOwner.h"
#include "Kes/Memory.h"
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
  Kes::CException* e = KesTest::CatchKes([] { Kes::doAlloc(1 << 20); });
  Kes::SetAllocationLimit(0);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->ErrorId(), "ERR_OUT_OF_MEMORY");
  EXPECT_EQ(e->Param(1), u"1048576");
  e->Delete();
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

struct CatalogueCase {
  const char* id;
  const char* expected;  // with the parameters "A", "B" and "C"
};

class Catalogue : public testing::TestWithParam<CatalogueCase> {};

TEST_P(Catalogue, FormatsEachIdentifierWithItsThreeParameters) {
  const CatalogueCase& c = GetParam();
  EXPECT_TRUE(Kes::IsCataloguedMessage(c.id));
  EXPECT_EQ(Kes::FormatMessage(c.id, u"A", u"B", u"C").ToUtf8(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Catalogue,
    testing::Values(
        CatalogueCase{"MSG_IMAGE_BMP_FORMAT_DESCRIPTION", "Windows bitmap (BMP)"},
        CatalogueCase{"ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "The image \"A\" is stored in a form that is not supported: B."},
        CatalogueCase{"ERR_FILE_OPEN", "The file \"A\" cannot be opened: B."}),
    [](const auto& testInfo) { return std::string(testInfo.param.id); });

TEST(Catalogue, UnknownIdentifierPrintsAsItselfWithItsParameters) {
  EXPECT_FALSE(Kes::IsCataloguedMessage("ERR_NOBODY_KNOWS"));
  EXPECT_EQ(Kes::FormatMessage("ERR_NOBODY_KNOWS", u"x", u"", u"z").ToUtf8(), "ERR_NOBODY_KNOWS x z");
}

TEST(GenerateInternalError, CarriesItsValueAndNamesSourceAndLineInItsMessage) {
  Kes::CException* e =
      KesTest::CatchKes([] { Kes::GenerateInternalError(0, "", "", "Image\\Formats\\Bmp\\Src\\BmpStreams", 34, -7); });
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Value(), -7);
  EXPECT_EQ(e->Message().ToUtf8(), "Internal error in Image\\Formats\\Bmp\\Src\\BmpStreams at line 34 (value -7).");
  e->Delete();
}

TEST(ExceptionOwner, DeletesTheCaughtErrorOnceWhenTheLastOwnerGoes) {
  const std::int64_t before = Kes::GetMemoryStats().liveBlocks;
  try {
    Kes::GenerateCheck(Kes::ERR_FILE_OPEN, u"a.bmp");
  } catch (Kes::CException* raised) {
    Kes::CExceptionOwner caught(raised);
    const Kes::CExceptionOwner error(std::move(caught));
    EXPECT_EQ(caught.Get(), nullptr);
    EXPECT_STREQ(error->ErrorId(), "ERR_FILE_OPEN");
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

}  // namespace
