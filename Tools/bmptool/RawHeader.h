#pragma once
// The tool's own reading of a BMP/DIB header, for what the module's
// description leaves out (row order, stored bit depth and compression) and to
// check that a DIB read from a file holds everything the module will read.
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
  std::uint32_t alphaMask = 0;  // 0 when the header declares none
};

// The most bytes ReadRawHeader looks at, and where the information header
// starts in a BMP file (after the file header).
constexpr std::size_t kRawHeaderBytes = 124;
constexpr std::size_t kFileHeaderBytes = 14;

// The information header at offset (14 in a file, 0 in a DIB), or nothing when
// the bytes end before it does. The 12-byte core header has 16-bit sizes;
// fields beyond a shorter header read as 0.
std::optional<CRawHeader> ReadRawHeader(const std::vector<std::uint8_t>& bytes, std::size_t offset);
const char* CompressionName(std::uint32_t compression);
// Whether the first bytes of a file look like an information header's size.
bool LooksLikeDibHeader(const std::uint8_t* head, std::size_t size);
// "OS/2 core header, 12 bytes", "V5 header, 124 bytes" and so on.
std::string HeaderName(std::uint32_t headerSize);

// The bytes of a packed DIB that the module reads: the header, the palette or
// masks where it looks for them, and the pixel array after them; nothing for a
// header size it does not know.
std::optional<std::uint64_t> DibBytesNeeded(const CRawHeader& header);
// Where the pixel array starts in a packed DIB: after the header and the
// palette or masks; nothing for a header size the module does not know.
std::optional<std::uint64_t> DibPixelOffset(const CRawHeader& header);

}  // namespace BmpTool
