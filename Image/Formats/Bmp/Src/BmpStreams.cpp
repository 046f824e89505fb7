#include "BmpStreams.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "BmpFileLayout.h"
#include "BmpImageInfo.h"
#include "CommonServices.h"
#include "ErrorSites.h"
#include "ModuleErrors.h"

namespace Image {

// ---- pixel sources ----

namespace {


// With neither palette nor masks after a 40-byte header, the pixels can only
// start right behind it.
bool PixelsMustFollowHeader(const CBmpImageInfo& info) {
  if (info.GetHeaderSize() != kInfoHeaderSize) return false;
  switch (info.GetPixelFormat()) {
    case BPF_Rgb16:
    case BPF_Rgb24:
    case BPF_Rgb32:
      return true;
    case BPF_Unknown:
    case BPF_Palette1:
    case BPF_Palette4:
    case BPF_Palette8:
    case BPF_BitFields16:
    case BPF_BitFields32:
    case BPF_Rle4:
    case BPF_Rle8:
    case BPF_Jpeg:
    case BPF_Png:
      return false;
  }
  return false;
}

}  // namespace

CBmpPixelSource::CBmpPixelSource(Kes::CSourceLine readCountSite, Kes::CSourceLine skipCountSite)
    : m_readCountSite(readCountSite), m_skipCountSite(skipCountSite) {}

void CBmpPixelSource::SetRows(std::int32_t height, std::int32_t rowBytes) {
  m_height = height;
  m_rowBytes = rowBytes;
  m_row = 0;
  m_bytesLeft = rowBytes;
}

void CBmpPixelSource::Reset() {
  m_row = 0;
  m_bytesLeft = m_rowBytes;
}

std::int32_t CBmpPixelSource::Read(std::uint8_t* buffer, std::int32_t count) {
  if (count < 0) Kes::RaiseInternal(m_readCountSite, count);
  CheckReadArguments(buffer, count);
  std::int32_t done = 0;
  while (done < count) {
    if (m_bytesLeft == 0) {
      if (m_row >= m_height - 1) break;
      ++m_row;
      m_bytesLeft = m_rowBytes;
    }
    const std::int32_t piece = std::min(count - done, m_bytesLeft);
    std::memcpy(buffer + done, RowData(m_row) + (m_rowBytes - m_bytesLeft), static_cast<std::size_t>(piece));
    m_bytesLeft -= piece;
    done += piece;
  }
  return done;
}

// Moves the place as a read of the same count would, without touching the data.
std::int32_t CBmpPixelSource::Skip(std::int32_t count) {
  if (count < 0) Kes::RaiseInternal(m_skipCountSite, count);
  const std::int64_t available = std::int64_t{m_height - m_row - 1} * m_rowBytes + m_bytesLeft;
  const auto skipped = static_cast<std::int32_t>(std::min<std::int64_t>(count, available));
  if (skipped <= m_bytesLeft) {
    m_bytesLeft -= skipped;
    return skipped;
  }
  const std::int32_t beyond = skipped - m_bytesLeft;
  const std::int32_t rows = (beyond - 1) / m_rowBytes + 1;  // a skip that ends on a row's end stays in that row
  m_row += rows;
  m_bytesLeft = static_cast<std::int32_t>(std::int64_t{rows} * m_rowBytes - beyond);
  return skipped;
}

CBmpFromFileReader::CBmpFromFileReader(const Kes::CPtr<IFileSource>& source, const CBmpImageInfo& info,
                                       const CRowGeometry& rows)
    : CBmpPixelSource(Sites::FileReaderReadCount, Sites::FileReaderSkipCount) {
  const TBmpPixelFormat format = info.GetPixelFormat();
  if (!IsDecodable(format)) Kes::RaiseInternal(Sites::FileReaderPixelFormat, format);
  m_height = info.GetHeight();
  if (m_height < 1 || info.GetWidth() < 1) {
    Kes::RaiseInternal(Sites::FileReaderImageSize, std::min(m_height, info.GetWidth()));
  }
  if (!source) Kes::RaiseInternal(Sites::FileReaderNoSource);
  m_fileName = source->GetFileName();
  m_stride = static_cast<std::int32_t>(rows.stride);
  m_rowsPerBlock = static_cast<std::int32_t>(std::max<std::int64_t>(1, kChainBlockBytes / m_stride));
  m_bottomUp = info.IsBottomUp();
  SetRows(m_height, static_cast<std::int32_t>(rows.rowBytes));

  m_file = source->OpenFile();
  if (!m_file) Kes::RaiseInternal(Kes::Sites::FileOwnerAccess);
  const std::int64_t length = m_file->GetLength();
  const std::int64_t pixelOffset = ReadPixelOffset(*m_file);
  if (pixelOffset < 0 || pixelOffset >= length) {
    StartPixelsAt(kHeadersSize);
    return;
  }
  if (pixelOffset == kHeadersSize || !PixelsMustFollowHeader(info)) {
    StartPixelsAt(pixelOffset);
    return;
  }
  // The offset is wrong when the pixels cannot be read from it, and they can
  // only start behind the header.
  try {
    StartPixelsAt(pixelOffset);
  } catch (Kes::CException* raised) {
    if (raised->IsInternal()) throw;
    raised->Delete();
    StartPixelsAt(kHeadersSize);
  }
}

Kes::CUnicodeString CBmpFromFileReader::GetFileName() const { return m_fileName; }

// Reading the first block at once reports a short pixel array of a small
// image while the chain is built.
void CBmpFromFileReader::StartPixelsAt(std::int64_t pixelOffset) {
  m_pixelOffset = pixelOffset;
  Fill(0);
}

const std::uint8_t* CBmpFromFileReader::RowData(std::int32_t row) {
  if (row < m_blockFirstRow || row - m_blockFirstRow >= m_blockRows) Fill(row - row % m_rowsPerBlock);
  const std::int32_t index = m_bottomUp ? m_blockFirstRow + m_blockRows - 1 - row : row - m_blockFirstRow;
  return m_block.Data() + std::int64_t{index} * m_stride;
}

// One seek and one read of the block's stored rows; bottom-up files keep the
// block's bottom image row first.
void CBmpFromFileReader::Fill(std::int32_t firstRow) {
  m_blockRows = 0;
  const auto endRow = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{firstRow} + m_rowsPerBlock, m_height));
  if (firstRow < 0 || endRow <= firstRow) Kes::RaiseInternal(Sites::FileReaderBlockRows, firstRow);
  const std::int32_t firstStoredRow = m_bottomUp ? m_height - endRow : firstRow;
  const std::int64_t position = std::int64_t{firstStoredRow} * m_stride + m_pixelOffset;
  const std::int64_t length = m_file->GetLength();
  if (position < 0 || position >= length) RaiseInvalidImageFile(m_file->GetFileName());
  const std::int64_t bytes = std::int64_t{endRow - firstRow} * m_stride;
  // A block the file cannot supply is refused before room is made for it.
  if (bytes > length - position) RaiseInvalidImageFile(m_fileName);
  if (m_block.GetCount() < bytes) m_block.SetCount(static_cast<std::int32_t>(bytes));
  m_file->Seek(position, Kes::SeekBegin);
  if (m_file->Read(m_block.Data(), bytes) < bytes) RaiseInvalidImageFile(m_fileName);
  m_blockFirstRow = firstRow;
  m_blockRows = endRow - firstRow;
}

