#include "CommonStreams.h"

#include <algorithm>
#include <cstring>
#include <utility>


#include "ErrorSites.h"
#include "Kes/ByteOrder.h"
#include "ModuleErrors.h"
#include "RowGeometry.h"
#include "RowKernels.h"

namespace Image {

CReadImageStream::~CReadImageStream() = default;
CWriteImageStream::~CWriteImageStream() = default;

void CheckReadArguments(const std::uint8_t* buffer, std::int32_t count) {
  if (!buffer) Kes::RaiseInternal(Sites::StreamNullBuffer);
  if (count < 0) Kes::RaiseInternal(Sites::StreamNegativeCount, count);
}

void CheckSkipArgument(std::int32_t count) {
  if (count < 0) Kes::RaiseInternal(Sites::StreamNegativeCount, count);
}

CReadImageFilter::CReadImageFilter(CReadStreamPtr source) : m_source(std::move(source)) {
  if (!m_source) Kes::RaiseInternal(Sites::StreamMissingSource);
}

void CReadImageFilter::Reset() { m_source->Reset(); }

Kes::CUnicodeString CReadImageFilter::GetFileName() const { return m_source->GetFileName(); }

CWriteImageFilter::CWriteImageFilter(CWriteStreamPtr next) : m_next(std::move(next)) {
  if (!m_next) Kes::RaiseInternal(Sites::StreamMissingSource);
}

void CWriteImageFilter::BeginImage() { m_next->BeginImage(); }
void CWriteImageFilter::EndImage() { m_next->EndImage(); }

// ---- read-side conversion streams ----

namespace {

constexpr std::int32_t kMaxPackedBitsPerPixel = 7;
constexpr std::int32_t kBitsPerByte = 8;
constexpr std::int32_t kBytesPerColor = 3;
constexpr std::uint8_t kGrayBlack = 255;
constexpr std::uint8_t kBWBlack = 0;
constexpr std::uint8_t kBWWhite = 1;
// One mask conversion covers a whole row of any file (at most 32512 pixels).
constexpr std::int32_t kMaskStepPixels = 32768;
// So that a skip in stored bytes stays within 32 bits.
constexpr std::int32_t kMaskSkipStepPixels = INT32_MAX / 4;

std::int64_t BytesHoldingBits(std::int64_t bits) { return (bits + kBitsPerByte - 1) / kBitsPerByte; }

const IRGBColorMap& CheckedMap(const Kes::CPtr<IRGBColorMap>& map) {
  if (!map) Kes::RaiseInternal(Sites::ColorMapMissing);
  return *map;
}

// A table of every index value: the map's real entries through convert, the
// rest as `missing` (black).
template <class T, class F>
void FillIndexTable(std::array<T, kPaletteIndexCount>& table, const IRGBColorMap& map, T missing, F convert) {
  table.fill(missing);
  const std::int32_t real = std::clamp(map.GetSize(), 0, kPaletteIndexCount);
  for (std::int32_t i = 0; i < real; ++i) table[static_cast<std::size_t>(i)] = convert(map.GetColor(i));
}

void CheckWholeColors(std::int32_t count) {
  if (count % kBytesPerColor != 0) Kes::RaiseInternal(Sites::ColorCountNotWhole, count);
}

// Reads up to `pixels` stored pixels into values (assembled in place from
// their file bytes) and converts the whole ones that came; returns their number.
template <class TValue, class F>
std::int32_t ConvertStoredPixels(CReadImageStream& source, Kes::CArray<TValue>& values, std::int32_t pixels,
                                 TValue (*assemble)(const std::uint8_t*), F convert) {
  constexpr std::int32_t kValueBytes = sizeof(TValue);
  if (values.GetCount() < pixels) values.SetCount(pixels);
  TValue* stored = values.Data();
  auto* bytes = reinterpret_cast<std::uint8_t*>(stored);
  const std::int32_t delivered = source.Read(bytes, pixels * kValueBytes);
  if (delivered % kValueBytes != 0) Kes::RaiseInternal(Sites::MaskedPixelCut, delivered);
  const std::int32_t count = delivered / kValueBytes;
  for (std::int32_t i = 0; i < count; ++i) stored[i] = assemble(bytes + i * kValueBytes);
  convert(stored, count);
  return count;
}

}  // namespace

CUnpackBitStream::CUnpackBitStream(CReadStreamPtr source, std::int32_t width, std::int32_t bitsPerPixel)
    : CReadImageFilter(std::move(source)), m_width(width), m_bitsPerPixel(bitsPerPixel) {
  if (bitsPerPixel < 1 || bitsPerPixel > kMaxPackedBitsPerPixel) {
    Kes::RaiseInternal(Sites::UnpackBitsPerPixel, bitsPerPixel);
  }
  if (width < 1) Kes::RaiseInternal(Sites::UnpackWidth, width);
  // At most 7 x INT32_MAX bits: the byte count fits in 32 bits.
  m_row.SetCount(static_cast<std::int32_t>(RowBytes(width, bitsPerPixel)));
}

void CUnpackBitStream::Reset() {
  CReadImageFilter::Reset();
  m_position = 0;
}

std::int64_t CUnpackBitStream::BitOffset(std::int32_t pixel) const { return std::int64_t{pixel} * m_bitsPerPixel; }

// A finished row's bytes are not carried over: the next row starts on a byte.
void CUnpackBitStream::StartRowAtRowEnd() {
  if (m_position == m_width) m_position = 0;
}

std::int32_t CUnpackBitStream::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  std::int32_t done = 0;
  while (done < count) {
    const std::int32_t step = ReadStep(buffer + done, count - done);
    if (step == 0) break;
    done += step;
  }
  return done;
}

