#include "ReadingSupport.h"

#include <algorithm>
#include <numeric>

#include "BmpImageFileImpl.h"
#include "ImageHost/HostServices.h"
#include "ImageHost/ImageAccess.h"

namespace ReadingTest {

std::vector<BmpTest::Rgbq> BlueRamp(int entries) {
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < entries; ++i) palette.push_back({static_cast<std::uint8_t>(i), 0, 0, 0});
  return palette;
}

CDecoded Describe(const Kes::CPtr<Image::IImage>& image, std::vector<std::int32_t> rowOrder) {
  CDecoded d;
  d.type = image->GetImageType();
  d.width = image->GetImageInfo()->GetWidth();
  d.height = image->GetImageInfo()->GetHeight();
  constexpr std::uint32_t kWhite = 0xFFFFFF, kGrayStep = 0x010101;
  d.pixels.assign(std::size_t(d.width) * std::size_t(d.height), kWhite);
  if (rowOrder.empty()) {
    rowOrder.resize(std::size_t(d.height));
    std::iota(rowOrder.begin(), rowOrder.end(), 0);
  }
  const Kes::CPtr<Kes::IObject> reader = image->GetReader();
  for (const std::int32_t y : rowOrder) {
    std::uint32_t* out = d.pixels.data() + std::size_t(y) * std::size_t(d.width);
    switch (d.type) {
      case Image::ImageTypeRGB: {
        auto rgb = Kes::CastOrRaise<Image::IRGBImageReader>(reader);
        const Image::CRGBColor* row = rgb->GetRow(y);
        for (int x = 0; x < d.width; ++x) out[x] = std::uint32_t{row[x].red} << 16 | std::uint32_t{row[x].green} << 8 | row[x].blue;
        rgb->ReleaseRow(y);
        break;
      }
      case Image::ImageTypeGray: {  // a gray value is a darkness
        auto gray = Kes::CastOrRaise<Image::IGrayImageReader>(reader);
        const Image::CGrayColor* row = gray->GetRow(y);
        for (int x = 0; x < d.width; ++x) out[x] = (255u - row[x].value) * kGrayStep;
        gray->ReleaseRow(y);
        break;
      }
      case Image::ImageTypeBlackAndWhite: {  // strokes are black on white
        auto strokes = Kes::CastOrRaise<Image::IRLEImageReader>(reader);
        for (const Image::CRleStroke* s = strokes->GetRow(y); !Image::IsEndStroke(*s); ++s) std::fill(out + s->start, out + s->end, 0);
        strokes->ReleaseRow(y);
        break;
      }
    }
  }
  return d;
}

Kes::CPtr<Image::IImageFile> OpenImageFile(const Bytes& bytes) {
  auto source = Image::CreateMemoryFileSource(bytes.data(), static_cast<std::int64_t>(bytes.size()), u"test.bmp");
  return Image::CBmpImageFileFormat().OpenImageFile(source);
}

Kes::CPtr<Image::IImage> OpenFile(const Bytes& bytes) { return OpenImageFile(bytes)->OpenImagePage(0); }

CDecoded DecodeFile(const Bytes& bytes, std::vector<std::int32_t> rowOrder) {
  return Describe(OpenFile(bytes), std::move(rowOrder));
}

}  // namespace ReadingTest
