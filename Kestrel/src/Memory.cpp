#include "Kes/Memory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "Kes/Errors.h"
#include "MemoryInternal.h"

namespace Kes {
namespace {

// Each block starts with a header that remembers its size and its manager, so
// that doFree returns it to the right place and the counts stay exact.
struct alignas(std::max_align_t) BlockHeader {
  std::size_t size;
  IMemoryManager* manager;
};

std::atomic<std::int64_t> g_liveBlocks{0};
std::atomic<std::int64_t> g_liveBytes{0};
std::atomic<std::int64_t> g_peakBytes{0};
std::atomic<std::uint64_t> g_limit{0};
thread_local IMemoryManager* t_manager = nullptr;
thread_local int t_capBypass = 0;

void RaiseOutOfMemory(std::size_t size) {
  const CAllocationCapBypass bypass;
  GenerateCheck(ERR_OUT_OF_MEMORY, UnicodeStr(static_cast<std::int64_t>(std::min<std::size_t>(size, INT64_MAX)), 10));
}

void NotePeak(std::int64_t live) noexcept {
  std::int64_t peak = g_peakBytes.load(std::memory_order_relaxed);
  while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
  }
}

// Takes size bytes from the budget, or refuses when the cap would be passed.
bool Reserve(std::size_t size) noexcept {
  const auto bytes = static_cast<std::int64_t>(size);
  const std::int64_t live = g_liveBytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  const std::uint64_t limit = g_limit.load(std::memory_order_relaxed);
  if (limit != 0 && t_capBypass == 0 && static_cast<std::uint64_t>(live) > limit) {
    g_liveBytes.fetch_sub(bytes, std::memory_order_relaxed);
    return false;
  }
  NotePeak(live);
  return true;
}

}  // namespace

IMemoryManager::~IMemoryManager() = default;

CAllocationCapBypass::CAllocationCapBypass() noexcept { ++t_capBypass; }
CAllocationCapBypass::~CAllocationCapBypass() { --t_capBypass; }

void* doAlloc(std::size_t size) {
  if (size > static_cast<std::size_t>(INT64_MAX) - sizeof(BlockHeader)) RaiseOutOfMemory(size);
  if (!Reserve(size)) RaiseOutOfMemory(size);
  IMemoryManager* manager = t_manager;
  const std::size_t total = size + sizeof(BlockHeader);
  void* raw = manager ? manager->Allocate(total) : std::malloc(total);
  if (!raw) {
    g_liveBytes.fetch_sub(static_cast<std::int64_t>(size), std::memory_order_relaxed);
    RaiseOutOfMemory(size);
  }
  auto* header = static_cast<BlockHeader*>(raw);
  header->size = size;
  header->manager = manager;
  g_liveBlocks.fetch_add(1, std::memory_order_relaxed);
  return header + 1;
}

void doFree(void* block) noexcept {
  if (!block) return;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  g_liveBytes.fetch_sub(static_cast<std::int64_t>(header->size), std::memory_order_relaxed);
  if (header->manager) {
    header->manager->Release(header);
    return;
  }
  std::free(header);
}

CMemoryManagerSwitcher::CMemoryManagerSwitcher(IMemoryManager* manager) noexcept : m_previous(t_manager) {
  t_manager = manager;
}

CMemoryManagerSwitcher::~CMemoryManagerSwitcher() { t_manager = m_previous; }

CMemoryStats GetMemoryStats() noexcept {
  return {g_liveBlocks.load(std::memory_order_relaxed), g_liveBytes.load(std::memory_order_relaxed),
          g_peakBytes.load(std::memory_order_relaxed)};
}

void ResetPeakMemory() noexcept { g_peakBytes.store(g_liveBytes.load(std::memory_order_relaxed), std::memory_order_relaxed); }

void SetAllocationLimit(std::uint64_t bytes) noexcept { g_limit.store(bytes, std::memory_order_relaxed); }

}  // namespace Kes
