#pragma once
// The tool's own images: a raster that PNG and PNM input is decoded into,
// rows of any image as RGB bytes (r, g, b), and lazy host images that make
// their rows from such rows only when the host asks for them.
#include <cstdint>
#include <memory>
#include <vector>

#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageServices.h"

namespace BmpTool {

enum class TKind { BlackAndWhite, Gray, Rgb };

// Host strokes hold 16-bit positions: a wider black-and-white row is carried as gray.
constexpr std::int32_t kMaxStrokeWidth = 32767;

const char* KindName(TKind kind);
TKind KindOf(Image::TImageType type);

// Rounded Rec. 601 luma; exact for gray pixels (r = g = b).
std::uint8_t Luma(const std::uint8_t* rgb);
// Black-and-white pixels are black below half intensity.
bool IsBlack(const std::uint8_t* rgb);

// Pixels stored in the form of their kind: 1 bit per pixel (1 is white, the
// leftmost pixel in the high bit), 1 byte of gray (0 is black) or 3 bytes
// r, g, b; rows top first, without padding.
struct CRaster {
  TKind kind = TKind::Rgb;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t xDpi = 0;
  std::int32_t yDpi = 0;
  std::size_t rowBytes = 0;
  std::vector<std::uint8_t> pixels;

  std::uint8_t* Row(std::int32_t y) { return pixels.data() + std::size_t(y) * rowBytes; }
  const std::uint8_t* Row(std::int32_t y) const { return pixels.data() + std::size_t(y) * rowBytes; }
};

// What a reader decodes, and the bytes its pixels may take.
enum class TDecode { HeaderOnly, Pixels };
struct CDecodeLimits {
  TDecode decode = TDecode::Pixels;
  std::uint64_t budget = 0;
};

// Sizes the raster for its kind, width and height, refusing by name one that
// exceeds the memory budget or the machine's memory.
void AllocateRaster(CRaster& raster, std::uint64_t budget);

// Rows as RGB bytes, one at a time and in any order.
class CRgbRowSource {
public:
  virtual ~CRgbRowSource() = default;
  std::int32_t Width() const { return m_width; }
  std::int32_t Height() const { return m_height; }
  // Row y, valid until the next call.
  virtual const std::uint8_t* Read(std::int32_t y) = 0;

protected:
  CRgbRowSource(std::int32_t width, std::int32_t height) : m_width(width), m_height(height), m_row(std::size_t(width) * 3) {}
  std::int32_t m_width, m_height;
  std::vector<std::uint8_t> m_row;
};

// Rows of a host image of any kind; each is released as soon as it is converted.
class CRgbRows : public CRgbRowSource {
public:
  explicit CRgbRows(const Kes::CPtr<Image::IImage>& image);
  const std::uint8_t* Read(std::int32_t y) override;

private:
  Kes::CPtr<Image::IRLEImageReader> m_strokes;  // exactly one of the three is set
  Kes::CPtr<Image::IGrayImageReader> m_gray;
  Kes::CPtr<Image::IRGBImageReader> m_rgb;
};

// Rows of a raster, which the source owns.
class CRasterRows : public CRgbRowSource {
public:
  explicit CRasterRows(CRaster raster);
  const std::uint8_t* Read(std::int32_t y) override;

private:
  CRaster m_raster;
};

// Rows of another source in black and white by Floyd-Steinberg error
// diffusion, as ImageMagick and Pillow dither: each pixel's luma plus the
// error carried to it becomes black below half intensity, else white, and the
// difference goes 7/16 to the right, 3/16 below left, 5/16 below and 1/16
// below right; rows left to right. The error flows down the image, so a row
// asked before the last one is reached by diffusing again from the top.
class CDitheredRows : public CRgbRowSource {
public:
  explicit CDitheredRows(std::unique_ptr<CRgbRowSource> source);
  const std::uint8_t* Read(std::int32_t y) override;

private:
  void DiffuseNextRow();

  std::unique_ptr<CRgbRowSource> m_source;
  std::int32_t m_next = 0;      // the row the carried error belongs to
  std::vector<double> m_error;  // carried to this row and the next, one
  std::vector<double> m_below;  // column of margin on either side
};

// Reads every row of a host image, top to bottom; onRow gets the row index
// and the row as RGB bytes.
template <class F>
void ForEachRow(const Kes::CPtr<Image::IImage>& image, F&& onRow) {
  CRgbRows rows(image);
  for (std::int32_t y = 0; y < rows.Height(); ++y) onRow(y, rows.Read(y));
}

// A lazy host image of the kind whose rows are made from the source's
// (gray by luma, black-and-white by IsBlack) when the host reads them.
Kes::CPtr<Image::IImage> MakeLazyImage(std::unique_ptr<CRgbRowSource> source, TKind kind, std::int32_t xDpi,
                                       std::int32_t yDpi, const Kes::CPtr<Image::IImageServices>& services);

}  // namespace BmpTool
