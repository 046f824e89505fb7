#pragma once
// What every fuzz target shares: the host services and module-wide objects
// set up once, a cap on live memory so that a header asking for gigabytes
// ends in the framework's out-of-memory error, and the rows of an image read
// as a host would.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ImageHost/Image.h"
#include "Kes/Errors.h"
#include "Kes/Object.h"

namespace FuzzSupport {

inline constexpr std::uint64_t kMemoryCap = 256ull << 20;
// Images larger than this are read only at a few rows, to keep each input fast.
inline constexpr std::int64_t kFullReadPixels = 1 << 22;

void SetUpOnce();
// Runs f; the module's errors are expected outcomes and are absorbed.
template <class F>
void Absorbing(F&& f) {
  try {
    f();
  } catch (Kes::CException* error) {
    error->Delete();
  }
}
// Reads rows in order (all of them when the image is small), then a few out of order.
void ReadRows(const Kes::CPtr<Image::IImage>& image);

}  // namespace FuzzSupport
