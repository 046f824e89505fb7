#pragma once
// The tool's own reading of a BMP/DIB header, for what the module's
// description leaves out (row order, stored bit depth and compression) and to
// check that a DIB read from a file holds everything it declares.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace BmpTool {

struct CRawHeader {
  std::uint32_t headerSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::uint32_t colorsUsed = 0;
};

// The information header at offset (14 in a file, 0 in a DIB), or nothing when too short;
// the fields a short header leaves out are 0.
std::optional<CRawHeader> ReadRawHeader(const std::vector<std::uint8_t>& bytes, std::size_t offset);
const char* CompressionName(std::uint32_t compression);
// "OS/2 core header, 12 bytes", "V5 header, 124 bytes" and so on.
std::string HeaderName(std::uint32_t headerSize);

// The bytes a DIB needs for its header, palette or masks and pixel array;
// nothing when the sizes cannot be worked out.
std::optional<std::uint64_t> DibBytesNeeded(const CRawHeader& header);

}  // namespace BmpTool
