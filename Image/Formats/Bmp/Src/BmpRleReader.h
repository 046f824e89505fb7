#pragma once
// The run-length decoder of RLE4 and RLE8 pages. It decodes leniently: runs
// and moves are clipped to the row and the image, and whatever the code
// stream leaves out reads as palette index 0. It keeps one row of palette
// indices and writes each finished row straight to its place in a blank host
// image (black-and-white, gray or RGB by the colour map, as for the
// uncompressed pages).
#include <array>
#include <cstdint>

#include "BmpImageInfo.h"
#include "CommonStreams.h"
#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "Kes/Array.h"

namespace Image {

class CBmpRleReader {
public:
  // source is positioned at the code stream's first byte. Creates the host
  // image, which holds index 0 wherever the stream says nothing.
  CBmpRleReader(CReadStreamPtr source, const Kes::CPtr<CBmpImageInfo>& info);
  CBmpRleReader(const CBmpRleReader&) = delete;
  CBmpRleReader& operator=(const CBmpRleReader&) = delete;

  // Decodes the whole stream and hands back the image; called once.
  Kes::CPtr<IImage> ReadImage();

private:
  enum class TOutputKind { BlackAndWhite, Gray, Rgb };
  enum class TNext { NextCode, FinishImage };

  void BuildColorTables(const IRGBColorMap& map);
  void CreateImage(const Kes::CPtr<CBmpImageInfo>& info);

  TNext DecodeCode();
  void EncodedRun(std::int32_t count, std::uint8_t value);
  TNext AbsoluteRun(std::int32_t count);
  TNext Delta();
  // Index 0 from the current position up to (toX, toY) in reading order,
  // writing every row it leaves; both are clamped to the image.
  void MoveTo(std::int32_t toX, std::int32_t toY);
  void WriteRow();
  // Returns the address just past the end stroke.
  CRleStroke* WriteStrokes(CRleStroke* out) const;
  std::int32_t RoomInRow() const { return m_width - m_x; }

  CReadStreamPtr m_source;
  bool m_rle4 = false;
  bool m_bottomUp = false;
  std::int32_t m_width = 0;
  std::int32_t m_height = 0;
  TOutputKind m_kind = TOutputKind::Rgb;
  Kes::CPtr<IImage> m_image;
  // Only the writer of the output kind is set.
  Kes::CPtr<IRGBImageWriter> m_rgbWriter;
  Kes::CPtr<IGrayImageWriter> m_grayWriter;
  Kes::CPtr<IRLEImageWriter> m_strokeWriter;
  // Each palette index's output, looked up once from the fixed colour map.
  std::array<CRGBColor, kPaletteIndexCount> m_colors{};
  std::array<std::uint8_t, kPaletteIndexCount> m_darkness{};
  std::array<bool, kPaletteIndexCount> m_black{};
  Kes::CArray<std::uint8_t> m_row;  // the palette index of each pixel of the current row
  std::int32_t m_x = 0;             // next column; the width when the row is full
  std::int32_t m_y = 0;             // rows written
};

}  // namespace Image