std::int32_t CUnpackBitStream::ReadStep(std::uint8_t* out, std::int32_t wanted) {
  StartRowAtRowEnd();
  std::int32_t pixels = std::min(m_width - m_position, wanted);
  const std::int64_t firstBit = BitOffset(m_position);
  const auto loaded = static_cast<std::int32_t>(BytesHoldingBits(firstBit));
  const auto needed = static_cast<std::int32_t>(BytesHoldingBits(BitOffset(m_position + pixels)));
  if (needed > loaded) {
    const std::int32_t delivered = Source().Read(m_row.Data() + loaded, needed - loaded);
    if (delivered < needed - loaded) {
      const std::int64_t availableBits = std::int64_t{loaded + delivered} * kBitsPerByte - firstBit;
      pixels = static_cast<std::int32_t>(std::min<std::int64_t>(pixels, availableBits / m_bitsPerPixel));
    }
  }
  UnpackPixels(m_row.Data(), firstBit, m_bitsPerPixel, pixels, out);
  m_position += pixels;
  return pixels;
}

std::int32_t CUnpackBitStream::Skip(std::int32_t count) {
  CheckSkipArgument(count);
  StartRowAtRowEnd();
  const std::int32_t wholeRows = m_position == 0 ? count / m_width * m_width : 0;
  std::int32_t done = wholeRows > 0 ? SkipWholeRows(wholeRows) : 0;
  if (done < wholeRows) return done;  // the data ended
  while (done < count) {
    const std::int32_t step = SkipStep(count - done);
    if (step == 0) break;
    done += step;
  }
  return done;
}

// Whole rows (`pixels` a multiple of the width) from a row's start pass in one
// skip of the source, so that a skip costs the same however many rows it passes.
std::int32_t CUnpackBitStream::SkipWholeRows(std::int32_t pixels) {
  // A row has no more bytes than pixels, so the bytes fit as the pixels do.
  const std::int32_t rowBytes = m_row.GetCount();
  const std::int32_t bytes = pixels / m_width * rowBytes;
  const std::int32_t skipped = Source().Skip(bytes);
  if (skipped == bytes) return bytes / rowBytes * m_width;
  // The data ended inside a row: its pixels that the passed bytes touch are passed.
  const std::int64_t passedBits = std::int64_t{skipped % rowBytes} * kBitsPerByte;
  m_position = static_cast<std::int32_t>((passedBits + m_bitsPerPixel - 1) / m_bitsPerPixel);
  return skipped / rowBytes * m_width + m_position;
}

