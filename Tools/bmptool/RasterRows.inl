#pragma once
#include <cstdint>
#include <vector>

#include "ImageHost/ImageAccess.h"

namespace BmpTool {

template <class F>
void ForEachRow(const Kes::CPtr<Image::IImage>& image, F&& onRow) {
  const auto info = image->GetImageInfo();
  const std::int32_t width = info->GetWidth();
  const std::int32_t height = info->GetHeight();
  std::vector<std::uint8_t> row(std::size_t(width) * 3);
  const Kes::CPtr<Kes::IObject> reader = image->GetReader();
  switch (image->GetImageType()) {
    case Image::ImageTypeBlackAndWhite: {
      const auto strokes = Kes::CastOrRaise<Image::IRLEImageReader>(reader);
      for (std::int32_t y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), std::uint8_t{255});
        for (const Image::CRleStroke* s = strokes->GetRow(y); !Image::IsEndStroke(*s); ++s) {
          for (std::int32_t x = std::max<std::int32_t>(s->start, 0); x < std::min<std::int32_t>(s->end, width); ++x) {
            row[std::size_t(x) * 3] = row[std::size_t(x) * 3 + 1] = row[std::size_t(x) * 3 + 2] = 0;
          }
        }
        strokes->ReleaseRow(y);
        onRow(y, row.data());
      }
      return;
    }
    case Image::ImageTypeGray: {
      const auto gray = Kes::CastOrRaise<Image::IGrayImageReader>(reader);
      for (std::int32_t y = 0; y < height; ++y) {
        const Image::CGrayColor* pixels = gray->GetRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
          const auto level = static_cast<std::uint8_t>(255 - pixels[x].value);  // the host's gray is darkness
          row[std::size_t(x) * 3] = row[std::size_t(x) * 3 + 1] = row[std::size_t(x) * 3 + 2] = level;
        }
        gray->ReleaseRow(y);
        onRow(y, row.data());
      }
      return;
    }
    case Image::ImageTypeRGB: {
      const auto rgb = Kes::CastOrRaise<Image::IRGBImageReader>(reader);
      for (std::int32_t y = 0; y < height; ++y) {
        const Image::CRGBColor* pixels = rgb->GetRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
          row[std::size_t(x) * 3] = pixels[x].red;
          row[std::size_t(x) * 3 + 1] = pixels[x].green;
          row[std::size_t(x) * 3 + 2] = pixels[x].blue;
        }
        rgb->ReleaseRow(y);
        onRow(y, row.data());
      }
      return;
    }
  }
}

}  // namespace BmpTool
