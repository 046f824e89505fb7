#pragma once

namespace Kes {

// While one is alive on a thread, allocations there ignore the live-byte cap:
// an error that reports an exhausted budget must still be able to be built.
class CAllocationCapBypass {
public:
  CAllocationCapBypass() noexcept;
  ~CAllocationCapBypass();
  CAllocationCapBypass(const CAllocationCapBypass&) = delete;
  CAllocationCapBypass& operator=(const CAllocationCapBypass&) = delete;
};

}  // namespace Kes
