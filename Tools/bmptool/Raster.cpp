#include "Raster.h"

#include <algorithm>
#include <cstring>

#include "ImageHost/ImageAccess.h"
#include "ToolImageInfo.h"

namespace BmpTool {

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

CRgbRows::CRgbRows(const Kes::CPtr<Image::IImage>& image)
    : m_width(image->GetImageInfo()->GetWidth()),
      m_height(image->GetImageInfo()->GetHeight()),
      m_row(std::size_t(m_width) * 3) {
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
    std::fill(m_row.begin(), m_row.end(), std::uint8_t{255});
    for (const Image::CRleStroke* s = m_strokes->GetRow(y); !Image::IsEndStroke(*s); ++s) {
      const std::int32_t start = std::clamp<std::int32_t>(s->start, 0, m_width);
      const std::int32_t end = std::clamp<std::int32_t>(s->end, start, m_width);
      std::fill(out + std::size_t(start) * 3, out + std::size_t(end) * 3, std::uint8_t{0});
    }
    m_strokes->ReleaseRow(y);
  } else if (m_gray) {
    const Image::CGrayColor* pixels = m_gray->GetRow(y);
    for (std::int32_t x = 0; x < m_width; ++x) {
      const auto level = static_cast<std::uint8_t>(255 - pixels[x].value);  // the host's gray is darkness
      out[std::size_t(x) * 3] = out[std::size_t(x) * 3 + 1] = out[std::size_t(x) * 3 + 2] = level;
    }
    m_gray->ReleaseRow(y);
  } else {
    const Image::CRGBColor* pixels = m_rgb->GetRow(y);
    for (std::int32_t x = 0; x < m_width; ++x) {
      out[std::size_t(x) * 3] = pixels[x].red;
      out[std::size_t(x) * 3 + 1] = pixels[x].green;
      out[std::size_t(x) * 3 + 2] = pixels[x].blue;
    }
    m_rgb->ReleaseRow(y);
  }
  return out;
}

CRaster ReadRaster(const Kes::CPtr<Image::IImage>& image) {
  const auto info = image->GetImageInfo();
  CRaster raster;
  raster.kind = KindOf(image->GetImageType());
  raster.width = info->GetWidth();
  raster.height = info->GetHeight();
  raster.xDpi = info->GetXResolution();
  raster.yDpi = info->GetYResolution();
  raster.rgb.resize(std::size_t(raster.width) * std::size_t(raster.height) * 3);
  ForEachRow(image, [&](std::int32_t y, const std::uint8_t* row) {
    std::memcpy(raster.Row(y), row, std::size_t(raster.width) * 3);
  });
  return raster;
}

void ConvertKind(CRaster& raster, TKind kind) {
  raster.kind = kind;
  if (kind == TKind::Rgb) return;
  for (std::size_t i = 0; i < raster.rgb.size(); i += 3) {
    const std::uint8_t level = kind == TKind::Gray ? Luma(&raster.rgb[i]) : (IsBlack(&raster.rgb[i]) ? 0 : 255);
    raster.rgb[i] = raster.rgb[i + 1] = raster.rgb[i + 2] = level;
  }
}

namespace {

void FillStrokes(const CRaster& raster, const Kes::CPtr<Image::IImage>& image) {
  const auto writer = Kes::CastOrRaise<Image::IRLEImageWriter>(image->GetWriter());
  for (std::int32_t y = 0; y < raster.height; ++y) {
    Image::CRleStroke* out = writer->GetRowBuffer(y);
    const std::uint8_t* row = raster.Row(y);
    for (std::int32_t x = 0; x < raster.width;) {
      if (!IsBlack(row + std::size_t(x) * 3)) {
        ++x;
        continue;
      }
      const std::int32_t start = x;
      while (x < raster.width && IsBlack(row + std::size_t(x) * 3)) ++x;
      *out++ = {static_cast<std::int16_t>(start), static_cast<std::int16_t>(x)};
    }
    *out++ = Image::kEndStroke;
    writer->SetRowEnd(y, out);
    writer->ReleaseRowBuffer(y);
  }
}

void FillGray(const CRaster& raster, const Kes::CPtr<Image::IImage>& image) {
  const auto writer = Kes::CastOrRaise<Image::IGrayImageWriter>(image->GetWriter());
  for (std::int32_t y = 0; y < raster.height; ++y) {
    Image::CGrayColor* out = writer->GetRowBuffer(y);
    const std::uint8_t* row = raster.Row(y);
    for (std::int32_t x = 0; x < raster.width; ++x) out[x].value = static_cast<std::uint8_t>(255 - Luma(row + std::size_t(x) * 3));
    writer->ReleaseRowBuffer(y);
  }
}

void FillRgb(const CRaster& raster, const Kes::CPtr<Image::IImage>& image) {
  const auto writer = Kes::CastOrRaise<Image::IRGBImageWriter>(image->GetWriter());
  for (std::int32_t y = 0; y < raster.height; ++y) {
    Image::CRGBColor* out = writer->GetRowBuffer(y);
    const std::uint8_t* row = raster.Row(y);
    for (std::int32_t x = 0; x < raster.width; ++x) out[x] = {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
    writer->ReleaseRowBuffer(y);
  }
}

}  // namespace

Kes::CPtr<Image::IImage> MakeHostImage(const CRaster& raster, const Kes::CPtr<Image::IImageServices>& services) {
  const Kes::CPtr<Image::IImageInfo> info = MakeToolImageInfo(raster.width, raster.height, raster.xDpi, raster.yDpi);
  switch (raster.kind) {
    case TKind::BlackAndWhite: {
      auto image = services->CreateBlankBWImage(info);
      FillStrokes(raster, image);
      return image;
    }
    case TKind::Gray: {
      auto image = services->CreateBlankGrayImage(info, 4);
      FillGray(raster, image);
      return image;
    }
    case TKind::Rgb: {
      auto image = services->CreateBlankRGBImage(info, 4);
      FillRgb(raster, image);
      return image;
    }
  }
  return {};
}

}  // namespace BmpTool