std::int32_t CUnpackBitStream::SkipStep(std::int32_t wanted) {
  StartRowAtRowEnd();
  std::int32_t pixels = std::min(m_width - m_position, wanted);
  const std::int64_t firstBit = BitOffset(m_position);
  const std::int64_t endBit = BitOffset(m_position + pixels);
  auto consumed = static_cast<std::int32_t>(BytesHoldingBits(firstBit));
  // Bytes before the one that holds the next pixel pass unread; a skip to the
  // row's end passes the rest of the row, as the next step starts a new one.
  const auto passEnd = static_cast<std::int32_t>(m_position + pixels == m_width ? m_row.GetCount()
                                                                                 : endBit / kBitsPerByte);
  if (passEnd > consumed) {
    const std::int32_t skipped = Source().Skip(passEnd - consumed);
    if (skipped < passEnd - consumed) {
      const std::int64_t passedBits = std::int64_t{consumed + skipped} * kBitsPerByte - firstBit;
      pixels = static_cast<std::int32_t>(
          std::min<std::int64_t>(pixels, (passedBits + m_bitsPerPixel - 1) / m_bitsPerPixel));
    }
    consumed += skipped;
  }
  m_position += pixels;
  const std::int64_t nextBit = BitOffset(m_position);
  const bool nextPixelInUnreadByte =
      m_position < m_width && nextBit % kBitsPerByte != 0 && nextBit / kBitsPerByte >= consumed;
  if (nextPixelInUnreadByte && Source().Read(m_row.Data() + nextBit / kBitsPerByte, 1) != 1) {
    RaiseInvalidImageFile(GetFileName());
  }
  return pixels;
}

CColorMapToRGB::CColorMapToRGB(CReadStreamPtr source, const Kes::CPtr<IRGBColorMap>& map)
    : CReadImageFilter(std::move(source)) {
  FillIndexTable(m_colors, CheckedMap(map), CPaddedColor{},
                 [](CRGBColor color) { return CPaddedColor{color.blue, color.green, color.red, 0}; });
}

std::int32_t CColorMapToRGB::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  CheckWholeColors(count);
  const std::int32_t pixels = count / kBytesPerColor;
  // The indices land in the last third of the caller's buffer; expanding them
  // front to back never overwrites an index that is still to be read.
  const std::uint8_t* indices = buffer + 2 * pixels;
  const std::int32_t delivered = Source().Read(buffer + 2 * pixels, pixels);
  StorePaddedColors(m_colors.data(), indices, delivered, buffer);
  return kBytesPerColor * delivered;
}

std::int32_t CColorMapToRGB::Skip(std::int32_t count) {
  CheckSkipArgument(count);
  CheckWholeColors(count);
  return kBytesPerColor * Source().Skip(count / kBytesPerColor);
}

CColorMapToByte::CColorMapToByte(CReadStreamPtr source) : CReadImageFilter(std::move(source)) {}

std::int32_t CColorMapToByte::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  const std::int32_t delivered = Source().Read(buffer, count);
  if (m_complement) {
    for (std::int32_t i = 0; i < delivered; ++i) buffer[i] = static_cast<std::uint8_t>(kGrayBlack - buffer[i]);
  } else {
    LookUp(m_table.data(), buffer, delivered);
  }
  return delivered;
}

std::int32_t CColorMapToByte::Skip(std::int32_t count) {
  CheckSkipArgument(count);
  return Source().Skip(count);
}

// Only the red byte counts: the map has already said that red = green = blue.
CColorMapToGray::CColorMapToGray(CReadStreamPtr source, const Kes::CPtr<IRGBColorMap>& map)
    : CColorMapToByte(std::move(source)) {
  const IRGBColorMap& colors = CheckedMap(map);
  if (!colors.IsGray()) Kes::RaiseInternal(Sites::ColorMapNotGray);
  FillIndexTable(m_table, colors, kGrayBlack,
                 [](CRGBColor color) { return static_cast<std::uint8_t>(kGrayBlack - color.red); });
  // The usual ramp (entry i is gray level i) needs no table: a loop the compiler vectorises.
  m_complement = true;
  for (std::size_t i = 0; i < m_table.size(); ++i) m_complement = m_complement && m_table[i] == kGrayBlack - i;
}

