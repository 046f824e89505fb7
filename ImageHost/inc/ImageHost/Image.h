#pragma once
#include <cstdint>

#include "ImageHost/Export.h"
#include "ImageHost/ImageInfo.h"
#include "Kes/Object.h"

namespace Image {

enum TImageType : std::int32_t { ImageTypeBlackAndWhite = 0, ImageTypeGray = 1, ImageTypeRGB = 2 };

// A host image: black-and-white images read and write as strokes, gray as
// bytes of darkness, RGB as colours.
class IMAGEHOST_API IImage : public virtual Kes::IObject {
public:
  ~IImage() override;
  // The very info object the image was created with.
  virtual Kes::CPtr<IImageInfo> GetImageInfo() const = 0;
  virtual TImageType GetImageType() const = 0;
  // IRLEImageReader, IGrayImageReader or IRGBImageReader by type.
  virtual Kes::CPtr<Kes::IObject> GetReader() = 0;
  // The matching writer; lazy images have none (empty reference).
  virtual Kes::CPtr<Kes::IObject> GetWriter() = 0;
};

}  // namespace Image
