#pragma once
#include <cstdint>

#include "ImageHost/Export.h"
#include "ImageHost/FileSource.h"
#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageInfo.h"
#include "Kes/Object.h"

namespace Image {

// The host's image factory, created by name as "Image.ImageServices".
class IMAGEHOST_API IImageServices : public virtual Kes::IObject {
public:
  ~IImageServices() override;
  virtual Kes::CPtr<IFileSource> CreateFileSource(const Kes::CUnicodeString& name) = 0;
  // Lazy images: rows are pulled through the fetcher when first read.
  virtual Kes::CPtr<IImage> CreateRGBImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<IRGBImageFetcher>& fetcher) = 0;
  virtual Kes::CPtr<IImage> CreateGrayImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<IGrayImageFetcher>& fetcher) = 0;
  virtual Kes::CPtr<IImage> CreateRLEImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<IRLEImageFetcher>& fetcher) = 0;
  // Images that hold what their writer writes; rows not written read as white.
  virtual Kes::CPtr<IImage> CreateBlankRGBImage(const Kes::CPtr<IImageInfo>& info, std::int32_t alignment) = 0;
  virtual Kes::CPtr<IImage> CreateBlankGrayImage(const Kes::CPtr<IImageInfo>& info, std::int32_t alignment) = 0;
  virtual Kes::CPtr<IImage> CreateBlankBWImage(const Kes::CPtr<IImageInfo>& info) = 0;
  // For a black-and-white image, one of type 0 that reads as strokes.
  virtual Kes::CPtr<IImage> ConvertImage(const Kes::CPtr<IImage>& image, std::int32_t alignment) = 0;
};

}  // namespace Image