CColorMapToBW::CColorMapToBW(CReadStreamPtr source, const Kes::CPtr<IRGBColorMap>& map)
    : CColorMapToByte(std::move(source)) {
  const IRGBColorMap& colors = CheckedMap(map);
  if (!colors.IsBlackAndWhite()) Kes::RaiseInternal(Sites::ColorMapNotBlackAndWhite);
  FillIndexTable(m_table, colors, kBWBlack, [](CRGBColor color) { return color.red == 0 ? kBWBlack : kBWWhite; });
}

CColorMaskToRGB::CColorMaskToRGB(CReadStreamPtr source, const Kes::CPtr<IRGBColorMask>& mask)
    : CReadImageFilter(std::move(source)), m_mask(mask), m_pixelBytes(0) {
  if (!m_mask) Kes::RaiseInternal(Sites::ColorMaskMissing);
  const TPixelSize size = m_mask->GetPixelSize();
  switch (size) {
    case PixelSize16:
      m_pixelBytes = sizeof(std::uint16_t);
      return;
    case PixelSize32:
      m_pixelBytes = sizeof(std::uint32_t);
      return;
    case PixelSizeNone:
      break;
  }
  Kes::RaiseInternal(Sites::ColorMaskPixelSize, size);
}

std::int32_t CColorMaskToRGB::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  CheckWholeColors(count);
  const std::int32_t pixels = count / kBytesPerColor;
  std::int32_t done = 0;
  while (done < pixels) {
    const std::int32_t step = std::min(pixels - done, kMaskStepPixels);
    const std::int32_t converted = ConvertStep(buffer + kBytesPerColor * done, step);
    done += converted;
    if (converted < step) break;
  }
  return kBytesPerColor * done;
}

std::int32_t CColorMaskToRGB::ConvertStep(std::uint8_t* out, std::int32_t pixels) {
  // The host writes whole colours; out is a run of them.
  auto* colors = reinterpret_cast<CRGBColor*>(out);
  if (m_pixelBytes == sizeof(std::uint16_t)) {
    return ConvertStoredPixels(Source(), m_values16, pixels, Kes::LoadLe16,
                               [&](const std::uint16_t* values, std::int32_t n) {
                                 m_mask->ConvertPixels16(values, colors, n);
                               });
  }
  return ConvertStoredPixels(Source(), m_values32, pixels, Kes::LoadLe32,
                             [&](const std::uint32_t* values, std::int32_t n) {
                               m_mask->ConvertPixels32(values, colors, n);
                             });
}

std::int32_t CColorMaskToRGB::Skip(std::int32_t count) {
  CheckSkipArgument(count);
  CheckWholeColors(count);
  const std::int32_t pixels = count / kBytesPerColor;
  std::int32_t done = 0;
  while (done < pixels) {
    const std::int32_t step = std::min(pixels - done, kMaskSkipStepPixels);
    const std::int32_t skipped = Source().Skip(step * m_pixelBytes);
    if (skipped % m_pixelBytes != 0) Kes::RaiseInternal(Sites::MaskedPixelCut, skipped);
    done += skipped / m_pixelBytes;
    if (skipped < step * m_pixelBytes) break;
  }
  return kBytesPerColor * done;
}

CFileReadStream::CFileReadStream(const Kes::CPtr<IFileSource>& source, std::int64_t start, std::int64_t length)
    : m_start(start) {
  if (!source) Kes::RaiseInternal(Sites::FileRegionNoSource);
  if (start < 0) Kes::RaiseInternal(Sites::FileRegionNegativeStart, start);
  m_fileName = source->GetFileName();
  m_file = source->OpenFile();
  if (!m_file) Kes::RaiseInternal(Sites::FileRegionNoFile);
  m_limit = std::min(length, m_file->GetLength() - start);
  Rewind();
  if (m_limit < 0) Kes::RaiseInternal(Sites::FileRegionNegativeLength, m_limit);
}

void CFileReadStream::Reset() { Rewind(); }

Kes::CUnicodeString CFileReadStream::GetFileName() const { return m_fileName; }

void CFileReadStream::Rewind() {
  if (m_start >= m_file->GetLength()) RaiseInvalidImageFile(m_fileName);
  m_position = 0;
  m_filled = 0;
  m_next = 0;
}

