#pragma once
// Crafts BMP files and packed DIBs byte by byte for tests, fuzz seeds and
// benchmarks. It shares no code with the module's writer, so it can serve as
// the oracle the reader is checked against. Standard library only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace BmpTest {

// --- Published sizes and values ---------------------------------------------

inline constexpr uint16_t kBfTypeBm = 0x4D42;  // "BM" read little-endian
inline constexpr uint32_t kFileHeaderSize = 14;

inline constexpr uint32_t kCoreHeaderSize = 12;  // 16-bit width and height
inline constexpr uint32_t kInfoHeaderSize = 40;
inline constexpr uint32_t kV2HeaderSize = 52;     // + red, green, blue masks
inline constexpr uint32_t kV3HeaderSize = 56;     // + alpha mask
inline constexpr uint32_t kOs2V2HeaderSize = 64;  // 40 bytes, then 24 zero bytes here
inline constexpr uint32_t kV4HeaderSize = 108;
inline constexpr uint32_t kV5HeaderSize = 124;
// Upper bound on what SetInfoHeaderSize accepts; a longer header is a typo.
inline constexpr uint32_t kMaxInfoHeaderSize = 65536;

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;
inline constexpr uint32_t kBiJpeg = 4;
inline constexpr uint32_t kBiPng = 5;

inline constexpr uint32_t kPaletteEntrySize = 4;
inline constexpr uint32_t kMaskSize = 4;
inline constexpr uint32_t kRowAlignment = 4;
inline constexpr std::size_t kEndpointsSize = 36;

// --- Field offsets within the information header ----------------------------

inline constexpr std::size_t kHdrBiSize = 0;
inline constexpr std::size_t kHdrBiWidth = 4;
inline constexpr std::size_t kHdrBiHeight = 8;
inline constexpr std::size_t kHdrBiPlanes = 12;
inline constexpr std::size_t kHdrBiBitCount = 14;
inline constexpr std::size_t kHdrBiCompression = 16;
inline constexpr std::size_t kHdrBiSizeImage = 20;
inline constexpr std::size_t kHdrBiXPelsPerMeter = 24;
inline constexpr std::size_t kHdrBiYPelsPerMeter = 28;
inline constexpr std::size_t kHdrBiClrUsed = 32;
inline constexpr std::size_t kHdrBiClrImportant = 36;
inline constexpr std::size_t kHdrRedMask = 40;
inline constexpr std::size_t kHdrGreenMask = 44;
inline constexpr std::size_t kHdrBlueMask = 48;
inline constexpr std::size_t kHdrAlphaMask = 52;
inline constexpr std::size_t kHdrCsType = 56;
inline constexpr std::size_t kHdrEndpoints = 60;
inline constexpr std::size_t kHdrGammaRed = 96;
inline constexpr std::size_t kHdrGammaGreen = 100;
inline constexpr std::size_t kHdrGammaBlue = 104;
inline constexpr std::size_t kHdrIntent = 108;
inline constexpr std::size_t kHdrProfileData = 112;
inline constexpr std::size_t kHdrProfileSize = 116;
inline constexpr std::size_t kHdrReserved = 120;
// The 12-byte core header.
inline constexpr std::size_t kHdrBcWidth = 4;
inline constexpr std::size_t kHdrBcHeight = 6;
inline constexpr std::size_t kHdrBcPlanes = 8;
inline constexpr std::size_t kHdrBcBitCount = 10;

// --- Field offsets within a file ---------------------------------------------

