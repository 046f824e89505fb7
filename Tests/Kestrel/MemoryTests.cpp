#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "Kes/Memory.h"
#include "Support/Expect.h"

namespace {

TEST(Memory, CountsLiveAndPeakBytesUntilFreed) {
  Kes::ResetPeakMemory();
  const Kes::CMemoryStats before = Kes::GetMemoryStats();
  void* block = Kes::doAlloc(1000);
  EXPECT_EQ(Kes::GetMemoryStats().liveBytes - before.liveBytes, 1000);
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks - before.liveBlocks, 1);
  Kes::doFree(block);
  EXPECT_EQ(Kes::GetMemoryStats().liveBytes, before.liveBytes);
  EXPECT_GE(Kes::GetMemoryStats().peakBytes - before.liveBytes, 1000);
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

}  // namespace
