#pragma once
// Crafts BMP files and packed DIBs byte by byte for tests, fuzz seeds and
// benchmarks. It shares no code with the module's writer, so it can serve as
// the oracle the reader is checked against. Standard library only.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace BmpTest {

inline constexpr uint32_t kCoreHeaderSize = 12;  // 16-bit width and height, 3-byte palette entries
inline constexpr uint32_t kInfoHeaderSize = 40;
inline constexpr uint32_t kV2HeaderSize = 52;     // + red, green, blue masks
inline constexpr uint32_t kV3HeaderSize = 56;     // + alpha mask
inline constexpr uint32_t kOs2V2HeaderSize = 64;  // 40 bytes, then 24 zero bytes and no masks
inline constexpr uint32_t kV4HeaderSize = 108;
inline constexpr uint32_t kV5HeaderSize = 124;

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;
inline constexpr uint32_t kBiJpeg = 4;

// Field offsets within the information header (kHdr) and within a file (kOff).
inline constexpr std::size_t kHdrBiSize = 0;
inline constexpr std::size_t kHdrBiWidth = 4;
inline constexpr std::size_t kHdrBiHeight = 8;
inline constexpr std::size_t kHdrBiBitCount = 14;
inline constexpr std::size_t kHdrBiCompression = 16;
inline constexpr std::size_t kHdrBiClrUsed = 32;
inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kOffBfOffBits = 10;
inline constexpr std::size_t kOffBiSize = kFileHeaderSize + kHdrBiSize;
inline constexpr std::size_t kOffBiWidth = kFileHeaderSize + kHdrBiWidth;
inline constexpr std::size_t kOffBiHeight = kFileHeaderSize + kHdrBiHeight;
inline constexpr std::size_t kOffBiBitCount = kFileHeaderSize + kHdrBiBitCount;
inline constexpr std::size_t kOffBiCompression = kFileHeaderSize + kHdrBiCompression;
inline constexpr std::size_t kOffBiClrUsed = kFileHeaderSize + kHdrBiClrUsed;

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

enum class RleDepth { Rle8, Rle4 };

// Overwrite a little-endian field in place; the field must lie inside.
void Patch32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// The whole file, byte for byte (empty when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);
// A path in a scratch folder of this process's own: ctest runs suites side by
// side, and fixed names in the shared temporary folder would collide.
std::filesystem::path ScratchPath(const std::string& leaf);

// Run-length code streams, written code by code.
class RleStream {
 public:
  RleStream& EncodedRun(uint8_t count, uint8_t value);
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
// last and an end of bitmap after it; rows bottom-up.
std::vector<uint8_t> EncodeRle(const Pixels& image, RleDepth depth);

// Layout: file header, information header (exactly its size: the core layout
// for 12, the first 40 bytes then zeros for 64, otherwise the V5 layout cut
// to the size and zero-filled past 124), masks the header is too short to
// hold, palette, pixel data. bfOffBits and biSizeImage follow the layout.
// Pixels are stored bottom-up, or top-down with SetTopDown (negative height).
class BmpBuilder {
 public:
  BmpBuilder& SetPixels(const Pixels& image);  // width, height and bit count too
  // Width, height, bit count, BI_RLE8 or BI_RLE4, and the code stream as data.
  BmpBuilder& SetRle(int32_t width, int32_t height, int bitCount, std::vector<uint8_t> codeStream);
  BmpBuilder& SetTopDown(bool topDown = true) { return Set(topDown_, topDown); }
  BmpBuilder& SetInfoHeaderSize(uint32_t size) { return Set(headerSize_, size); }
  BmpBuilder& SetBitCount(uint16_t bitCount) { return Set(bitCount_, bitCount); }
  BmpBuilder& SetPalette(std::vector<Rgbq> palette) { return Set(palette_, std::move(palette)); }
  BmpBuilder& SetMasks(uint32_t red, uint32_t green, uint32_t blue) { return Set(masks_, {red, green, blue}); }
  BmpBuilder& SetMasks(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return Set(masks_, {red, green, blue, alpha});
  }
  BmpBuilder& SetCompression(uint32_t compression) { return Set(compression_, compression); }
  BmpBuilder& SetResolution(int32_t xPpm, int32_t yPpm) { return Set(ppm_, {xPpm, yPpm}); }
  BmpBuilder& SetClrUsed(uint32_t count) { return Set(clrUsed_, count); }
  BmpBuilder& SetRowPadByte(uint8_t padByte) { return Set(padByte_, padByte); }

  std::vector<uint8_t> Build() const;
  std::vector<uint8_t> BuildDib() const;

 private:
  template <class T>
  BmpBuilder& Set(T& field, T value) {
    field = std::move(value);
    return *this;
  }
  std::vector<uint8_t> Tables(uint32_t pixelBytes) const;  // information header, masks, palette
  std::vector<uint8_t> PixelBytes() const;

  uint32_t headerSize_ = kInfoHeaderSize;
  int32_t width_ = 0, height_ = 0;
  uint16_t bitCount_ = 0;
  uint32_t compression_ = kBiRgb;
  std::pair<int32_t, int32_t> ppm_{0, 0};  // pixels per metre, x and y
  uint32_t clrUsed_ = 0;
  std::vector<uint32_t> masks_;
  bool topDown_ = false;
  std::vector<Rgbq> palette_;
  std::optional<Pixels> image_;
  std::vector<uint8_t> pixelData_;
  uint8_t padByte_ = 0;
};

}  // namespace BmpTest
