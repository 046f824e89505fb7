#include "FuzzSupport.h"

#include <algorithm>

#include "BmpModuleObjects.h"
#include "ImageHost/HostServices.h"
#include "ImageHost/ImageAccess.h"
#include "Kes/Memory.h"
#include "ModuleErrors.h"

namespace FuzzSupport {

void SetUpOnce() {
  static const bool done = [] {
    Image::RegisterHostServices();
    Image::CreateFormatDescription();
    for (int i = 0; i < Image::kBmpExtensionCount; ++i) Image::CreateExtension(static_cast<Image::TBmpExtension>(i));
    for (int i = 0; i < Image::kModuleErrorCount; ++i) Image::CreateModuleError(static_cast<Image::TModuleError>(i));
    Kes::SetAllocationLimit(kMemoryCap);
    return true;
  }();
  (void)done;
}

namespace {

template <class Reader>
void ReadRow(const Kes::CPtr<Kes::IObject>& object, std::int32_t y) {
  const auto reader = Kes::CastOrRaise<Reader>(object);
  const auto* row = reader->GetRow(y);
  (void)row;
  reader->ReleaseRow(y);
}

void ReadRow(const Kes::CPtr<Image::IImage>& image, const Kes::CPtr<Kes::IObject>& reader, std::int32_t y) {
  switch (image->GetImageType()) {
    case Image::ImageTypeBlackAndWhite:
      return ReadRow<Image::IRLEImageReader>(reader, y);
    case Image::ImageTypeGray:
      return ReadRow<Image::IGrayImageReader>(reader, y);
    case Image::ImageTypeRGB:
      return ReadRow<Image::IRGBImageReader>(reader, y);
  }
}

}  // namespace

void ReadRows(const Kes::CPtr<Image::IImage>& image) {
  const auto info = image->GetImageInfo();
  const std::int32_t height = info->GetHeight();
  const std::int64_t pixels = std::int64_t{info->GetWidth()} * height;
  const auto reader = image->GetReader();
  const std::int32_t inOrder = pixels <= kFullReadPixels ? height : std::min(height, 4);
  for (std::int32_t y = 0; y < inOrder; ++y) ReadRow(image, reader, y);
  for (const std::int32_t y : {height - 1, 0, height / 2, height / 3}) ReadRow(image, reader, y);
}

}  // namespace FuzzSupport