inline constexpr std::size_t kOffBfType = 0;
inline constexpr std::size_t kOffBfSize = 2;
inline constexpr std::size_t kOffBfReserved1 = 6;
inline constexpr std::size_t kOffBfReserved2 = 8;
inline constexpr std::size_t kOffBfOffBits = 10;
inline constexpr std::size_t kOffBiSize = kFileHeaderSize + kHdrBiSize;
inline constexpr std::size_t kOffBiWidth = kFileHeaderSize + kHdrBiWidth;
inline constexpr std::size_t kOffBiHeight = kFileHeaderSize + kHdrBiHeight;
inline constexpr std::size_t kOffBiPlanes = kFileHeaderSize + kHdrBiPlanes;
inline constexpr std::size_t kOffBiBitCount = kFileHeaderSize + kHdrBiBitCount;
inline constexpr std::size_t kOffBiCompression = kFileHeaderSize + kHdrBiCompression;
inline constexpr std::size_t kOffBiSizeImage = kFileHeaderSize + kHdrBiSizeImage;
inline constexpr std::size_t kOffBiXPelsPerMeter = kFileHeaderSize + kHdrBiXPelsPerMeter;
inline constexpr std::size_t kOffBiYPelsPerMeter = kFileHeaderSize + kHdrBiYPelsPerMeter;
inline constexpr std::size_t kOffBiClrUsed = kFileHeaderSize + kHdrBiClrUsed;
inline constexpr std::size_t kOffBiClrImportant = kFileHeaderSize + kHdrBiClrImportant;
inline constexpr std::size_t kOffRedMask = kFileHeaderSize + kHdrRedMask;
inline constexpr std::size_t kOffGreenMask = kFileHeaderSize + kHdrGreenMask;
inline constexpr std::size_t kOffBlueMask = kFileHeaderSize + kHdrBlueMask;
inline constexpr std::size_t kOffAlphaMask = kFileHeaderSize + kHdrAlphaMask;
inline constexpr std::size_t kOffCsType = kFileHeaderSize + kHdrCsType;
inline constexpr std::size_t kOffEndpoints = kFileHeaderSize + kHdrEndpoints;
inline constexpr std::size_t kOffGammaRed = kFileHeaderSize + kHdrGammaRed;
inline constexpr std::size_t kOffGammaGreen = kFileHeaderSize + kHdrGammaGreen;
inline constexpr std::size_t kOffGammaBlue = kFileHeaderSize + kHdrGammaBlue;
inline constexpr std::size_t kOffIntent = kFileHeaderSize + kHdrIntent;
inline constexpr std::size_t kOffProfileData = kFileHeaderSize + kHdrProfileData;
inline constexpr std::size_t kOffProfileSize = kFileHeaderSize + kHdrProfileSize;
inline constexpr std::size_t kOffReserved = kFileHeaderSize + kHdrReserved;
inline constexpr std::size_t kOffBcWidth = kFileHeaderSize + kHdrBcWidth;
inline constexpr std::size_t kOffBcHeight = kFileHeaderSize + kHdrBcHeight;
inline constexpr std::size_t kOffBcPlanes = kFileHeaderSize + kHdrBcPlanes;
inline constexpr std::size_t kOffBcBitCount = kFileHeaderSize + kHdrBcBitCount;

// --- Plain records -----------------------------------------------------------

// Every field of the longest (V5) information header. Writing it emits
// exactly biSize bytes: the core layout for 12, the first 40 bytes then zeros
// for the OS/2 size 64, otherwise the V5 layout cut to biSize (zero-filled
// past 124), so an unpublished size is written as a reader would meet it.
// Palette entries follow a core header in 3 bytes, any other in 4.
struct InfoHeader {
  uint32_t biSize = kInfoHeaderSize;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = kBiRgb;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  uint32_t alphaMask = 0;
  uint32_t csType = 0;
  std::array<uint8_t, kEndpointsSize> endpoints{};
  uint32_t gammaRed = 0;
  uint32_t gammaGreen = 0;
  uint32_t gammaBlue = 0;
  uint32_t intent = 0;
  uint32_t profileData = 0;
  uint32_t profileSize = 0;
  uint32_t reserved = 0;
};

// A palette entry in file order; the fourth byte is written as given (not at all after a core header).
struct Rgbq {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  uint8_t a = 0;
};

// A logical image, row y = 0 at the top. values[y * width + x] is a palette
// index (1, 2, 4, 8 bpp), the stored 16- or 32-bit word, or 0x00RRGGBB (24).
struct Pixels {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::vector<uint32_t> values;
};

enum class RowOrder { BottomUp, TopDown };
enum class RleDepth { Rle8, Rle4 };

// --- Byte helpers --------------------------------------------------------------

void Append16(std::vector<uint8_t>& bytes, uint16_t value);
void Append32(std::vector<uint8_t>& bytes, uint32_t value);
// Overwrite a little-endian field in place; the field must lie inside.
void Patch16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value);
void Patch32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value);
// Cut to size bytes; size must not exceed the current length.
void Truncate(std::vector<uint8_t>& bytes, std::size_t size);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// A path in a scratch folder of this process's own: ctest runs suites side by
// side, and fixed names in the shared temporary folder would collide.
std::filesystem::path ScratchPath(const std::string& leaf);

