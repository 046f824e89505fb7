#include "BmpImageInfo.h"

#include <algorithm>
#include <array>
#include <climits>

#include "BmpFileLayout.h"
#include "CommonServices.h"
#include "ErrorSites.h"
#include "Kes/Array.h"
#include "Kes/ByteOrder.h"
#include "Kes/Factory.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

// Field offsets within the two header layouts.
constexpr std::size_t kWidthAt = 4, kHeightAt = 8, kBitCountAt = 14, kCompressionAt = 16, kXPpmAt = 24, kYPpmAt = 28,
                      kColorsUsedAt = 32;
constexpr std::size_t kCoreWidthAt = 4, kCoreHeightAt = 6, kCoreBitCountAt = 10;
constexpr std::int64_t kRle4Entries = 16, kRle8Entries = kMaxPaletteEntries;
constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;
constexpr std::uint32_t kRed555 = 0x7C00, kGreen555 = 0x03E0, kBlue555 = 0x001F;
constexpr std::uint32_t kRed888 = 0xFF0000, kGreen888 = 0x00FF00, kBlue888 = 0x0000FF;
// Pixels per metre for one dot per inch: 10000 / 254.
constexpr std::int64_t kTenThousandths = 10000, kInch = 254;

// floor(a / b) for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && (a < 0)); }

TBmpPixelFormat ChoosePixelFormat(std::uint32_t compression, std::uint16_t bitCount) {
  switch (compression) {
    case kBiRgb:
      switch (bitCount) {
        case 1: return BPF_Palette1;
        case 4: return BPF_Palette4;
        case 8: return BPF_Palette8;
        case 16: return BPF_Rgb16;
        case 24: return BPF_Rgb24;
        case 32: return BPF_Rgb32;
        default: return BPF_Unknown;
      }
    case kBiRle8: return BPF_Rle8;
    case kBiRle4: return BPF_Rle4;
    case kBiBitFields:
      if (bitCount == 16) return BPF_BitFields16;
      return bitCount == 32 ? BPF_BitFields32 : BPF_Unknown;
    case kBiJpeg: return BPF_Jpeg;
    case kBiPng: return BPF_Png;
    default: return BPF_Unknown;
  }
}

bool IsReadableHeaderSize(std::uint32_t size) { return size == kCoreHeaderSize || size >= kShortestInfoHeaderSize; }
// A core header has no compression, so nothing describes 16- or 32-bit pixels.
bool IsCoreBitCount(std::uint16_t bitCount) { return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24; }
bool IsOs2InfoHeader(std::uint32_t size) { return size < kInfoHeaderSize || size == kOs2InfoHeaderSize; }

const char16_t* CompressionName(std::uint32_t compression, std::uint32_t headerSize) {
  switch (compression) {
    case kBiRle8: return u" (RLE8)";
    case kBiRle4: return u" (RLE4)";
    case kBiBitFields: return IsOs2InfoHeader(headerSize) ? u" (Huffman 1-D)" : u" (bit fields)";
    case kBiJpeg: return IsOs2InfoHeader(headerSize) ? u" (RLE24)" : u" (JPEG)";
    case kBiPng: return u" (PNG)";
    default: return u"";
  }
}

}  // namespace

std::int32_t DpiFromPixelsPerMetre(std::int32_t pixelsPerMetre) {
  // floor(p * 254 / 10000 + 1/2), exactly.
  return static_cast<std::int32_t>(FloorDiv(2 * std::int64_t{pixelsPerMetre} * kInch + kTenThousandths, 2 * kTenThousandths));
}

std::int32_t PixelsPerMetreFromDpi(std::int64_t dpi) {
  if (dpi <= 0) return 0;
  if (dpi > INT32_MAX) dpi = INT32_MAX;
  // floor(dpi * 10000 / 254 + 1/2), exactly.
  const std::int64_t ppm = (2 * dpi * kTenThousandths + kInch) / (2 * kInch);
  return static_cast<std::int32_t>(std::min<std::int64_t>(ppm, INT32_MAX));
}

// The information header as stored; fields a header leaves out are 0.
struct CBmpImageInfo::CFields {
  std::int64_t headerStart = 0;
  std::int64_t length = 0;
  Kes::CUnicodeString name;
  std::uint32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::int32_t xPpm = 0;
  std::int32_t yPpm = 0;
  std::uint32_t colorsUsed = 0;
  // Where a core header's palette must end (bfOffBits); 0 when not known.
  std::int64_t paletteEnd = 0;

  bool IsCore() const { return size == kCoreHeaderSize; }
  std::int64_t EntryBytes() const { return IsCore() ? kCorePaletteEntryBytes : kPaletteEntryBytes; }
};

