#pragma once
// The run-length decoder of RLE4 and RLE8 pages. It decodes leniently: runs
// and moves are clipped to the row and the image, and whatever the code
// stream leaves out reads as palette index 0. When the page opens, the code
// stream is read whole and every row's first code found; a row's palette
// indices are decoded again from there whenever the row is read. So a page
// costs its code stream and a place per row, whatever size it declares, and
// is read like an 8-bit palette image.
#include <cstdint>

#include "BmpImageInfo.h"
#include "CommonStreams.h"
#include "Kes/Array.h"

namespace Image {

// The code stream and how to decode one row of it.
class CRleRowDecoder {
public:
  CRleRowDecoder(bool rle4, std::int32_t width) : m_rle4(rle4), m_width(width) {}

  // How a row's codes end, and where the next row's begin.
  struct CRowEnd {
    bool imageEnds = false;     // end of bitmap, or no more codes
    std::int32_t rowsDown = 1;  // to the row the next code writes
    std::int32_t nextX = 0;     // and its column there
  };

  Kes::CArray<std::uint8_t>& Codes() { return m_codes; }
  // Decodes the row whose codes start at `at`, from column x, into indices
  // (width bytes, index 0 wherever the codes say nothing); `at` moves past them.
  CRowEnd DecodeRow(std::int32_t& at, std::int32_t x, std::uint8_t* indices) const;

private:
  bool Take(std::int32_t& at, std::int32_t count) const;

  bool m_rle4;
  std::int32_t m_width;
  Kes::CArray<std::uint8_t> m_codes;
};

// Decoded rows of palette indices, delivered top row first, one byte a pixel.
class CBmpRlePage final : public CReadImageStream {
public:
  // Reads the whole code stream, codeBytes long, from source, which stands
  // at its first byte, and finds every row's codes.
  CBmpRlePage(const CReadStreamPtr& source, const Kes::CPtr<CBmpImageInfo>& info, std::int64_t codeBytes);

  void Reset() override { m_position = 0; }
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;
  Kes::CUnicodeString GetFileName() const override { return m_fileName; }

private:
  // Where a row's codes start, in stored order; kBlankRow for a row no code writes.
  struct CRowStart {
    std::int32_t at;
    std::int32_t x;
  };
  static constexpr std::int32_t kBlankRow = -1;

  void ReadCodes(CReadImageStream& source, std::int64_t codeBytes);
  void FindRows();
  std::int64_t Remaining() const { return std::int64_t{m_width} * m_height - m_position; }
  void DecodeImageRow(std::int32_t row);

  Kes::CUnicodeString m_fileName;
  std::int32_t m_width;
  std::int32_t m_height;
  bool m_bottomUp;
  CRleRowDecoder m_decoder;
  Kes::CArray<CRowStart> m_rows;
  Kes::CArray<std::uint8_t> m_row;   // the indices of image row m_decodedRow
  std::int32_t m_decodedRow = -1;
  std::int64_t m_position = 0;  // bytes delivered or skipped from the top row's first
};

}  // namespace Image
