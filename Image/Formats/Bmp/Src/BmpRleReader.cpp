#include "BmpRleReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "ErrorSites.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"

namespace Image {
namespace {

// A code is two bytes. A first byte of 0 is an escape, named by the second;
// escapes from kFirstAbsoluteRun on are absolute runs of that many pixels.
constexpr std::int32_t kCodeBytes = 2;
constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;
constexpr std::int32_t kDeltaBytes = 2;
constexpr std::int32_t kMaxRunPixels = 255;
// An absolute run's data are padded to a whole number of 16-bit words.
constexpr std::int32_t kAbsoluteRunAlignment = 2;
constexpr std::int32_t kRle4PixelsPerByte = 2;
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kLowNibbleMask = 0x0F;

constexpr std::uint8_t kMaxDarkness = 255;
// What the host's blank images are asked for; the host decides what it means.
constexpr std::int32_t kHostRowAlignment = 4;
// Stroke positions are int16: no stroke row may be wider.
constexpr std::int32_t kMaxStrokeRowWidth = std::numeric_limits<std::int16_t>::max();

std::uint8_t HighNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte >> kNibbleBits); }
std::uint8_t LowNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte & kLowNibbleMask); }

template <class TWriter>
Kes::CPtr<TWriter> WriterOf(const Kes::CPtr<IImage>& image) {
  if (!image) Kes::RaiseInternal(Sites::RleNoImage);
  return Kes::CastOrRaise<TWriter>(image->GetWriter());
}

}  // namespace

CBmpRleReader::CBmpRleReader(CReadStreamPtr source, const Kes::CPtr<CBmpImageInfo>& info)
    : m_source(std::move(source)) {
  if (!m_source) Kes::RaiseInternal(Sites::RleNoSource);
  if (!info) Kes::RaiseInternal(Sites::RleNoInfo);
  const TBmpPixelFormat format = info->GetPixelFormat();
  if (format != BPF_Rle4 && format != BPF_Rle8) Kes::RaiseInternal(Sites::RlePixelFormat, format);
  m_rle4 = format == BPF_Rle4;
  m_bottomUp = info->IsBottomUp();
  m_width = info->GetWidth();
  m_height = info->GetHeight();
  const Kes::CPtr<IRGBColorMap> map = info->GetColorMap();
  m_kind = map->IsBlackAndWhite() ? TOutputKind::BlackAndWhite
           : map->IsGray()        ? TOutputKind::Gray
                                  : TOutputKind::Rgb;
  if (m_kind == TOutputKind::BlackAndWhite && m_width > kMaxStrokeRowWidth) {
    Kes::RaiseInternal(Sites::RleStrokeRowWidth, m_width);
  }
  BuildColorTables(*map);
  CreateImage(info);
  m_row.SetCount(m_width);
}

void CBmpRleReader::BuildColorTables(const IRGBColorMap& map) {
  // Indices past the map's real entries read as black, as on uncompressed pages.
  m_darkness.fill(kMaxDarkness);
  m_black.fill(true);
  const std::int32_t real = std::clamp(map.GetSize(), 0, kPaletteIndexCount);
  for (std::int32_t i = 0; i < real; ++i) {
    const CRGBColor color = map.GetColor(i);
    m_colors[i] = color;
    m_darkness[i] = static_cast<std::uint8_t>(kMaxDarkness - color.red);
    m_black[i] = color.red == 0;
  }
}

void CBmpRleReader::CreateImage(const Kes::CPtr<CBmpImageInfo>& info) {
  const auto services = Kes::CreateObject<IImageServices>(u"Image.ImageServices");
  switch (m_kind) {
    case TOutputKind::BlackAndWhite:
      m_image = services->CreateBlankBWImage(info);
      m_strokeWriter = WriterOf<IRLEImageWriter>(m_image);
      return;
    case TOutputKind::Gray:
      m_image = services->CreateBlankGrayImage(info, kHostRowAlignment);
      m_grayWriter = WriterOf<IGrayImageWriter>(m_image);
      return;
    case TOutputKind::Rgb:
      m_image = services->CreateBlankRGBImage(info, kHostRowAlignment);
      m_rgbWriter = WriterOf<IRGBImageWriter>(m_image);
      return;
  }
}

Kes::CPtr<IImage> CBmpRleReader::ReadImage() {
  // Every pass consumes at least one code or ends, so the work is bounded by
  // the stream's length plus the image's size.
  while (m_y < m_height && DecodeCode() == TNext::NextCode) {
  }
  MoveTo(0, m_height);
  return m_image;
}

auto CBmpRleReader::DecodeCode() -> TNext {
  std::uint8_t code[kCodeBytes] = {};
  if (m_source->Read(code, kCodeBytes) < kCodeBytes) return TNext::FinishImage;
  const std::uint8_t count = code[0];
  const std::uint8_t value = code[1];
  if (count != kEscape) {
    EncodedRun(count, value);
    return TNext::NextCode;
  }
  switch (value) {
    case kEndOfLine:
      MoveTo(0, m_y + 1);
      return TNext::NextCode;
    case kEndOfBitmap:
      return TNext::FinishImage;
    case kDelta:
      return Delta();
    default:
      return AbsoluteRun(value);
  }
}

