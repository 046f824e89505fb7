#pragma once
// The run-length decoder of RLE4 and RLE8 pages. It decodes leniently: runs
// and moves are clipped to the row and the image, and whatever the code
// stream leaves out reads as palette index 0. The whole stream is decoded when
// the page opens, into a page of palette indices that costs what the stream
// writes; the page is then read like an 8-bit palette image, each row turned
// into the host's kind only when the host asks for it.
#include <cstdint>

#include "BmpImageInfo.h"
#include "CommonStreams.h"
#include "Kes/Array.h"

namespace Image {

// Decoded rows of palette indices, delivered top row first, one byte a pixel.
// A row keeps only its indices up to its last non-zero one; the rest of the
// row, and a row that is all index 0, cost nothing.
class CBmpRlePage final : public CReadImageStream {
public:
  CBmpRlePage(Kes::CUnicodeString fileName, std::int32_t width, std::int32_t height, bool bottomUp);
  // The next row in stored order; its indices past `count` are 0.
  void AddRow(const std::uint8_t* indices, std::int32_t count);

  void Reset() override { m_position = 0; }
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;
  Kes::CUnicodeString GetFileName() const override { return m_fileName; }

private:
  struct CStoredRow {
    std::int32_t offset;  // into m_indices
    std::int32_t count;
  };
  std::int64_t Remaining() const { return std::int64_t{m_width} * m_height - m_position; }

  Kes::CUnicodeString m_fileName;
  std::int32_t m_width;
  std::int32_t m_height;
  bool m_bottomUp;
  Kes::CArray<CStoredRow> m_rows;      // in stored order
  Kes::CArray<std::uint8_t> m_indices;  // every row's kept indices, one after another
  std::int64_t m_position = 0;          // bytes delivered or skipped from the top row's first
};

class CBmpRleReader {
public:
  // source is positioned at the code stream's first byte.
  CBmpRleReader(CReadStreamPtr source, const Kes::CPtr<CBmpImageInfo>& info);
  CBmpRleReader(const CBmpRleReader&) = delete;
  CBmpRleReader& operator=(const CBmpRleReader&) = delete;

  // Decodes the whole stream and hands back the page; called once.
  Kes::CFastPtr<CBmpRlePage> ReadPage();

private:
  enum class TNext { NextCode, FinishImage };

  TNext DecodeCode();
  void EncodedRun(std::int32_t count, std::uint8_t value);
  TNext AbsoluteRun(std::int32_t count);
  TNext Delta();
  // Index 0 from the current position up to (toX, toY) in reading order,
  // writing every row it leaves; both are clamped to the image.
  void MoveTo(std::int32_t toX, std::int32_t toY);
  void WriteRow();
  std::int32_t RoomInRow() const { return m_width - m_x; }

  CReadStreamPtr m_source;
  bool m_rle4 = false;
  std::int32_t m_width = 0;
  std::int32_t m_height = 0;
  Kes::CFastPtr<CBmpRlePage> m_page;
  // The palette index of each pixel of the current row; index 0 from
  // m_written on, so a row never written costs nothing to finish.
  Kes::CArray<std::uint8_t> m_row;
  std::int32_t m_written = 0;  // end of the pixels runs have stored in the current row
  std::int32_t m_x = 0;        // next column; the width when the row is full
  std::int32_t m_y = 0;        // rows written
};

}  // namespace Image
