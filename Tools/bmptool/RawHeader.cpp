#include "RawHeader.h"

#include <cstdlib>

#include "Kes/ByteOrder.h"

namespace BmpTool {
namespace {

constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kBitFields = 3;

std::uint32_t Dword(const std::vector<std::uint8_t>& b, std::size_t at) { return Kes::LoadLe32(b.data() + at); }
std::uint16_t Word(const std::vector<std::uint8_t>& b, std::size_t at) { return Kes::LoadLe16(b.data() + at); }

}  // namespace

std::optional<CRawHeader> ReadRawHeader(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (bytes.size() < offset + kInfoHeaderBytes) return std::nullopt;
  CRawHeader h;
  h.headerSize = Dword(bytes, offset);
  h.width = static_cast<std::int32_t>(Dword(bytes, offset + 4));
  h.height = static_cast<std::int32_t>(Dword(bytes, offset + 8));
  h.bitCount = Word(bytes, offset + 14);
  h.compression = Dword(bytes, offset + 16);
  h.sizeImage = Dword(bytes, offset + 20);
  h.colorsUsed = Dword(bytes, offset + 32);
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

std::optional<std::uint64_t> DibBytesNeeded(const CRawHeader& h) {
  if (h.headerSize < kInfoHeaderBytes) return std::nullopt;
  std::uint64_t tables = 0;
  if (h.bitCount <= 8 && h.compression != kBitFields) {
    const std::uint64_t full = std::uint64_t{1} << h.bitCount;
    tables = 4 * (h.colorsUsed != 0 && h.colorsUsed < full ? h.colorsUsed : full);
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