std::int32_t CFileReadStream::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  std::int32_t done = 0;
  while (done < count && m_position < m_limit) {
    if (Unread() == 0) {
      Refill();
      if (m_filled == 0) break;  // the file ended early: it changed under the stream
    }
    const auto piece =
        static_cast<std::int32_t>(std::min<std::int64_t>({count - done, Unread(), m_limit - m_position}));
    std::memcpy(buffer + done, m_buffer.Data() + m_next, static_cast<std::size_t>(piece));
    done += piece;
    m_next += piece;
    m_position += piece;
  }
  return done;
}

std::int32_t CFileReadStream::Skip(std::int32_t count) {
  CheckSkipArgument(count);
  const auto skipped = static_cast<std::int32_t>(std::min<std::int64_t>(count, m_limit - m_position));
  m_position += skipped;
  if (skipped <= Unread()) {
    m_next += skipped;
    return skipped;
  }
  // The region's end is a legal target; only a file that shrank puts one past the end.
  if (m_start + m_position > m_file->GetLength()) RaiseInvalidImageFile(m_fileName);
  m_filled = 0;
  m_next = 0;
  return skipped;
}

// Reads the next chunk of the region from its own place in the file, so a
// failed refill leaves nothing behind that a later read could take for data.
void CFileReadStream::Refill() {
  m_filled = 0;
  m_next = 0;
  const auto chunk = static_cast<std::int32_t>(std::min(m_limit - m_position, kChainBlockBytes));
  if (m_buffer.GetCount() < chunk) m_buffer.SetCount(chunk);
  m_file->Seek(m_start + m_position, Kes::SeekBegin);
  m_filled = static_cast<std::int32_t>(m_file->Read(m_buffer.Data(), chunk));
}

// ---- end of read-side conversion streams ----

// ---- write-side filters ----
namespace {

// The s most significant bits, and the bits after bit e.
constexpr std::uint8_t LeadingBits(std::int32_t s) { return static_cast<std::uint8_t>((0xFF << (8 - s)) & 0xFF); }
constexpr std::uint8_t TrailingBits(std::int32_t e) { return static_cast<std::uint8_t>(0xFF >> (e + 1)); }
constexpr std::uint8_t kAllWhite = 0xFF;

}  // namespace

CRLEStrokeToBits::CRLEStrokeToBits(CWriteStreamPtr next, std::int32_t width)
    : CWriteImageFilter(std::move(next)), m_width(width) {
  if (width < 1) Kes::RaiseInternal(Sites::StrokeWidth, width);
  m_row.SetCount(static_cast<std::int32_t>(RowBytes(width, /*bitsPerPixel=*/1)));
}

void CRLEStrokeToBits::Write(const void* data, std::int32_t byteCount) {
  if (!data) Kes::RaiseInternal(Sites::StrokeNullList);
  const auto* strokes = static_cast<const CRleStroke*>(data);
  const std::int64_t given = std::max<std::int32_t>(byteCount, 0) / std::int64_t{sizeof(CRleStroke)};
  std::uint8_t* row = m_row.Data();
  std::fill(m_row.begin(), m_row.end(), kAllWhite);
  std::int32_t previousEnd = 0;
  for (std::int64_t i = 0; i < given && !IsEndStroke(strokes[i]); ++i) {
    const std::int32_t start = strokes[i].start;
    const std::int32_t end = strokes[i].end;
    // Strokes come in order, inside the row, without overlapping.
    if (start < previousEnd || end <= start || end > m_width) Kes::RaiseInternal(Sites::StrokeOutOfOrder, start);
    previousEnd = end;
    const std::int32_t first = start / 8, last = (end - 1) / 8;
    const std::int32_t startBit = start % 8, endBit = (end - 1) % 8;
    if (first == last) {
      row[first] &= static_cast<std::uint8_t>(LeadingBits(startBit) | TrailingBits(endBit));
      continue;
    }
    row[first] &= LeadingBits(startBit);
    std::fill(row + first + 1, row + last, std::uint8_t{0});
    row[last] = TrailingBits(endBit);
  }
  Next().Write(row, m_row.GetCount());
}
// ---- end of write-side filters ----

}  // namespace Image
