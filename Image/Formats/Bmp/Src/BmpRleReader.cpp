#include "BmpRleReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "ErrorSites.h"

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

std::uint8_t HighNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte >> kNibbleBits); }
std::uint8_t LowNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte & kLowNibbleMask); }

}  // namespace

CBmpRlePage::CBmpRlePage(Kes::CUnicodeString fileName, std::int32_t width, std::int32_t height, bool bottomUp)
    : m_fileName(std::move(fileName)), m_width(width), m_height(height), m_bottomUp(bottomUp) {
  if (width < 1 || height < 1) Kes::RaiseInternal(Sites::RleImageSize, std::min(width, height));
}

void CBmpRlePage::AddRow(const std::uint8_t* indices, std::int32_t count) {
  m_rows.Add({m_indices.GetCount(), count});
  m_indices.AppendBytes(indices, count);
}

std::int32_t CBmpRlePage::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  const auto wanted = static_cast<std::int32_t>(std::min<std::int64_t>(count, Remaining()));
  for (std::int32_t done = 0; done < wanted;) {
    const auto row = static_cast<std::int32_t>(m_position / m_width);
    const auto column = static_cast<std::int32_t>(m_position % m_width);
    const std::int32_t piece = std::min(wanted - done, m_width - column);
    const CStoredRow& stored = m_rows.Data()[m_bottomUp ? m_height - 1 - row : row];
    const std::int32_t kept = std::clamp(stored.count - column, 0, piece);
    std::memcpy(buffer + done, m_indices.Data() + stored.offset + column, static_cast<std::size_t>(kept));
    std::memset(buffer + done + kept, 0, static_cast<std::size_t>(piece - kept));
    done += piece;
    m_position += piece;
  }
  return wanted;
}

std::int32_t CBmpRlePage::Skip(std::int32_t count) {
  CheckSkipArgument(count);
  const auto skipped = static_cast<std::int32_t>(std::min<std::int64_t>(count, Remaining()));
  m_position += skipped;
  return skipped;
}

CBmpRleReader::CBmpRleReader(CReadStreamPtr source, const Kes::CPtr<CBmpImageInfo>& info)
    : m_source(std::move(source)) {
  if (!m_source) Kes::RaiseInternal(Sites::RleNoSource);
  if (!info) Kes::RaiseInternal(Sites::RleNoInfo);
  const TBmpPixelFormat format = info->GetPixelFormat();
  if (format != BPF_Rle4 && format != BPF_Rle8) Kes::RaiseInternal(Sites::RlePixelFormat, format);
  m_rle4 = format == BPF_Rle4;
  m_width = info->GetWidth();
  m_height = info->GetHeight();
  m_page = Kes::MakeFastObject<CBmpRlePage>(m_source->GetFileName(), m_width, m_height, info->IsBottomUp());
  m_row.SetCount(m_width);
  std::fill(m_row.begin(), m_row.end(), std::uint8_t{0});
}

Kes::CFastPtr<CBmpRlePage> CBmpRleReader::ReadPage() {
  // Every pass consumes at least one code or ends, so the work is bounded by
  // the stream's length plus the image's height.
  while (m_y < m_height && DecodeCode() == TNext::NextCode) {
  }
  MoveTo(0, m_height);
  return m_page;
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
  m_written = m_x;
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
  m_written = m_x;
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

// Within a row the column only moves right, so the pixels it passes are
// still index 0.
void CBmpRleReader::MoveTo(std::int32_t toX, std::int32_t toY) {
  const std::int32_t toRow = std::min(toY, m_height);
  while (m_y < toRow) WriteRow();
  if (m_y == m_height) return;
  m_x = std::clamp(toX, m_x, m_width);
}

void CBmpRleReader::WriteRow() {
  std::uint8_t* const indices = m_row.Data();
  std::int32_t kept = m_written;
  while (kept > 0 && indices[kept - 1] == 0) --kept;
  m_page->AddRow(indices, kept);
  std::fill(indices, indices + m_written, std::uint8_t{0});
  m_written = 0;
  ++m_y;
  m_x = 0;
}

}  // namespace Image
