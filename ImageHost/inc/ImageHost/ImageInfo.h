#pragma once
#include <cstdint>

#include "ImageHost/Export.h"
#include "ImageHost/Metadata.h"
#include "Kes/Object.h"

namespace Image {

// What a host image is: its size, resolution and metadata.
class IMAGEHOST_API IImageInfo : public virtual Kes::IObject {
public:
  ~IImageInfo() override;
  virtual std::int32_t GetWidth() const = 0;
  virtual std::int32_t GetHeight() const = 0;
  // Dots per inch; 0 when not given.
  virtual std::int32_t GetXResolution() const = 0;
  virtual std::int32_t GetYResolution() const = 0;
  virtual Kes::CPtr<IMetadata> GetMetadata() const = 0;
  virtual Kes::CPtr<Kes::IObject> GetExtraInfo() const = 0;
};

}  // namespace Image
