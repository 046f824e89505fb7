#include "BmpRleReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "ErrorSites.h"

namespace Image {
namespace {

// A code is two bytes. A first byte of 0 is an escape, named by the second;
// escapes past kDelta are absolute runs of that many pixels.
constexpr std::int32_t kCodeBytes = 2;
constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;
constexpr std::int32_t kDeltaBytes = 2;
// An absolute run's data are padded to a whole number of 16-bit words.
constexpr std::int32_t kAbsoluteRunAlignment = 2;
constexpr std::int32_t kRle4PixelsPerByte = 2;
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kLowNibbleMask = 0x0F;

std::uint8_t HighNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte >> kNibbleBits); }
std::uint8_t LowNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte & kLowNibbleMask); }

}  // namespace

// Takes count bytes at `at` if the codes hold them.
bool CRleRowDecoder::Take(std::int32_t& at, std::int32_t count) const {
  if (m_codes.GetCount() - at < count) return false;
  at += count;
  return true;
}

// Every pass consumes at least one code or ends the row. Runs are clipped to
// the row; the part of a run past the row's end is dropped, never carried on.
auto CRleRowDecoder::DecodeRow(std::int32_t& at, std::int32_t x, std::uint8_t* indices) const -> CRowEnd {
  const std::uint8_t* const codes = m_codes.Data();
  for (;;) {
    if (!Take(at, kCodeBytes)) return {.imageEnds = true};
    const std::uint8_t count = codes[at - 2];
    const std::uint8_t value = codes[at - 1];
    const std::int32_t room = m_width - x;
    if (count != kEscape) {
      // RLE8 repeats the value; RLE4 alternates its nibbles, high first.
      const std::int32_t pixels = std::min<std::int32_t>(count, room);
      const std::uint8_t values[kRle4PixelsPerByte] = {m_rle4 ? HighNibble(value) : value,
                                                       m_rle4 ? LowNibble(value) : value};
      if (values[0] == values[1]) {
        std::memset(indices + x, values[0], static_cast<std::size_t>(pixels));
      } else {
        for (std::int32_t i = 0; i < pixels; ++i) indices[x + i] = values[i % kRle4PixelsPerByte];
      }
      x += pixels;
      continue;
    }
    switch (value) {
      case kEndOfLine:
        return {};
      case kEndOfBitmap:
        return {.imageEnds = true};
      case kDelta: {
        if (!Take(at, kDeltaBytes)) return {.imageEnds = true};
        x += std::min<std::int32_t>(codes[at - 2], room);
        const std::int32_t down = codes[at - 1];
        if (down == 0) continue;
        return {.imageEnds = false, .rowsDown = down, .nextX = x};
      }
      default: {
        // An absolute run; bytes the codes do not hold read as index 0 and end the image.
        const std::int32_t bytes = m_rle4 ? (value + 1) / kRle4PixelsPerByte : value;
        const std::int32_t held = std::min(bytes, m_codes.GetCount() - at);
        const std::uint8_t* literal = codes + at;
        at += held;
        const std::int32_t pixels = std::min<std::int32_t>(value, room);
        if (m_rle4) {
          for (std::int32_t i = 0; i < pixels && i / kRle4PixelsPerByte < held; ++i) {
            const std::uint8_t byte = literal[i / kRle4PixelsPerByte];
            indices[x + i] = i % kRle4PixelsPerByte == 0 ? HighNibble(byte) : LowNibble(byte);
          }
        } else {
          std::memcpy(indices + x, literal, static_cast<std::size_t>(std::min(pixels, held)));
        }
        x += pixels;
        if (held < bytes) return {.imageEnds = true};
        if (bytes % kAbsoluteRunAlignment != 0 && !Take(at, 1)) return {.imageEnds = true};
      }
    }
  }
}

CBmpRlePage::CBmpRlePage(const CReadStreamPtr& source, const Kes::CPtr<CBmpImageInfo>& info,
                         std::int64_t codeBytes)
    : m_width(info ? info->GetWidth() : 0),
      m_height(info ? info->GetHeight() : 0),
      m_bottomUp(info && info->IsBottomUp()),
      m_decoder(info && info->GetPixelFormat() == BPF_Rle4, m_width) {
  if (!source) Kes::RaiseInternal(Sites::RleNoSource);
  if (!info) Kes::RaiseInternal(Sites::RleNoInfo);
  const TBmpPixelFormat format = info->GetPixelFormat();
  if (format != BPF_Rle4 && format != BPF_Rle8) Kes::RaiseInternal(Sites::RlePixelFormat, format);
  if (m_width < 1 || m_height < 1) Kes::RaiseInternal(Sites::RleImageSize, std::min(m_width, m_height));
  m_fileName = source->GetFileName();
  m_row.SetCount(m_width);
  ReadCodes(*source, codeBytes);
  FindRows();
}

// The whole stream in one read, up to what one array holds: a longer stream
// could only go on after rows the page has already been given.
void CBmpRlePage::ReadCodes(CReadImageStream& source, std::int64_t codeBytes) {
  Kes::CArray<std::uint8_t>& codes = m_decoder.Codes();
  codes.SetCount(static_cast<std::int32_t>(std::clamp<std::int64_t>(codeBytes, 0, INT32_MAX)));
  codes.SetCount(source.Read(codes.Data(), codes.GetCount()));
}

// Decodes the page once, keeping where each row's codes start; rows that no
// code reaches (passed by a delta, or after the end) stay blank.
void CBmpRlePage::FindRows() {
  m_rows.SetCount(m_height);
  std::fill(m_rows.begin(), m_rows.end(), CRowStart{kBlankRow, 0});
  std::int32_t at = 0;
  std::int32_t x = 0;
  for (std::int32_t y = 0; y < m_height;) {
    m_rows.Data()[y] = {at, x};
    const CRleRowDecoder::CRowEnd end = m_decoder.DecodeRow(at, x, m_row.Data());
    if (end.imageEnds) return;
    y += end.rowsDown;
    x = end.nextX;
  }
}

void CBmpRlePage::DecodeImageRow(std::int32_t row) {
  std::fill(m_row.begin(), m_row.end(), std::uint8_t{0});
  const CRowStart start = m_rows.Data()[m_bottomUp ? m_height - 1 - row : row];
  if (start.at != kBlankRow) {
    std::int32_t at = start.at;
    m_decoder.DecodeRow(at, start.x, m_row.Data());
  }
  m_decodedRow = row;
}

std::int32_t CBmpRlePage::Read(std::uint8_t* buffer, std::int32_t count) {
  CheckReadArguments(buffer, count);
  const auto wanted = static_cast<std::int32_t>(std::min<std::int64_t>(count, Remaining()));
  for (std::int32_t done = 0; done < wanted;) {
    const auto row = static_cast<std::int32_t>(m_position / m_width);
    const auto column = static_cast<std::int32_t>(m_position % m_width);
    if (row != m_decodedRow) DecodeImageRow(row);
    const std::int32_t piece = std::min(wanted - done, m_width - column);
    std::memcpy(buffer + done, m_row.Data() + column, static_cast<std::size_t>(piece));
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

}  // namespace Image
