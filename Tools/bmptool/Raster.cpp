#include "Raster.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "Commands.h"
#include "ToolImageInfo.h"

namespace BmpTool {
namespace {

constexpr std::uint8_t kWhite = 255;
constexpr std::uint8_t kBlack = 0;

std::uint64_t RasterRowBytes(TKind kind, std::uint64_t width) {
  switch (kind) {
    case TKind::BlackAndWhite:
      return (width + 7) / 8;
    case TKind::Gray:
      return width;
    case TKind::Rgb:
      return width * 3;
  }
  return width * 3;
}

void SetGray(std::uint8_t* rgb, std::uint8_t level) { rgb[0] = rgb[1] = rgb[2] = level; }

// One fetcher for the three kinds of host image: the row is asked of the
// source as RGB and written in the host's form of the kind.
template <class TFetcher, class TWriter>
class CRowSourceFetcher : public TFetcher {
public:
  explicit CRowSourceFetcher(std::unique_ptr<CRgbRowSource> source) : m_source(std::move(source)) {}

  void FetchRow(std::int32_t row, TWriter* writer) override {
    const std::uint8_t* rgb = m_source->Read(row);
    auto* out = writer->GetRowBuffer(row);
    Fill(rgb, out, *writer, row);
    writer->ReleaseRowBuffer(row);
  }

private:
  void Fill(const std::uint8_t* rgb, Image::CRGBColor* out, Image::IRGBImageWriter&, std::int32_t) const {
    for (std::int32_t x = 0; x < m_source->Width(); ++x, rgb += 3) out[x] = {rgb[2], rgb[1], rgb[0]};
  }
  void Fill(const std::uint8_t* rgb, Image::CGrayColor* out, Image::IGrayImageWriter&, std::int32_t) const {
    for (std::int32_t x = 0; x < m_source->Width(); ++x, rgb += 3) {
      out[x].value = static_cast<std::uint8_t>(kWhite - Luma(rgb));  // the host's gray is darkness
    }
  }
  // Only images no wider than kMaxStrokeWidth are made of strokes, so positions fit.
  void Fill(const std::uint8_t* rgb, Image::CRleStroke* out, Image::IRLEImageWriter& writer, std::int32_t row) const {
    const std::int32_t width = m_source->Width();
    for (std::int32_t x = 0; x < width;) {
      if (!IsBlack(rgb + std::size_t(x) * 3)) {
        ++x;
        continue;
      }
      const std::int32_t start = x;
      while (x < width && IsBlack(rgb + std::size_t(x) * 3)) ++x;
      *out++ = {static_cast<std::int16_t>(start), static_cast<std::int16_t>(x)};
    }
    *out++ = Image::kEndStroke;
    writer.SetRowEnd(row, out);
  }