CBmpImageInfo::CBmpImageInfo()
    : m_colorMap(Kes::CreateObject<IRGBColorMap>(u"Image.RgbColorMap")),
      m_colorMask(Kes::CreateObject<IRGBColorMask>(u"Image.RgbColorMask")),
      m_metadata(CreateSourceFormatMetadata()) {}

CBmpImageInfo::~CBmpImageInfo() {
  m_metadata.Reset();
  m_colorMask.Reset();
  m_colorMap.Reset();
}

std::int32_t CBmpImageInfo::GetHeight() const { return m_height == INT32_MIN ? 0 : std::abs(m_height); }

// Reads the fields a header of its size holds, the 12-byte core layout or
// the 40-byte one (cut short or read through its first 40 bytes).
void CBmpImageInfo::ReadFields(Kes::CBaseFile& file, CFields& fields) {
  if (fields.headerStart >= fields.length) RaiseInvalidImageFile(fields.name);
  file.Seek(fields.headerStart, Kes::SeekBegin);
  fields.size = ReadDword(file);
  if (!IsReadableHeaderSize(fields.size)) RaiseUnsupportedImageFileFormat(fields.name, DescribeHeaderSize(fields.size));
  std::array<std::uint8_t, kInfoHeaderSize> raw{};
  const std::int64_t fieldBytes = std::min(fields.size, kInfoHeaderSize) - std::int64_t{sizeof fields.size};
  if (file.Read(raw.data() + sizeof fields.size, fieldBytes) != fieldBytes) RaiseInvalidImageFile(fields.name);
  const std::uint8_t* at = raw.data();
  if (!fields.IsCore()) {
    fields.width = static_cast<std::int32_t>(Kes::LoadLe32(at + kWidthAt));
    fields.height = static_cast<std::int32_t>(Kes::LoadLe32(at + kHeightAt));
    fields.bitCount = Kes::LoadLe16(at + kBitCountAt);
    fields.compression = Kes::LoadLe32(at + kCompressionAt);
    fields.xPpm = static_cast<std::int32_t>(Kes::LoadLe32(at + kXPpmAt));
    fields.yPpm = static_cast<std::int32_t>(Kes::LoadLe32(at + kYPpmAt));
    fields.colorsUsed = Kes::LoadLe32(at + kColorsUsedAt);
    return;
  }
  fields.width = Kes::LoadLe16(at + kCoreWidthAt);
  fields.height = Kes::LoadLe16(at + kCoreHeightAt);
  fields.bitCount = Kes::LoadLe16(at + kCoreBitCountAt);
  if (fields.headerStart == 0) return;  // a DIB has no pixel offset
  fields.paletteEnd = ReadPixelOffset(file);
}

std::int64_t CBmpImageInfo::LoadHeader(Kes::CBaseFile& file, bool hasFileHeader) {
  CFields fields;
  fields.name = file.GetFileName();
  fields.length = file.GetLength();
  fields.headerStart = hasFileHeader ? kFileHeaderSize : 0;
  ReadFields(file, fields);
  m_headerSize = fields.size;
  m_width = fields.width;
  m_height = fields.height;
  m_bitCount = fields.bitCount;
  m_compression = fields.compression;
  m_xResolution = DpiFromPixelsPerMetre(fields.xPpm);
  m_yResolution = DpiFromPixelsPerMetre(fields.yPpm);
  if (m_xResolution < 1 || m_yResolution < 1) m_xResolution = m_yResolution = 0;
  m_pixelFormat = fields.IsCore() && !IsCoreBitCount(fields.bitCount) ? BPF_Unknown
                                                                       : ChoosePixelFormat(fields.compression, fields.bitCount);
  switch (m_pixelFormat) {
    case BPF_Palette1:
    case BPF_Palette4:
    case BPF_Palette8:
    case BPF_Rle4:
    case BPF_Rle8:
      ReadPalette(file, fields);
      break;
    case BPF_Rgb16:
      m_colorMask->SetMasks(PixelSize16, kRed555, kGreen555, kBlue555);
      break;
    case BPF_Rgb32:
      m_colorMask->SetMasks(PixelSize32, kRed888, kGreen888, kBlue888);
      break;
    case BPF_BitFields16:
    case BPF_BitFields32:
      m_colorMask->SetMasks(m_pixelFormat == BPF_BitFields16 ? PixelSize16 : PixelSize32, 0, 0, 0);
      ReadMasks(file, fields);
      break;
    case BPF_Unknown:
    case BPF_Rgb24:
    case BPF_Jpeg:
    case BPF_Png:
      break;
  }
  return file.GetPosition();
}

