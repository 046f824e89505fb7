#pragma once
// The BMP pixel sources (stored rows to top-first rows without padding) and
// the file output stream (rows to padded, stored rows).
#include <cstdint>

#include "CommonStreams.h"
#include "RowGeometry.h"

namespace Image {

// ---- pixel sources ----

class CBmpImageInfo;

// Base of the pixel sources: the stored pixel array as the image's rows, top
// row first, each row bytes long without its padding. The derived source
// says where a row's bytes lie; this base keeps the place in the rows.
class CBmpPixelSource : public CReadImageStream {
public:
  void Reset() override;
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;

protected:
  // The sites report a negative count to Read and to Skip.
  CBmpPixelSource(Kes::CSourceLine readCountSite, Kes::CSourceLine skipCountSite);
  void SetRows(std::int32_t height, std::int32_t rowBytes);
  // The bytes of image row `row` (0 = top), valid until the next call.
  virtual const std::uint8_t* RowData(std::int32_t row) = 0;

private:
  Kes::CSourceLine m_readCountSite;
  Kes::CSourceLine m_skipCountSite;
  std::int32_t m_height = 0;
  std::int32_t m_rowBytes = 0;
  std::int32_t m_row = 0;        // the row being delivered
  std::int32_t m_bytesLeft = 0;  // of it, from row bytes down to 0
};

// The pixel array of a BMP file, read through a file of its own a block of
// rows at a time: up to 512 KiB of whole stored rows (at least one), aligned
// to a multiple of the rows per block, loaded when a row in it is first read.
class CBmpFromFileReader final : public CBmpPixelSource {
public:
  // Opens its file through the source; the header model was read from the
  // same file, and its rows were checked to fit 32-bit counts.
  CBmpFromFileReader(const Kes::CPtr<IFileSource>& source, const CBmpImageInfo& info, const CRowGeometry& rows);
  Kes::CUnicodeString GetFileName() const override;

private:
  const std::uint8_t* RowData(std::int32_t row) override;
  void StartPixelsAt(std::int64_t pixelOffset);
  void Fill(std::int32_t firstRow);

  Kes::CUnicodeString m_fileName;
  Kes::CPtrOwnerFO<Kes::CBaseFile> m_file;
  Kes::CArray<std::uint8_t> m_block;  // stored rows as they lie in the file, padding included
  std::int32_t m_blockFirstRow = 0;   // image row of the block's top-most row
  std::int32_t m_blockRows = 0;       // 0 when nothing is buffered
  std::int32_t m_rowsPerBlock = 1;
  std::int32_t m_height = 0;
  std::int32_t m_stride = 0;
  bool m_bottomUp = true;
  std::int64_t m_pixelOffset = 0;  // file position of the first stored row
};

// The pixel array of a DIB in the caller's memory, copied straight out of it.
// The memory must hold (height - 1) x stride + row bytes bytes from the
// pixels on and outlive the reader.
class CBmpFromMemoryReader final : public CBmpPixelSource {
public:
  // The rows were checked to fit 32-bit counts.
  CBmpFromMemoryReader(const std::uint8_t* pixels, const CBmpImageInfo& info, const CRowGeometry& rows);
  Kes::CUnicodeString GetFileName() const override;

private:
  const std::uint8_t* RowData(std::int32_t row) override;

  const std::uint8_t* m_pixels;
  std::int64_t m_topRowOffset = 0;  // from the pixels to the top row
  std::int64_t m_rowStep = 0;       // from one image row to the next: a stride, negative when bottom-up
};

// ---- end of pixel sources ----

// ---- file output stream ----
// Puts rows into the output file at its current position, each followed by
// the zero bytes that pad it to a multiple of 4. The file is borrowed.
class CBmpToFileWriter : public CWriteImageStream {
public:
  CBmpToFileWriter(Kes::CBaseFile* file, std::int32_t rowBytes, std::int64_t firstRowPosition);
  void Write(const void* data, std::int32_t byteCount) override;
  void BeginImage() override {}
  void EndImage() override {}

  Kes::CBaseFile& File() const { return *m_file; }
  std::int32_t RowBytes() const { return m_rowBytes; }
  std::int32_t Padding() const { return m_padding; }

private:
  Kes::CBaseFile* m_file;
  std::int32_t m_rowBytes;
  std::int32_t m_padding;
};
// ---- end of file output stream ----

}  // namespace Image
