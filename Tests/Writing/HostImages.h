#pragma once
// Blank host images filled from plain pixel tables, for the writing tests.
#include <cstdint>
#include <vector>

#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageServices.h"
#include "Host/HostTestSupport.h"
#include "Kes/Factory.h"

namespace WritingTest {

using HostTest::CInfo;
using HostTest::Services;

// value(x, y) gives the pixel: a colour 0xRRGGBB or a darkness byte.
template <class F>
Kes::CPtr<Image::IImage> RgbImage(std::int32_t w, std::int32_t h, std::int32_t dpi, F value) {
  auto image = Services()->CreateBlankRGBImage(Kes::MakeObject<CInfo>(w, h, dpi), 4);
  auto writer = Kes::CastOrRaise<Image::IRGBImageWriter>(image->GetWriter());
  for (std::int32_t y = 0; y < h; ++y) {
    Image::CRGBColor* row = writer->GetRowBuffer(y);
    for (std::int32_t x = 0; x < w; ++x) {
      const std::uint32_t c = value(x, y);
      row[x] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16)};
    }
    writer->ReleaseRowBuffer(y);
  }
  return image;
}

template <class F>
Kes::CPtr<Image::IImage> GrayImage(std::int32_t w, std::int32_t h, std::int32_t dpi, F value) {
  auto image = Services()->CreateBlankGrayImage(Kes::MakeObject<CInfo>(w, h, dpi), 4);
  auto writer = Kes::CastOrRaise<Image::IGrayImageWriter>(image->GetWriter());
  for (std::int32_t y = 0; y < h; ++y) {
    Image::CGrayColor* row = writer->GetRowBuffer(y);
    for (std::int32_t x = 0; x < w; ++x) row[x].value = static_cast<std::uint8_t>(value(x, y));
    writer->ReleaseRowBuffer(y);
  }
  return image;
}

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
}
inline std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace WritingTest
