// A packed DIB, given to the module in a buffer that holds everything its
// header declares, as a caller must; inputs that declare more than 64 MiB,
// more than 2^18 rows or more than 2^24 pixels are skipped. Millions of thin
// rows, or a 1-bit row of 67 million pixels (200 MB decoded), are linear work
// that takes a fraction of a second natively; the sanitizers slow it past the
// fuzzer's timeout while it teaches nothing a smaller image does not.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BmpImageFileImpl.h"
#include "FuzzSupport.h"
#include "Kes/ByteOrder.h"

namespace {

constexpr std::uint64_t kMaxDeclared = 64ull << 20;
constexpr std::uint64_t kMaxRows = 1ull << 18;
constexpr std::uint64_t kMaxPixels = 1ull << 24;
constexpr std::size_t kInfoHeader = 40;
constexpr std::uint64_t kWindow = 1064, kPaletteRoom = 1024;

// Header, palette or masks, and pixel array, by the same rules as the module.
std::uint64_t Declared(const std::uint8_t* h) {
  const std::uint32_t headerSize = Kes::LoadLe32(h);
  const auto width = static_cast<std::int32_t>(Kes::LoadLe32(h + 4));
  const auto height = static_cast<std::int32_t>(Kes::LoadLe32(h + 8));
  const std::uint16_t bits = Kes::LoadLe16(h + 14);
  const std::uint32_t colorsUsed = Kes::LoadLe32(h + 32);
  const std::uint64_t full = std::uint64_t{1} << (bits % 32);
  const std::uint64_t entries = colorsUsed != 0 && colorsUsed < full ? colorsUsed : full;
  const std::uint64_t tables = std::max<std::uint64_t>(4 * std::min<std::uint64_t>(entries, 256), 12);
  const std::uint64_t w = static_cast<std::uint64_t>(std::llabs(std::int64_t{width}));
  const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(std::int64_t{height}));
  const std::uint64_t stride = (w * std::max<std::uint16_t>(bits, 1) + 31) / 32 * 4;
  if (rows > kMaxRows || w * rows > kMaxPixels) return UINT64_MAX;
  if (rows != 0 && stride > kMaxDeclared / rows) return UINT64_MAX;
  return std::max<std::uint64_t>(headerSize, kInfoHeader) + tables + stride * rows + kPaletteRoom + kWindow;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSupport::SetUpOnce();
  if (size < kInfoHeader) return 0;
  const std::uint64_t declared = Declared(data);
  if (declared > kMaxDeclared) return 0;
  std::vector<std::uint8_t> dib(std::max<std::uint64_t>(declared, size), 0);
  std::copy(data, data + size, dib.begin());
  const std::vector<std::uint8_t> before = dib;
  const Image::CBmpImageFileFormat format;
  FuzzSupport::Absorbing([&] { FuzzSupport::ReadRows(format.CreateImageFromDIB(dib.data(), data[0] % 3 * 100, 0)); });
  if (dib != before) std::abort();  // the caller's memory is never changed
  return 0;
}