// Emits exactly header.biSize bytes (see InfoHeader).
void AppendInfoHeader(std::vector<uint8_t>& bytes, const InfoHeader& header);

// The stored pixel array: rows in the given order, packed high bits first
// below 8 bpp, little-endian at 16 and 32, B G R at 24, each row padded to a
// multiple of 4 with padByte. Throws std::invalid_argument on a bad image.
std::vector<uint8_t> PackPixels(const Pixels& image, RowOrder order, uint8_t padByte = 0);

// --- Run-length code streams ---------------------------------------------------

class RleStream {
 public:
  RleStream& EncodedRun(uint8_t count, uint8_t value);  // count 1..255
  // 3..255 indices; RLE4 packs two per byte, high nibble first. Adds the pad
  // byte that keeps the next code on an even offset.
  RleStream& Absolute(const std::vector<uint8_t>& pixels, RleDepth depth);
  RleStream& EndOfLine();
  RleStream& EndOfBitmap();
  RleStream& Delta(uint8_t dx, uint8_t dy);
  RleStream& Raw(const std::vector<uint8_t>& bytes);
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A plain encoding of a whole image: encoded runs for repeats, absolute runs
// for literal stretches of 3 or more, an end of line after every row but the
// last and an end of bitmap after it. Rows go in the given stored order.
std::vector<uint8_t> EncodeRle(const Pixels& image, RleDepth depth,
                               RowOrder order = RowOrder::BottomUp);

// --- Whole files and DIBs --------------------------------------------------------

// Layout: file header, information header, masks (after a header too short
// to hold them, when SetMasks was called), palette, gap, pixel data.
// bfOffBits and biSizeImage follow the layout unless set explicitly. Pixels
// set with SetPixels are stored bottom-up when biHeight > 0, top-down when < 0.
class BmpBuilder {
 public:
  // Width, height and bit count from the image; biHeight is negative when
  // SetTopDown is in force.
  BmpBuilder& SetPixels(const Pixels& image);
  // Stored pixel bytes used as they are (they replace SetPixels' image).
  BmpBuilder& SetPixelData(std::vector<uint8_t> bytes);
  // Width, height, bit count, BI_RLE8 or BI_RLE4, and the code stream as data.
  BmpBuilder& SetRle(int32_t width, int32_t height, int bitCount, std::vector<uint8_t> codeStream);
  // Makes biHeight negative (or positive again with false).
  BmpBuilder& SetTopDown(bool topDown = true);
  BmpBuilder& SetInfoHeaderSize(uint32_t size);
  BmpBuilder& SetPalette(std::vector<Rgbq> palette);
  BmpBuilder& SetMasks(uint32_t red, uint32_t green, uint32_t blue);
  BmpBuilder& SetMasks(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha);
  BmpBuilder& SetCompression(uint32_t compression);
  BmpBuilder& SetResolution(int32_t xPpm, int32_t yPpm);
  BmpBuilder& SetClrUsed(uint32_t count);
  BmpBuilder& SetSizeImage(uint32_t size);
  BmpBuilder& SetRowPadByte(uint8_t padByte);
  BmpBuilder& SetGap(std::size_t count, uint8_t fill = 0);
  BmpBuilder& SetOffBits(uint32_t offBits);
  // Any other field.
  InfoHeader& Header() { return header_; }

  std::vector<uint8_t> Build() const;
  std::vector<uint8_t> BuildDib() const;

 private:
  std::vector<uint8_t> Tables(uint32_t pixelBytes) const;  // information header through the gap
  std::vector<uint8_t> PixelBytes() const;

  InfoHeader header_;
  bool topDown_ = false;
  std::vector<Rgbq> palette_;
  std::size_t maskCount_ = 0;
  std::optional<Pixels> image_;
  std::vector<uint8_t> pixelData_;
  uint8_t padByte_ = 0;
  std::vector<uint8_t> gap_;
  std::optional<uint32_t> offBits_;
  std::optional<uint32_t> sizeImage_;
};

}  // namespace BmpTest
