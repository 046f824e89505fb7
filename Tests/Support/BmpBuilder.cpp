#include "Support/BmpBuilder.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include <unistd.h>

namespace BmpTest {
namespace {

constexpr int kBitsPerByte = 8;
constexpr int kMaxRunLength = 255;
constexpr int kMinAbsoluteRun = 3;  // 00 00, 00 01 and 00 02 are escapes
constexpr uint8_t kEscape = 0;
constexpr uint8_t kEscEndOfLine = 0;
constexpr uint8_t kEscEndOfBitmap = 1;
constexpr uint8_t kEscDelta = 2;
constexpr uint32_t kMaxNibble = 0xF;

[[noreturn]] void RaiseBadArgument(const std::string& what) {
  throw std::invalid_argument("BmpBuilder: " + what);
}

bool IsPackedDepth(int bitsPerPixel) {
  return bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4;
}

bool IsSupportedDepth(int bitsPerPixel) {
  return IsPackedDepth(bitsPerPixel) || bitsPerPixel == 8 || bitsPerPixel == 16 ||
         bitsPerPixel == 24 || bitsPerPixel == 32;
}

uint64_t MaxValue(int bitsPerPixel) {
  return (uint64_t{1} << bitsPerPixel) - 1;
}

void ValidateImage(const Pixels& image) {
  if (image.width < 0 || image.height < 0) RaiseBadArgument("negative image size");
  if (!IsSupportedDepth(image.bitsPerPixel)) RaiseBadArgument("unsupported bits per pixel");
  const uint64_t count = uint64_t(image.width) * uint64_t(image.height);
  if (image.values.size() != count) RaiseBadArgument("values.size() != width * height");
  for (uint32_t value : image.values) {
    if (value > MaxValue(image.bitsPerPixel)) RaiseBadArgument("pixel value too wide for its depth");
  }
}

void PlacePixel(std::vector<uint8_t>& row, int x, int bitsPerPixel, uint32_t value) {
  const std::size_t ux = std::size_t(x);
  if (IsPackedDepth(bitsPerPixel)) {
    const std::size_t bit = ux * std::size_t(bitsPerPixel);
    const int shift = kBitsPerByte - bitsPerPixel - int(bit % kBitsPerByte);
    row[bit / kBitsPerByte] = uint8_t(row[bit / kBitsPerByte] | (value << shift));
    return;
  }
  const std::size_t bytesPerPixel = std::size_t(bitsPerPixel / kBitsPerByte);
  for (std::size_t i = 0; i < bytesPerPixel; ++i) {
    row[ux * bytesPerPixel + i] = uint8_t(value >> (kBitsPerByte * i));
  }
}

std::vector<uint8_t> StoredRow(const Pixels& image, int y) {
  const std::size_t start = std::size_t(y) * std::size_t(image.width);
  return {image.values.begin() + std::ptrdiff_t(start),
          image.values.begin() + std::ptrdiff_t(start + std::size_t(image.width))};
}

int ImageRowOfStoredRow(int stored, int height, RowOrder order) {
  return order == RowOrder::BottomUp ? height - 1 - stored : stored;
}

int RunLength(const std::vector<uint8_t>& row, std::size_t x) {
  int length = 1;
  while (x + std::size_t(length) < row.size() && length < kMaxRunLength &&
         row[x + std::size_t(length)] == row[x]) {
    ++length;
  }
  return length;
}

// An RLE4 run alternates two nibbles; repeating one index needs it in both.
uint8_t RunValue(uint8_t index, RleDepth depth) {
  return depth == RleDepth::Rle4 ? uint8_t(index << 4 | index) : index;
}

void EncodeRow(RleStream& stream, const std::vector<uint8_t>& row, RleDepth depth) {
  std::size_t x = 0;
  while (x < row.size()) {
    const int run = RunLength(row, x);
    if (run >= 2) {
      stream.EncodedRun(uint8_t(run), RunValue(row[x], depth));
      x += std::size_t(run);
      continue;
    }
    std::size_t end = x;
    while (end < row.size() && end - x < std::size_t(kMaxRunLength) && RunLength(row, end) < 2) {
      ++end;
    }
    if (end - x >= std::size_t(kMinAbsoluteRun)) {
      stream.Absolute({row.begin() + std::ptrdiff_t(x), row.begin() + std::ptrdiff_t(end)}, depth);
    } else {
      for (std::size_t i = x; i < end; ++i) {
        stream.EncodedRun(1, RunValue(row[i], depth));
      }
    }
    x = end;
  }
}

}  // namespace

// --- Byte helpers --------------------------------------------------------------

void Append16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(uint8_t(value));
  bytes.push_back(uint8_t(value >> 8));
}