  std::unique_ptr<CRgbRowSource> m_source;
};

}  // namespace

const char* KindName(TKind kind) {
  switch (kind) {
    case TKind::BlackAndWhite:
      return "black-and-white";
    case TKind::Gray:
      return "gray";
    case TKind::Rgb:
      return "RGB";
  }
  return "?";
}

TKind KindOf(Image::TImageType type) {
  switch (type) {
    case Image::ImageTypeBlackAndWhite:
      return TKind::BlackAndWhite;
    case Image::ImageTypeGray:
      return TKind::Gray;
    case Image::ImageTypeRGB:
      return TKind::Rgb;
  }
  return TKind::Rgb;
}

std::uint8_t Luma(const std::uint8_t* rgb) {
  return static_cast<std::uint8_t>((299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
}

bool IsBlack(const std::uint8_t* rgb) { return Luma(rgb) < 128; }

void AllocateRaster(CRaster& raster, std::uint64_t budget) {
  const std::uint64_t rowBytes = RasterRowBytes(raster.kind, std::uint64_t(raster.width));
  const std::uint64_t bytes = rowBytes * std::uint64_t(raster.height);  // both factors below 2^34 and 2^31
  const std::string image = "a " + std::to_string(raster.width) + " x " + std::to_string(raster.height) + " image";
  if (bytes > budget) {
    throw CFileProblem{image + " needs " + std::to_string(bytes) + " bytes, more than the memory budget of " +
                       std::to_string(budget) + " (--max-memory)"};
  }
  try {
    raster.rowBytes = std::size_t(rowBytes);
    raster.pixels.resize(std::size_t(bytes));
  } catch (const std::bad_alloc&) {
    throw CFileProblem{"not enough memory for " + image};
  }
}

CRgbRows::CRgbRows(const Kes::CPtr<Image::IImage>& image)
    : CRgbRowSource(image->GetImageInfo()->GetWidth(), image->GetImageInfo()->GetHeight()) {
  const Kes::CPtr<Kes::IObject> reader = image->GetReader();
  switch (image->GetImageType()) {
    case Image::ImageTypeBlackAndWhite:
      m_strokes = Kes::CastOrRaise<Image::IRLEImageReader>(reader);
      break;
    case Image::ImageTypeGray:
      m_gray = Kes::CastOrRaise<Image::IGrayImageReader>(reader);
      break;
    case Image::ImageTypeRGB:
      m_rgb = Kes::CastOrRaise<Image::IRGBImageReader>(reader);
      break;
  }
}

const std::uint8_t* CRgbRows::Read(std::int32_t y) {
  std::uint8_t* out = m_row.data();
  if (m_strokes) {
    std::fill(m_row.begin(), m_row.end(), kWhite);
    for (const Image::CRleStroke* s = m_strokes->GetRow(y); !Image::IsEndStroke(*s); ++s) {
      const std::int32_t start = std::clamp<std::int32_t>(s->start, 0, m_width);
      const std::int32_t end = std::clamp<std::int32_t>(s->end, start, m_width);
      std::fill(out + std::size_t(start) * 3, out + std::size_t(end) * 3, kBlack);
    }
    m_strokes->ReleaseRow(y);
  } else if (m_gray) {
    const Image::CGrayColor* pixels = m_gray->GetRow(y);
    for (std::int32_t x = 0; x < m_width; ++x) SetGray(out + std::size_t(x) * 3, std::uint8_t(kWhite - pixels[x].value));
    m_gray->ReleaseRow(y);
  } else {
    const Image::CRGBColor* pixels = m_rgb->GetRow(y);
    for (std::int32_t x = 0; x < m_width; ++x, out += 3) {
      out[0] = pixels[x].red;
      out[1] = pixels[x].green;
      out[2] = pixels[x].blue;
    }
    m_rgb->ReleaseRow(y);
  }
  return m_row.data();
}

CRasterRows::CRasterRows(CRaster raster) : CRgbRowSource(raster.width, raster.height), m_raster(std::move(raster)) {}

const std::uint8_t* CRasterRows::Read(std::int32_t y) {
  const std::uint8_t* in = m_raster.Row(y);
  std::uint8_t* out = m_row.data();
  switch (m_raster.kind) {
    case TKind::BlackAndWhite:
      for (std::int32_t x = 0; x < m_width; ++x) {
        SetGray(out + std::size_t(x) * 3, (in[x / 8] >> (7 - x % 8)) & 1 ? kWhite : kBlack);
      }
      break;
    case TKind::Gray:
      for (std::int32_t x = 0; x < m_width; ++x) SetGray(out + std::size_t(x) * 3, in[x]);
      break;
    case TKind::Rgb:
      return in;
  }
  return out;
}

CDitheredRows::CDitheredRows(std::unique_ptr<CRgbRowSource> source)
    : CRgbRowSource(source->Width(), source->Height()),
      m_source(std::move(source)),
      m_error(std::size_t(m_width) + 2),
      m_below(std::size_t(m_width) + 2) {}

const std::uint8_t* CDitheredRows::Read(std::int32_t y) {
  if (y < m_next) {
    m_next = 0;
    std::fill(m_below.begin(), m_below.end(), 0.0);
  }
  while (m_next <= y) DiffuseNextRow();
  return m_row.data();
}

void CDitheredRows::DiffuseNextRow() {
  constexpr double kHalf = 128, kRight = 7.0 / 16, kBelowLeft = 3.0 / 16, kBelow = 5.0 / 16, kBelowRight = 1.0 / 16;
  m_error.swap(m_below);
  std::fill(m_below.begin(), m_below.end(), 0.0);
  const std::uint8_t* rgb = m_source->Read(m_next++);
  for (std::size_t x = 0; x < std::size_t(m_width); ++x) {
    const double level = Luma(rgb + 3 * x) + m_error[x + 1];
    const std::uint8_t out = level < kHalf ? kBlack : kWhite;
    const double error = level - out;
    m_error[x + 2] += error * kRight;
    m_below[x] += error * kBelowLeft;
    m_below[x + 1] += error * kBelow;
    m_below[x + 2] += error * kBelowRight;
    SetGray(&m_row[3 * x], out);
  }
}

Kes::CPtr<Image::IImage> MakeLazyImage(std::unique_ptr<CRgbRowSource> source, TKind kind, std::int32_t xDpi,
                                       std::int32_t yDpi, const Kes::CPtr<Image::IImageServices>& services) {
  const Kes::CPtr<Image::IImageInfo> info = MakeToolImageInfo(source->Width(), source->Height(), xDpi, yDpi);
  switch (kind) {
    case TKind::BlackAndWhite:
      return services->CreateRLEImage(
          info, Kes::MakeObject<CRowSourceFetcher<Image::IRLEImageFetcher, Image::IRLEImageWriter>>(std::move(source)));
    case TKind::Gray:
      return services->CreateGrayImage(
          info, Kes::MakeObject<CRowSourceFetcher<Image::IGrayImageFetcher, Image::IGrayImageWriter>>(std::move(source)));
    case TKind::Rgb:
      return services->CreateRGBImage(
          info, Kes::MakeObject<CRowSourceFetcher<Image::IRGBImageFetcher, Image::IRGBImageWriter>>(std::move(source)));
  }
  return {};
}

}  // namespace BmpTool
