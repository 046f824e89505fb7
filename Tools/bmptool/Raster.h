#pragma once
// The tool's own view of an image: a kind and rows of RGB bytes (r, g, b),
// the form every input is turned into and every output is made from.
#include <cstdint>
#include <vector>

#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageServices.h"

namespace BmpTool {

enum class TKind { BlackAndWhite, Gray, Rgb };

const char* KindName(TKind kind);
TKind KindOf(Image::TImageType type);

struct CRaster {
  TKind kind = TKind::Rgb;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t xDpi = 0;
  std::int32_t yDpi = 0;
  std::vector<std::uint8_t> rgb;  // height rows of width * 3 bytes, top row first

  std::uint8_t* Row(std::int32_t y) { return rgb.data() + std::size_t(y) * std::size_t(width) * 3; }
  const std::uint8_t* Row(std::int32_t y) const { return rgb.data() + std::size_t(y) * std::size_t(width) * 3; }
};

// Rounded Rec. 601 luma; exact for gray pixels (r = g = b).
std::uint8_t Luma(const std::uint8_t* rgb);
// Black-and-white pixels are black below half intensity.
bool IsBlack(const std::uint8_t* rgb);

// Rows of a host image of any kind as RGB bytes, one at a time and in any
// order; each row is released as soon as it is converted.
class CRgbRows {
public:
  explicit CRgbRows(const Kes::CPtr<Image::IImage>& image);
  std::int32_t Width() const { return m_width; }
  std::int32_t Height() const { return m_height; }
  // Row y, valid until the next call.
  const std::uint8_t* Read(std::int32_t y);

private:
  std::int32_t m_width, m_height;
  Kes::CPtr<Image::IRLEImageReader> m_strokes;  // exactly one of the three is set
  Kes::CPtr<Image::IGrayImageReader> m_gray;
  Kes::CPtr<Image::IRGBImageReader> m_rgb;
  std::vector<std::uint8_t> m_row;
};

// Reads every row of a host image, top to bottom; onRow gets the row index
// and the row as RGB bytes.
template <class F>
void ForEachRow(const Kes::CPtr<Image::IImage>& image, F&& onRow) {
  CRgbRows rows(image);
  for (std::int32_t y = 0; y < rows.Height(); ++y) onRow(y, rows.Read(y));
}

CRaster ReadRaster(const Kes::CPtr<Image::IImage>& image);
// The raster's pixels in another kind: gray from luma, black-and-white by IsBlack.
void ConvertKind(CRaster& raster, TKind kind);
// A blank host image of the raster's kind that holds its pixels.
Kes::CPtr<Image::IImage> MakeHostImage(const CRaster& raster, const Kes::CPtr<Image::IImageServices>& services);

}  // namespace BmpTool