void Append32(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(uint8_t(value));
  bytes.push_back(uint8_t(value >> 8));
  bytes.push_back(uint8_t(value >> 16));
  bytes.push_back(uint8_t(value >> 24));
}

void Patch16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 2) RaiseBadArgument("Patch16 outside the data");
  bytes[offset] = uint8_t(value);
  bytes[offset + 1] = uint8_t(value >> 8);
}

void Patch32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) RaiseBadArgument("Patch32 outside the data");
  bytes[offset] = uint8_t(value);
  bytes[offset + 1] = uint8_t(value >> 8);
  bytes[offset + 2] = uint8_t(value >> 16);
  bytes[offset + 3] = uint8_t(value >> 24);
}

void Truncate(std::vector<uint8_t>& bytes, std::size_t size) {
  if (size > bytes.size()) RaiseBadArgument("Truncate beyond the end");
  bytes.resize(size);
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("BmpBuilder: cannot write " + path.string());
}

std::filesystem::path ScratchPath(const std::string& leaf) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("bmp-tests-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir / leaf;
}

// --- Information header ----------------------------------------------------------

namespace {

void AppendCoreHeader(std::vector<uint8_t>& bytes, const InfoHeader& header) {
  // Signed or unsigned 16-bit values are taken, so a test can write any field value.
  constexpr int32_t kMin = std::numeric_limits<int16_t>::min(), kMax = std::numeric_limits<uint16_t>::max();
  if (header.biWidth < kMin || header.biWidth > kMax || header.biHeight < kMin || header.biHeight > kMax) {
    RaiseBadArgument("core header width or height beyond 16 bits");
  }
  Append32(bytes, kCoreHeaderSize);
  Append16(bytes, uint16_t(header.biWidth));
  Append16(bytes, uint16_t(header.biHeight));
  Append16(bytes, header.biPlanes);
  Append16(bytes, header.biBitCount);
}

std::vector<uint8_t> V5Layout(const InfoHeader& header) {
  std::vector<uint8_t> bytes;
  Append32(bytes, header.biSize);
  Append32(bytes, uint32_t(header.biWidth));
  Append32(bytes, uint32_t(header.biHeight));
  Append16(bytes, header.biPlanes);
  Append16(bytes, header.biBitCount);
  Append32(bytes, header.biCompression);
  Append32(bytes, header.biSizeImage);
  Append32(bytes, uint32_t(header.biXPelsPerMeter));
  Append32(bytes, uint32_t(header.biYPelsPerMeter));
  Append32(bytes, header.biClrUsed);
  Append32(bytes, header.biClrImportant);
  Append32(bytes, header.redMask);
  Append32(bytes, header.greenMask);
  Append32(bytes, header.blueMask);
  Append32(bytes, header.alphaMask);
  Append32(bytes, header.csType);
  bytes.insert(bytes.end(), header.endpoints.begin(), header.endpoints.end());
  Append32(bytes, header.gammaRed);
  Append32(bytes, header.gammaGreen);
  Append32(bytes, header.gammaBlue);
  Append32(bytes, header.intent);
  Append32(bytes, header.profileData);
  Append32(bytes, header.profileSize);
  Append32(bytes, header.reserved);
  return bytes;
}

// How a header of some size is laid out and what follows it.
struct HeaderForm {
  bool core;                     // the 12-byte layout rather than the V5 one
  std::size_t v5Bytes;           // bytes of the V5 layout kept; zeros fill the rest
  std::size_t masksInside;       // masks the header itself holds (red, green, blue, alpha)
  std::size_t paletteEntryBytes;
};

// The two published sizes that break the V5 layout's pattern: the core
// header, and the OS/2 2.x header of 64 bytes, which holds no masks.
struct SpecialForm {
  uint32_t size;
  HeaderForm form;
};
constexpr SpecialForm kSpecialForms[] = {
    {kCoreHeaderSize, {true, 0, 0, 3}},
    {kOs2V2HeaderSize, {false, kInfoHeaderSize, 0, kPaletteEntrySize}},
};

HeaderForm FormOf(uint32_t size) {
  for (const SpecialForm& special : kSpecialForms) {
    if (special.size == size) return special.form;
  }
  const std::size_t masks = size >= kV3HeaderSize ? 4 : size >= kV2HeaderSize ? 3 : 0;
  return {false, std::min<std::size_t>(size, kV5HeaderSize), masks, kPaletteEntrySize};
}

}  // namespace

