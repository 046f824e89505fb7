#include "RawHeader.h"

#include <algorithm>
#include <cstdlib>

#include "Kes/ByteOrder.h"

namespace BmpTool {
namespace {

constexpr std::size_t kInfoHeaderBytes = 40;
// The OS/2 core header: 16-bit sizes, bit count at 10, 3-byte palette entries.
constexpr std::size_t kCoreHeaderBytes = 12;
// Shorter OS/2 2.x headers end after the bit count or a later field.
constexpr std::size_t kShortestInfoHeaderBytes = 16;
constexpr std::uint32_t kBitFields = 3;

struct CNamedHeader {
  std::uint32_t size;
  const char* name;
};
constexpr CNamedHeader kNamedHeaders[] = {{12, "OS/2 core header"}, {40, "info header"}, {52, "V2 info header"},
                                          {56, "V3 info header"},   {64, "OS/2 2.x header"}, {108, "V4 header"},
                                          {124, "V5 header"}};

bool IsCore(const CRawHeader& h) { return h.headerSize == kCoreHeaderBytes; }

std::uint32_t Dword(const std::vector<std::uint8_t>& b, std::size_t at) { return Kes::LoadLe32(b.data() + at); }
std::uint16_t Word(const std::vector<std::uint8_t>& b, std::size_t at) { return Kes::LoadLe16(b.data() + at); }

}  // namespace

std::optional<CRawHeader> ReadRawHeader(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (bytes.size() < offset + kCoreHeaderBytes) return std::nullopt;
  CRawHeader h;
  h.headerSize = Dword(bytes, offset);
  if (IsCore(h)) {
    h.width = Word(bytes, offset + 4);
    h.height = Word(bytes, offset + 6);
    h.bitCount = Word(bytes, offset + 10);
    return h;
  }
  // The fields a short OS/2 2.x header leaves out read as 0.
  const std::size_t held = std::min<std::size_t>(h.headerSize, kInfoHeaderBytes);
  if (bytes.size() - offset < held) return std::nullopt;
  std::vector<std::uint8_t> fields(kInfoHeaderBytes, 0);
  std::copy_n(bytes.begin() + std::ptrdiff_t(offset), held, fields.begin());
  h.width = static_cast<std::int32_t>(Dword(fields, 4));
  h.height = static_cast<std::int32_t>(Dword(fields, 8));
  h.bitCount = Word(fields, 14);
  h.compression = Dword(fields, 16);
  h.sizeImage = Dword(fields, 20);
  h.colorsUsed = Dword(fields, 32);
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
  const char* name = headerSize < kShortestInfoHeaderBytes ? "unsupported header"
                     : headerSize < kInfoHeaderBytes   ? "OS/2 2.x header"
                                                       : "header";
  for (const CNamedHeader& named : kNamedHeaders) {
    if (named.size == headerSize) name = named.name;
  }
  return std::string(name) + ", " + std::to_string(headerSize) + " bytes";
}

std::optional<std::uint64_t> DibBytesNeeded(const CRawHeader& h) {
  if (!IsCore(h) && h.headerSize < kShortestInfoHeaderBytes) return std::nullopt;
  std::uint64_t tables = 0;
  if (h.bitCount <= 8 && h.compression != kBitFields) {
    const std::uint64_t full = std::uint64_t{1} << h.bitCount;
    tables = (IsCore(h) ? 3 : 4) * (h.colorsUsed != 0 && h.colorsUsed < full ? h.colorsUsed : full);
  } else if (h.compression == kBitFields && h.headerSize == kInfoHeaderBytes) {
    tables = 12;
  }
  const std::uint64_t width = static_cast<std::uint64_t>(std::abs(std::int64_t{h.width}));
  const std::uint64_t height = static_cast<std::uint64_t>(std::abs(std::int64_t{h.height}));
  const std::uint64_t stride = (width * h.bitCount + 31) / 32 * 4;
  const bool runLength = h.compression == 1 || h.compression == 2;
  const std::uint64_t pixels = runLength ? h.sizeImage : stride * height;
  return std::uint64_t{h.headerSize} + tables + pixels;
}

}  // namespace BmpTool
