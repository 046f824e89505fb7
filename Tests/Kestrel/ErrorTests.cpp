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
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

}  // namespace
