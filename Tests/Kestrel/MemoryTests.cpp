#include <gtest/gtest.h>

#include <cstring>

#include "Kes/Memory.h"
#include "Support/Expect.h"

namespace {

TEST(Memory, CountsLiveBytesUntilFreed) {
  const Kes::CMemoryStats before = Kes::GetMemoryStats();
  void* block = Kes::doAlloc(1000);
  std::memset(block, 0xAB, 1000);
  EXPECT_EQ(Kes::GetMemoryStats().liveBytes - before.liveBytes, 1000);
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks - before.liveBlocks, 1);
  Kes::doFree(block);
  EXPECT_EQ(Kes::GetMemoryStats().liveBytes, before.liveBytes);
}

TEST(Memory, RefusesAllocationsPastTheCapWithOwnError) {
  Kes::SetAllocationLimit(static_cast<std::uint64_t>(Kes::GetMemoryStats().liveBytes) + 4096);
  const KesTest::RaisedError raised = KesTest::Raised([] { Kes::doAlloc(1 << 20); });
  Kes::SetAllocationLimit(0);
  EXPECT_TRUE(raised.raised);
  EXPECT_EQ(raised.id, "ERR_OUT_OF_MEMORY");
  EXPECT_EQ(raised.p1, "1048576");
}

TEST(Memory, RefusesSizesNoMachineCanHold) {
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

TEST(Memory, PeakFollowsTheHighestLiveCount) {
  Kes::ResetPeakMemory();
  const std::int64_t base = Kes::GetMemoryStats().liveBytes;
  Kes::doFree(Kes::doAlloc(1 << 16));
  EXPECT_GE(Kes::GetMemoryStats().peakBytes - base, 1 << 16);
}

}  // namespace
