#include "RawHeader.h"

#include <algorithm>
#include <cstdlib>

#include "Kes/ByteOrder.h"

namespace BmpTool {
namespace {

constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kOs2HeaderMinBytes = 16;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// From 52 bytes on (V2 to V5) the masks lie inside the header; shorter ones have them after it.
constexpr std::uint32_t kHeaderWithMasks = 52;
constexpr std::uint32_t kLargestHeaderBytes = kRawHeaderBytes;
constexpr std::uint64_t kMaskBytes = 12;
constexpr std::uint64_t kCoreEntryBytes = 3;
constexpr std::uint64_t kEntryBytes = 4;
constexpr std::uint64_t kRle4Entries = 16;
constexpr std::uint64_t kRle8Entries = 256;

// The alpha mask follows the three colour masks: inside a V3 to V5 header, or
// after a 40-byte header with alpha bit fields.
constexpr std::uint32_t kAlphaMaskOffset = 52;
constexpr std::uint32_t kHeaderWithAlpha = 56;

enum TCompression : std::uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitFields = 3, BiAlphaBitFields = 6 };

enum class TTables { None, Palette, Masks };

struct CNamedHeader {
  std::uint32_t size;
  const char* name;
};
constexpr CNamedHeader kNamedHeaders[] = {{12, "OS/2 core header"}, {40, "info header"}, {52, "V2 info header"},
                                          {56, "V3 info header"},   {64, "OS/2 2.x header"}, {108, "V4 header"},
                                          {124, "V5 header"}};

TTables TablesOf(const CRawHeader& h) {
  switch (h.compression) {
    case BiRgb:
      return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 ? TTables::Palette : TTables::None;
    case BiRle8:
    case BiRle4:
      return TTables::Palette;
    case BiBitFields:
      return h.bitCount == 16 || h.bitCount == 32 ? TTables::Masks : TTables::None;
    default:
      return TTables::None;
  }
}

// Only uncompressed and bit-field pixels are read from a DIB; the rest is refused after the header.
bool HasPixelArray(const CRawHeader& h) {
  if (h.compression == BiRgb) return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                                       h.bitCount == 24 || h.bitCount == 32;
  return TablesOf(h) == TTables::Masks;
}

// The tool sees the module only through its interfaces, so it keeps this one
// sum of its own: rows padded to a multiple of 4 bytes, saturating, not wrapping.
std::uint64_t PixelArrayBytes(std::uint64_t width, std::uint64_t height, std::uint16_t bitCount) {
  const std::uint64_t stride = (width * bitCount + 31) / 32 * 4;
  return height != 0 && stride > UINT64_MAX / height ? UINT64_MAX : stride * height;
}

std::uint64_t PaletteBytes(const CRawHeader& h) {
  const std::uint64_t full = std::uint64_t{1} << (h.bitCount % 32);
  std::uint64_t entries = h.colorsUsed != 0 && h.colorsUsed < full ? h.colorsUsed : full;
  if (h.compression == BiRle8) entries = std::min(entries, kRle8Entries);
  if (h.compression == BiRle4) entries = std::min(entries, kRle4Entries);
  return entries * (h.headerSize == kCoreHeaderBytes ? kCoreEntryBytes : kEntryBytes);
}

}  // namespace

std::optional<CRawHeader> ReadRawHeader(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (bytes.size() < offset + sizeof(std::uint32_t)) return std::nullopt;
  CRawHeader h;
  h.headerSize = Kes::LoadLe32(bytes.data() + offset);
  const std::size_t present = std::min<std::uint64_t>(h.headerSize, kInfoHeaderBytes);
  if (bytes.size() - offset < present) return std::nullopt;
  std::uint8_t f[kInfoHeaderBytes] = {};
  std::copy_n(bytes.begin() + std::ptrdiff_t(offset), present, f);
  if (h.headerSize == kCoreHeaderBytes) {
    h.width = Kes::LoadLe16(f + 4);
    h.height = Kes::LoadLe16(f + 6);
    h.bitCount = Kes::LoadLe16(f + 10);
    return h;
  }
  h.width = static_cast<std::int32_t>(Kes::LoadLe32(f + 4));
  h.height = static_cast<std::int32_t>(Kes::LoadLe32(f + 8));
  h.bitCount = Kes::LoadLe16(f + 14);
  h.compression = Kes::LoadLe32(f + 16);
  h.sizeImage = Kes::LoadLe32(f + 20);
  h.colorsUsed = Kes::LoadLe32(f + 32);
  const bool declaresAlpha = h.headerSize >= kHeaderWithAlpha || h.compression == BiAlphaBitFields;
  if (declaresAlpha && bytes.size() - offset >= kHeaderWithAlpha) {
    h.alphaMask = Kes::LoadLe32(bytes.data() + offset + kAlphaMaskOffset);
  }
  return h;
}

const char* CompressionName(std::uint32_t compression) {
  switch (compression) {
    case 0:
      return "none";
    case 1:
      return "RLE8";
    case 2:
      return "RLE4";
    case 3:
      return "bit fields";
    case 4:
      return "JPEG";
    case 5:
      return "PNG";
    default:
      return "unknown";
  }
}

std::string HeaderName(std::uint32_t headerSize) {
  const char* name = headerSize < kOs2HeaderMinBytes ? "unsupported header"
                     : headerSize < kInfoHeaderBytes ? "OS/2 2.x header"
                                                     : "header";
  for (const CNamedHeader& named : kNamedHeaders) {
    if (named.size == headerSize) name = named.name;
  }
  return std::string(name) + ", " + std::to_string(headerSize) + " bytes";
}

bool LooksLikeDibHeader(const std::uint8_t* head, std::size_t size) {
  if (size < sizeof(std::uint32_t)) return false;
  const std::uint32_t headerSize = Kes::LoadLe32(head);
  return headerSize == kCoreHeaderBytes || (headerSize >= kOs2HeaderMinBytes && headerSize <= kLargestHeaderBytes);
}

std::optional<std::uint64_t> DibPixelOffset(const CRawHeader& h) {
  if (h.headerSize != kCoreHeaderBytes && h.headerSize < kOs2HeaderMinBytes) return std::nullopt;
  std::uint64_t extent = h.headerSize;
  switch (TablesOf(h)) {
    case TTables::Palette:
      extent += PaletteBytes(h);
      break;
    case TTables::Masks:
      if (h.headerSize < kHeaderWithMasks) extent += kMaskBytes;
      break;
    case TTables::None:
      break;
  }
  return extent;
}

std::optional<std::uint64_t> DibBytesNeeded(const CRawHeader& h) {
  const std::optional<std::uint64_t> extent = DibPixelOffset(h);
  if (!extent || !HasPixelArray(h)) return extent;
  const std::uint64_t width = static_cast<std::uint64_t>(std::abs(std::int64_t{h.width}));
  const std::uint64_t height = static_cast<std::uint64_t>(std::abs(std::int64_t{h.height}));
  return *extent + std::min(PixelArrayBytes(width, height, h.bitCount), UINT64_MAX - *extent);
}

}  // namespace BmpTool