void AppendInfoHeader(std::vector<uint8_t>& bytes, const InfoHeader& header) {
  if (header.biSize > kMaxInfoHeaderSize) RaiseBadArgument("information header too long");
  const HeaderForm form = FormOf(header.biSize);
  if (form.core) {
    AppendCoreHeader(bytes, header);
    return;
  }
  const std::vector<uint8_t> layout = V5Layout(header);
  bytes.insert(bytes.end(), layout.begin(), layout.begin() + std::ptrdiff_t(form.v5Bytes));
  bytes.insert(bytes.end(), header.biSize - form.v5Bytes, 0);
}

// --- Pixel arrays ---------------------------------------------------------------

std::vector<uint8_t> PackPixels(const Pixels& image, RowOrder order, uint8_t padByte) {
  ValidateImage(image);
  const uint64_t rowBits = uint64_t(image.width) * uint64_t(image.bitsPerPixel);
  const uint64_t rowBytes = (rowBits + kBitsPerByte - 1) / kBitsPerByte;
  const uint64_t stride = (rowBytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;

  std::vector<uint8_t> bytes;
  bytes.reserve(std::size_t(stride * uint64_t(image.height)));
  for (int stored = 0; stored < image.height; ++stored) {
    const int y = ImageRowOfStoredRow(stored, image.height, order);
    std::vector<uint8_t> row(std::size_t(rowBytes), 0);
    for (int x = 0; x < image.width; ++x) {
      PlacePixel(row, x, image.bitsPerPixel, image.values[std::size_t(y) * std::size_t(image.width) + std::size_t(x)]);
    }
    row.resize(std::size_t(stride), padByte);
    bytes.insert(bytes.end(), row.begin(), row.end());
  }
  return bytes;
}

// --- Run-length code streams ---------------------------------------------------

RleStream& RleStream::EncodedRun(uint8_t count, uint8_t value) {
  if (count == 0) RaiseBadArgument("an encoded run of 0 is an escape");
  bytes_.push_back(count);
  bytes_.push_back(value);
  return *this;
}

RleStream& RleStream::Absolute(const std::vector<uint8_t>& pixels, RleDepth depth) {
  if (pixels.size() < std::size_t(kMinAbsoluteRun) || pixels.size() > std::size_t(kMaxRunLength)) {
    RaiseBadArgument("an absolute run holds 3 to 255 pixels");
  }
  bytes_.push_back(kEscape);
  bytes_.push_back(uint8_t(pixels.size()));
  std::size_t dataBytes = 0;
  switch (depth) {
    case RleDepth::Rle8:
      bytes_.insert(bytes_.end(), pixels.begin(), pixels.end());
      dataBytes = pixels.size();
      break;
    case RleDepth::Rle4:
      for (std::size_t i = 0; i < pixels.size(); i += 2) {
        const uint8_t high = pixels[i];
        const uint8_t low = i + 1 < pixels.size() ? pixels[i + 1] : 0;
        if (high > kMaxNibble || low > kMaxNibble) RaiseBadArgument("RLE4 index above 15");
        bytes_.push_back(uint8_t(high << 4 | low));
        ++dataBytes;
      }
      break;
  }
  if (dataBytes % 2 != 0) bytes_.push_back(0);
  return *this;
}

RleStream& RleStream::EndOfLine() {
  bytes_.push_back(kEscape);
  bytes_.push_back(kEscEndOfLine);
  return *this;
}

RleStream& RleStream::EndOfBitmap() {
  bytes_.push_back(kEscape);
  bytes_.push_back(kEscEndOfBitmap);
  return *this;
}

RleStream& RleStream::Delta(uint8_t dx, uint8_t dy) {
  bytes_.push_back(kEscape);
  bytes_.push_back(kEscDelta);
  bytes_.push_back(dx);
  bytes_.push_back(dy);
  return *this;
}

RleStream& RleStream::Raw(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<uint8_t> EncodeRle(const Pixels& image, RleDepth depth, RowOrder order) {
  ValidateImage(image);
  const uint32_t maxIndex = depth == RleDepth::Rle4 ? kMaxNibble : 0xFF;
  for (uint32_t value : image.values) {
    if (value > maxIndex) RaiseBadArgument("index too wide for the RLE depth");
  }
  RleStream stream;
  for (int stored = 0; stored < image.height; ++stored) {
    if (stored > 0) stream.EndOfLine();
    EncodeRow(stream, StoredRow(image, ImageRowOfStoredRow(stored, image.height, order)), depth);
  }
  stream.EndOfBitmap();
  return stream.Bytes();
}

// --- Whole files and DIBs --------------------------------------------------------

BmpBuilder& BmpBuilder::SetPixels(const Pixels& image) {
  ValidateImage(image);
  image_ = image;
  pixelData_.clear();
  header_.biWidth = image.width;
  header_.biHeight = topDown_ ? -image.height : image.height;
  header_.biBitCount = uint16_t(image.bitsPerPixel);
  return *this;
}

BmpBuilder& BmpBuilder::SetPixelData(std::vector<uint8_t> bytes) {
  image_.reset();
  pixelData_ = std::move(bytes);
  return *this;
}

BmpBuilder& BmpBuilder::SetRle(int32_t width, int32_t height, int bitCount, std::vector<uint8_t> codeStream) {
  if (bitCount != 4 && bitCount != 8) RaiseBadArgument("RLE bit count is 4 or 8");
  if (height < 0) RaiseBadArgument("RLE height is given positive; use SetTopDown");
  header_.biWidth = width;
  header_.biHeight = topDown_ ? -height : height;
  header_.biBitCount = uint16_t(bitCount);
  header_.biCompression = bitCount == 4 ? kBiRle4 : kBiRle8;
  return SetPixelData(std::move(codeStream));
}

BmpBuilder& BmpBuilder::SetTopDown(bool topDown) {
  topDown_ = topDown;
  if ((header_.biHeight < 0) == topDown) return *this;
  if (header_.biHeight == std::numeric_limits<int32_t>::min()) RaiseBadArgument("biHeight cannot change sign");
  header_.biHeight = -header_.biHeight;
  return *this;
}

BmpBuilder& BmpBuilder::SetInfoHeaderSize(uint32_t size) {
  if (size > kMaxInfoHeaderSize) RaiseBadArgument("information header too long");
  header_.biSize = size;
  return *this;
}

BmpBuilder& BmpBuilder::SetPalette(std::vector<Rgbq> palette) {
  palette_ = std::move(palette);
  return *this;
}

BmpBuilder& BmpBuilder::SetMasks(uint32_t red, uint32_t green, uint32_t blue) {
  header_.redMask = red;
  header_.greenMask = green;
  header_.blueMask = blue;
  maskCount_ = 3;
  return *this;
}

BmpBuilder& BmpBuilder::SetMasks(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
  SetMasks(red, green, blue);
  header_.alphaMask = alpha;
  maskCount_ = 4;
  return *this;
}

BmpBuilder& BmpBuilder::SetCompression(uint32_t compression) {
  header_.biCompression = compression;
  return *this;
}

BmpBuilder& BmpBuilder::SetResolution(int32_t xPpm, int32_t yPpm) {
  header_.biXPelsPerMeter = xPpm;
  header_.biYPelsPerMeter = yPpm;
  return *this;
}

BmpBuilder& BmpBuilder::SetClrUsed(uint32_t count) {
  header_.biClrUsed = count;
  return *this;
}

BmpBuilder& BmpBuilder::SetSizeImage(uint32_t size) {
  sizeImage_ = size;
  return *this;
}

BmpBuilder& BmpBuilder::SetRowPadByte(uint8_t padByte) {
  padByte_ = padByte;
  return *this;
}

BmpBuilder& BmpBuilder::SetGap(std::size_t count, uint8_t fill) {
  gap_.assign(count, fill);
  return *this;
}

BmpBuilder& BmpBuilder::SetOffBits(uint32_t offBits) {
  offBits_ = offBits;
  return *this;
}

std::vector<uint8_t> BmpBuilder::PixelBytes() const {
  if (!image_) return pixelData_;
  const RowOrder order = header_.biHeight < 0 ? RowOrder::TopDown : RowOrder::BottomUp;
  return PackPixels(*image_, order, padByte_);
}

std::vector<uint8_t> BmpBuilder::Tables(uint32_t pixelBytes) const {
  InfoHeader header = header_;
  header.biSizeImage = sizeImage_.value_or(pixelBytes);
  std::vector<uint8_t> bytes;
  AppendInfoHeader(bytes, header);
  const HeaderForm form = FormOf(header.biSize);
  const uint32_t masks[] = {header.redMask, header.greenMask, header.blueMask, header.alphaMask};
  for (std::size_t i = form.masksInside; i < maskCount_; ++i) Append32(bytes, masks[i]);
  for (const Rgbq& entry : palette_) {
    const uint8_t stored[] = {entry.b, entry.g, entry.r, entry.a};
    bytes.insert(bytes.end(), stored, stored + form.paletteEntryBytes);
  }
  bytes.insert(bytes.end(), gap_.begin(), gap_.end());
  return bytes;
}

namespace {

uint32_t CheckedFileSize(uint64_t size) {
  if (size > std::numeric_limits<uint32_t>::max()) RaiseBadArgument("file larger than 4 GiB");
  return uint32_t(size);
}

}  // namespace

std::vector<uint8_t> BmpBuilder::Build() const {
  const std::vector<uint8_t> pixels = PixelBytes();
  const std::vector<uint8_t> tables = Tables(CheckedFileSize(pixels.size()));
  const uint64_t pixelStart = uint64_t(kFileHeaderSize) + tables.size();
  std::vector<uint8_t> bytes;
  Append16(bytes, kBfTypeBm);
  Append32(bytes, CheckedFileSize(pixelStart + pixels.size()));
  Append16(bytes, 0);
  Append16(bytes, 0);
  Append32(bytes, offBits_.value_or(CheckedFileSize(pixelStart)));
  bytes.insert(bytes.end(), tables.begin(), tables.end());
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

std::vector<uint8_t> BmpBuilder::BuildDib() const {
  const std::vector<uint8_t> pixels = PixelBytes();
  std::vector<uint8_t> bytes = Tables(CheckedFileSize(pixels.size()));
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

}  // namespace BmpTest