void CBmpImageInfo::ReadPalette(Kes::CBaseFile& file, const CFields& fields) {
  const std::int64_t fullSize = std::int64_t{1} << (fields.bitCount % 32);
  std::int64_t entries = fields.colorsUsed != 0 && fields.colorsUsed < fullSize ? fields.colorsUsed : fullSize;
  std::int64_t declaredFullSize = fullSize;
  // A run-length code stream names at most 16 or 256 entries, whatever the bit count says.
  if (m_pixelFormat == BPF_Rle4 || m_pixelFormat == BPF_Rle8) {
    declaredFullSize = m_pixelFormat == BPF_Rle4 ? kRle4Entries : kRle8Entries;
    entries = std::min(entries, declaredFullSize);
  }
  const std::int64_t offset = fields.headerStart + std::int64_t{fields.size};
  // A core palette may stop short: only the entries that fit before the pixels count.
  if (fields.paletteEnd > offset) entries = std::min(entries, (fields.paletteEnd - offset) / fields.EntryBytes());
  if (entries == 0) RaiseInvalidImageFile(fields.name);
  const std::int64_t bytes = entries * fields.EntryBytes();
  // The file must hold the whole palette before anything is sized for it.
  if (offset >= fields.length || bytes > fields.length - offset) RaiseInvalidImageFile(fields.name);
  m_colorMap->SetSize(static_cast<std::int32_t>(entries));
  file.Seek(offset, Kes::SeekBegin);
  Kes::CArray<std::uint8_t> palette;
  palette.SetCount(static_cast<std::int32_t>(bytes));
  if (file.Read(palette.Data(), bytes) != bytes) RaiseInvalidImageFile(fields.name);
  for (std::int32_t i = 0; i < entries; ++i) {
    const std::uint8_t* entry = palette.Data() + std::int64_t{i} * fields.EntryBytes();
    m_colorMap->SetColor(i, CRGBColor{entry[0], entry[1], entry[2]});
  }
  m_colorMap->SetFullSize(declaredFullSize);
}

void CBmpImageInfo::ReadMasks(Kes::CBaseFile& file, const CFields& fields) {
  const std::int64_t afterHeader = fields.headerStart + std::int64_t{fields.size};
  if (afterHeader >= fields.length) RaiseInvalidImageFile(fields.name);
  const std::int64_t offset = fields.size >= kHeaderWithMasks ? fields.headerStart + kInfoHeaderSize : afterHeader;
  file.Seek(offset, Kes::SeekBegin);
  const std::uint32_t red = ReadDword(file);
  const std::uint32_t green = ReadDword(file);
  const std::uint32_t blue = ReadDword(file);
  const TPixelSize size = m_colorMask->GetPixelSize();
  if (red == kAllOnes || green == kAllOnes || blue == kAllOnes) {
    m_colorMask->SetMasks(size, kRed888, kGreen888, kBlue888);
    return;
  }
  m_colorMask->SetMasks(size, red, green, blue);
}

Kes::CUnicodeString CBmpImageInfo::DescribeHeaderSize(std::uint32_t size) {
  return Kes::Format(u"header size %d", size);
}

Kes::CUnicodeString CBmpImageInfo::DescribeForm() const {
  const int bitCount = m_bitCount;
  if (m_headerSize == kCoreHeaderSize) return Kes::Format(u"bit count %d in a 12-byte core header", bitCount);
  if (m_compression == kBiRgb) return Kes::Format(u"bit count %d", bitCount);
  return Kes::Format(u"compression %d%s, bit count %d", m_compression, CompressionName(m_compression, m_headerSize),
                     bitCount);
}

void CBmpImageInfo::SetResolution(std::int32_t x, std::int32_t y) {
  if (x < 1 || y < 1) Kes::RaiseInternal(Sites::InfoResolutionBelowOne, std::min(x, y));
  m_xResolution = x;
  m_yResolution = y;
}

std::int32_t CBmpImageInfo::GetBitsPerPixel(TBmpPixelFormat format) {
  switch (format) {
    case BPF_Palette1: return 1;
    case BPF_Palette4:
    case BPF_Rle4: return 4;
    case BPF_Palette8:
    case BPF_Rle8: return 8;
    case BPF_Rgb16:
    case BPF_BitFields16: return 16;
    case BPF_Rgb24: return 24;
    case BPF_Rgb32:
    case BPF_BitFields32: return 32;
    case BPF_Unknown:
    case BPF_Jpeg:
    case BPF_Png: return -1;
  }
  Kes::RaiseInternal(Sites::InfoPixelFormatNumber, format);
}

}  // namespace Image