CBmpFromMemoryReader::CBmpFromMemoryReader(const std::uint8_t* pixels, const CBmpImageInfo& info,
                                           const CRowGeometry& rows)
    : CBmpPixelSource(Sites::MemoryReaderReadCount, Sites::MemoryReaderSkipCount), m_pixels(pixels) {
  if (!pixels) Kes::RaiseInternal(Sites::MemoryReaderNoPixels);
  const TBmpPixelFormat format = info.GetPixelFormat();
  if (!IsDecodable(format)) Kes::RaiseInternal(Sites::MemoryReaderPixelFormat, format);
  const std::int32_t height = info.GetHeight();
  if (height < 1) Kes::RaiseInternal(Sites::MemoryReaderHeight, height);
  if (rows.rowBytes < 1) Kes::RaiseInternal(Sites::MemoryReaderRowBytes, rows.rowBytes);
  m_topRowOffset = info.IsBottomUp() ? rows.pixelBytes - rows.stride : 0;
  m_rowStep = info.IsBottomUp() ? -rows.stride : rows.stride;
  SetRows(height, static_cast<std::int32_t>(rows.rowBytes));
}

Kes::CUnicodeString CBmpFromMemoryReader::GetFileName() const { return {}; }

const std::uint8_t* CBmpFromMemoryReader::RowData(std::int32_t row) {
  return m_pixels + m_topRowOffset + row * m_rowStep;
}

// ---- end of pixel sources ----

// ---- file output stream ----
CBmpToFileWriter::CBmpToFileWriter(Kes::CBaseFile* file, std::int32_t rowBytes, std::int64_t firstRowPosition)
    : m_file(file), m_rowBytes(rowBytes), m_padding(static_cast<std::int32_t>(Stride(rowBytes) - rowBytes)) {
  if (rowBytes < 1 || !file) Kes::RaiseInternal(Sites::FileWriterSetUp, rowBytes);
  if (m_file->Seek(firstRowPosition, Kes::SeekBegin) != firstRowPosition) {
    Kes::RaiseInternal(Sites::FileWriterSetUp, firstRowPosition);
  }
}

void CBmpToFileWriter::Write(const void* data, std::int32_t byteCount) {
  if (!data || byteCount != m_rowBytes) Kes::RaiseInternal(Sites::FileWriterRow, byteCount);
  static constexpr std::uint8_t kZeros[3] = {};
  if (m_padding > 3) Kes::RaiseInternal(Sites::FileWriterPadding, m_padding);
  m_file->Write(data, byteCount);
  if (m_padding != 0) m_file->Write(kZeros, m_padding);
}
// ---- end of file output stream ----

}  // namespace Image
