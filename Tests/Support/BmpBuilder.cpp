#include "Support/BmpBuilder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include <unistd.h>

namespace BmpTest {
namespace {

constexpr int kBitsPerByte = 8;
constexpr std::size_t kRowAlignment = 4;
constexpr std::size_t kMaxRunLength = 255;
constexpr std::size_t kMinAbsoluteRun = 3;  // 00 00, 00 01 and 00 02 are escapes
constexpr uint8_t kEscape = 0;
constexpr uint8_t kEscEndOfLine = 0;
constexpr uint8_t kEscEndOfBitmap = 1;
constexpr uint8_t kEscDelta = 2;
constexpr std::size_t kFirstMask = 40;  // red, green, blue, alpha follow at 4-byte steps

// Writes size little-endian bytes of value at offset; the caller makes room.
void Put(std::vector<uint8_t>& bytes, std::size_t offset, std::size_t size, uint32_t value) {
  if (offset > bytes.size() || bytes.size() - offset < size) throw std::invalid_argument("BmpBuilder: field outside the data");
  for (std::size_t i = 0; i < size; ++i) bytes[offset + i] = uint8_t(value >> (kBitsPerByte * i));
}

void Append32(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.resize(bytes.size() + 4);
  Put(bytes, bytes.size() - 4, 4, value);
}

int ImageRowOfStoredRow(int stored, int height, bool topDown) { return topDown ? stored : height - 1 - stored; }

// Rows in the given order, packed high bits first below 8 bpp, little-endian
// words above, each padded to a multiple of 4 with padByte.
std::vector<uint8_t> PackPixels(const Pixels& image, bool topDown, uint8_t padByte) {
  if (image.values.size() != std::size_t(image.width) * std::size_t(image.height)) {
    throw std::invalid_argument("BmpBuilder: values.size() != width * height");
  }
  const std::size_t bits = std::size_t(image.bitsPerPixel);
  const std::size_t rowBytes = (std::size_t(image.width) * bits + kBitsPerByte - 1) / kBitsPerByte;
  const std::size_t stride = (rowBytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  std::vector<uint8_t> bytes;
  for (int stored = 0; stored < image.height; ++stored) {
    const std::size_t y = std::size_t(ImageRowOfStoredRow(stored, image.height, topDown));
    std::vector<uint8_t> row(rowBytes, 0);
    for (std::size_t x = 0; x < std::size_t(image.width); ++x) {
      const uint32_t value = image.values[y * std::size_t(image.width) + x];
      if (bits < kBitsPerByte) {
        const std::size_t bit = x * bits;
        row[bit / kBitsPerByte] = uint8_t(row[bit / kBitsPerByte] | value << (kBitsPerByte - bits - bit % kBitsPerByte));
      } else {
        Put(row, x * bits / kBitsPerByte, bits / kBitsPerByte, value);
      }
    }
    row.resize(stride, padByte);
    bytes.insert(bytes.end(), row.begin(), row.end());
  }
  return bytes;
}

std::size_t RunLength(const std::vector<uint8_t>& row, std::size_t x) {
  std::size_t length = 1;
  while (x + length < row.size() && length < kMaxRunLength && row[x + length] == row[x]) ++length;
  return length;
}

// An RLE4 run alternates two nibbles; repeating one index needs it in both.
uint8_t RunValue(uint8_t index, RleDepth depth) {
  return depth == RleDepth::Rle4 ? uint8_t(index << 4 | index) : index;
}

void EncodeRow(RleStream& stream, const std::vector<uint8_t>& row, RleDepth depth) {
  std::size_t x = 0;
  while (x < row.size()) {
    const std::size_t run = RunLength(row, x);
    if (run >= 2) {
      stream.EncodedRun(uint8_t(run), RunValue(row[x], depth));
      x += run;
      continue;
    }
    std::size_t end = x;
    while (end < row.size() && end - x < kMaxRunLength && RunLength(row, end) < 2) ++end;
    if (end - x >= kMinAbsoluteRun) {
      stream.Absolute({row.begin() + std::ptrdiff_t(x), row.begin() + std::ptrdiff_t(end)}, depth);
    } else {
      for (std::size_t i = x; i < end; ++i) stream.EncodedRun(1, RunValue(row[i], depth));
    }
    x = end;
  }
}

}  // namespace

void Patch32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) { Put(bytes, offset, 4, value); }

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("BmpBuilder: cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path ScratchPath(const std::string& leaf) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("bmp-tests-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir / leaf;
}

// --- Run-length code streams ---------------------------------------------------

RleStream& RleStream::EncodedRun(uint8_t count, uint8_t value) { return Raw({count, value}); }

RleStream& RleStream::Absolute(const std::vector<uint8_t>& pixels, RleDepth depth) {
  Raw({kEscape, uint8_t(pixels.size())});
  const std::size_t start = bytes_.size();
  if (depth == RleDepth::Rle8) {
    Raw(pixels);
  } else {
    for (std::size_t i = 0; i < pixels.size(); i += 2) {
      bytes_.push_back(uint8_t(pixels[i] << 4 | (i + 1 < pixels.size() ? pixels[i + 1] : 0)));
    }
  }
  if ((bytes_.size() - start) % 2 != 0) bytes_.push_back(0);
  return *this;
}

RleStream& RleStream::EndOfLine() { return Raw({kEscape, kEscEndOfLine}); }
RleStream& RleStream::EndOfBitmap() { return Raw({kEscape, kEscEndOfBitmap}); }
RleStream& RleStream::Delta(uint8_t dx, uint8_t dy) { return Raw({kEscape, kEscDelta, dx, dy}); }

RleStream& RleStream::Raw(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<uint8_t> EncodeRle(const Pixels& image, RleDepth depth) {
  RleStream stream;
  for (int stored = 0; stored < image.height; ++stored) {
    if (stored > 0) stream.EndOfLine();
    const auto start = image.values.begin() + std::ptrdiff_t(ImageRowOfStoredRow(stored, image.height, false) * image.width);
    EncodeRow(stream, std::vector<uint8_t>(start, start + image.width), depth);
  }
  stream.EndOfBitmap();
  return stream.Bytes();
}

// --- Whole files and DIBs --------------------------------------------------------

BmpBuilder& BmpBuilder::SetPixels(const Pixels& image) {
  image_ = image;
  width_ = image.width;
  height_ = image.height;
  bitCount_ = uint16_t(image.bitsPerPixel);
  return *this;
}

BmpBuilder& BmpBuilder::SetRle(int32_t width, int32_t height, int bitCount, std::vector<uint8_t> codeStream) {
  image_.reset();
  pixelData_ = std::move(codeStream);
  width_ = width;
  height_ = height;
  bitCount_ = uint16_t(bitCount);
  compression_ = bitCount == 4 ? kBiRle4 : kBiRle8;
  return *this;
}

std::vector<uint8_t> BmpBuilder::PixelBytes() const {
  if (!image_) return pixelData_;
  return PackPixels(*image_, topDown_, padByte_);
}

std::vector<uint8_t> BmpBuilder::Tables(uint32_t pixelBytes) const {
  struct Field {
    std::size_t offset, size;
    uint32_t value;
  };
  const uint32_t height = uint32_t(topDown_ ? -height_ : height_);
  const bool core = headerSize_ == kCoreHeaderSize;
  std::vector<Field> fields;
  if (core) {
    fields = {{0, 4, kCoreHeaderSize}, {4, 2, uint32_t(width_)}, {6, 2, height}, {8, 2, 1}, {10, 2, bitCount_}};
  } else {
    fields = {{kHdrBiSize, 4, headerSize_}, {kHdrBiWidth, 4, uint32_t(width_)}, {kHdrBiHeight, 4, height},
              {12, 2, 1}, {kHdrBiBitCount, 2, bitCount_}, {kHdrBiCompression, 4, compression_},
              {20, 4, pixelBytes}, {24, 4, uint32_t(ppm_.first)}, {28, 4, uint32_t(ppm_.second)}, {kHdrBiClrUsed, 4, clrUsed_}};
    for (std::size_t i = 0; i < masks_.size(); ++i) fields.push_back({kFirstMask + 4 * i, 4, masks_[i]});
  }
  std::vector<uint8_t> bytes(std::max<std::size_t>(headerSize_, kV5HeaderSize), 0);
  for (const Field& field : fields) Put(bytes, field.offset, field.size, field.value);
  // The 64-byte header holds the 40-byte layout then zeros, never masks.
  if (headerSize_ == kOs2V2HeaderSize) std::fill(bytes.begin() + kInfoHeaderSize, bytes.end(), 0);
  bytes.resize(headerSize_);

  const std::size_t masksInside =
      core || headerSize_ == kOs2V2HeaderSize ? 0 : headerSize_ >= kV3HeaderSize ? 4 : headerSize_ >= kV2HeaderSize ? 3 : 0;
  for (std::size_t i = masksInside; i < masks_.size(); ++i) Append32(bytes, masks_[i]);
  for (const Rgbq& entry : palette_) {
    const uint8_t stored[] = {entry.b, entry.g, entry.r, entry.a};
    bytes.insert(bytes.end(), stored, stored + (core ? 3 : 4));
  }
  return bytes;
}

std::vector<uint8_t> BmpBuilder::Build() const {
  const std::vector<uint8_t> pixels = PixelBytes();
  const std::vector<uint8_t> tables = Tables(uint32_t(pixels.size()));
  const uint32_t pixelStart = uint32_t(kFileHeaderSize + tables.size());
  std::vector<uint8_t> bytes = {'B', 'M'};
  Append32(bytes, pixelStart + uint32_t(pixels.size()));
  Append32(bytes, 0);  // two reserved words
  Append32(bytes, pixelStart);
  bytes.insert(bytes.end(), tables.begin(), tables.end());
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

std::vector<uint8_t> BmpBuilder::BuildDib() const {
  const std::vector<uint8_t> pixels = PixelBytes();
  std::vector<uint8_t> bytes = Tables(uint32_t(pixels.size()));
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

}  // namespace BmpTest
