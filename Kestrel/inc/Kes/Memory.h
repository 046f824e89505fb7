#pragma once
#include <cstddef>
#include <cstdint>
#include <new>

#include "Kes/Export.h"

namespace Kes {

// Every block of the framework, the host and the modules comes from here, so
// one process has one allocator, one live-byte count and one optional budget.
KES_API void* doAlloc(std::size_t size);
KES_API void doFree(void* block) noexcept;

// A memory manager that a scope may put in force; null selects the default heap.
class KES_API IMemoryManager {
public:
  virtual ~IMemoryManager();
  virtual void* Allocate(std::size_t size) = 0;
  virtual void Release(void* block) noexcept = 0;
};

// Puts a memory manager in force on this thread for its own lifetime.
class KES_API CMemoryManagerSwitcher {
public:
  explicit CMemoryManagerSwitcher(IMemoryManager* manager) noexcept;
  ~CMemoryManagerSwitcher();
  CMemoryManagerSwitcher(const CMemoryManagerSwitcher&) = delete;
  CMemoryManagerSwitcher& operator=(const CMemoryManagerSwitcher&) = delete;

private:
  IMemoryManager* m_previous;
};

struct CMemoryStats {
  std::int64_t liveBlocks;
  std::int64_t liveBytes;
  std::int64_t peakBytes;
};
KES_API CMemoryStats GetMemoryStats() noexcept;
// Restarts peak tracking at the current live byte count.
KES_API void ResetPeakMemory() noexcept;
// Caps the live bytes of the whole process (0 = no cap). An allocation that
// would pass the cap raises ERR_OUT_OF_MEMORY instead of exhausting the machine.
KES_API void SetAllocationLimit(std::uint64_t bytes) noexcept;

// Standard-library allocator over doAlloc/doFree.
template <class T>
struct CAllocator {
  using value_type = T;
  CAllocator() noexcept = default;
  template <class U>
  CAllocator(const CAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(doAlloc(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { doFree(p); }
  template <class U>
  bool operator==(const CAllocator<U>&) const noexcept { return true; }
};

// Class-level operator new/delete that route an object family through doAlloc.
#define KES_DECLARE_ALLOCATION                                                   \
  static void* operator new(std::size_t size) { return ::Kes::doAlloc(size); } \
  static void operator delete(void* block) noexcept { ::Kes::doFree(block); }  \
  static void* operator new(std::size_t, void* place) noexcept { return place; } \
  static void operator delete(void*, void*) noexcept {}

}  // namespace Kes