void CBmpRleReader::EncodedRun(std::int32_t count, std::uint8_t value) {
  // RLE8 repeats the value; RLE4 alternates its nibbles, high first. The
  // part of a run past the row's end is dropped.
  const std::uint8_t values[kRle4PixelsPerByte] = {m_rle4 ? HighNibble(value) : value,
                                                   m_rle4 ? LowNibble(value) : value};
  const std::int32_t pixels = std::min(count, RoomInRow());
  std::uint8_t* out = m_row.Data() + m_x;
  if (values[0] == values[1]) {
    std::memset(out, values[0], static_cast<std::size_t>(pixels));
  } else {
    for (std::int32_t i = 0; i < pixels; ++i) out[i] = values[i % kRle4PixelsPerByte];
  }
  m_x += pixels;
}

auto CBmpRleReader::AbsoluteRun(std::int32_t count) -> TNext {
  const std::int32_t bytes = m_rle4 ? (count + 1) / kRle4PixelsPerByte : count;
  // Bytes the source cannot deliver read as index 0, as the rest of a cut stream does.
  std::array<std::uint8_t, kMaxRunPixels> literal{};
  const std::int32_t delivered = m_source->Read(literal.data(), bytes);
  const std::int32_t pixels = std::min(count, RoomInRow());
  std::uint8_t* out = m_row.Data() + m_x;
  if (m_rle4) {
    for (std::int32_t i = 0; i < pixels; ++i) {
      const std::uint8_t byte = literal[static_cast<std::size_t>(i / kRle4PixelsPerByte)];
      out[i] = i % kRle4PixelsPerByte == 0 ? HighNibble(byte) : LowNibble(byte);
    }
  } else {
    std::memcpy(out, literal.data(), static_cast<std::size_t>(pixels));
  }
  m_x += pixels;
  if (delivered < bytes) return TNext::FinishImage;
  if (bytes % kAbsoluteRunAlignment == 0) return TNext::NextCode;
  std::uint8_t pad = 0;
  return m_source->Read(&pad, 1) == 1 ? TNext::NextCode : TNext::FinishImage;
}

auto CBmpRleReader::Delta() -> TNext {
  std::uint8_t offset[kDeltaBytes] = {};
  if (m_source->Read(offset, kDeltaBytes) < kDeltaBytes) return TNext::FinishImage;
  MoveTo(m_x + offset[0], m_y + offset[1]);
  return TNext::NextCode;
}

void CBmpRleReader::MoveTo(std::int32_t toX, std::int32_t toY) {
  const std::int32_t toRow = std::min(toY, m_height);
  while (m_y < toRow) {
    std::fill(m_row.begin() + m_x, m_row.end(), std::uint8_t{0});
    WriteRow();
  }
  if (m_y == m_height) return;
  const std::int32_t toColumn = std::clamp(toX, m_x, m_width);
  std::fill(m_row.begin() + m_x, m_row.begin() + toColumn, std::uint8_t{0});
  m_x = toColumn;
}

void CBmpRleReader::WriteRow() {
  const std::int32_t target = m_bottomUp ? m_height - 1 - m_y : m_y;
  const std::uint8_t* indices = m_row.Data();
  switch (m_kind) {
    case TOutputKind::Rgb: {
      CRGBColor* out = m_rgbWriter->GetRowBuffer(target);
      for (std::int32_t i = 0; i < m_width; ++i) out[i] = m_colors[indices[i]];
      m_rgbWriter->ReleaseRowBuffer(target);
      break;
    }
    case TOutputKind::Gray: {
      CGrayColor* out = m_grayWriter->GetRowBuffer(target);
      for (std::int32_t i = 0; i < m_width; ++i) out[i].value = m_darkness[indices[i]];
      m_grayWriter->ReleaseRowBuffer(target);
      break;
    }
    case TOutputKind::BlackAndWhite: {
      CRleStroke* out = m_strokeWriter->GetRowBuffer(target);
      m_strokeWriter->SetRowEnd(target, WriteStrokes(out));
      m_strokeWriter->ReleaseRowBuffer(target);
      break;
    }
  }
  ++m_y;
  m_x = 0;
}

// One stroke per maximal run of black pixels, then the end stroke: at most
// ceil(width / 2) + 1 strokes, the room the host gives a row.
CRleStroke* CBmpRleReader::WriteStrokes(CRleStroke* out) const {
  const std::uint8_t* indices = m_row.Data();
  for (std::int32_t x = 0; x < m_width;) {
    if (!m_black[indices[x]]) {
      ++x;
      continue;
    }
    const std::int32_t start = x;
    while (x < m_width && m_black[indices[x]]) ++x;
    *out++ = {static_cast<std::int16_t>(start), static_cast<std::int16_t>(x)};
  }
  *out++ = kEndStroke;
  return out;
}

}  // namespace Image
