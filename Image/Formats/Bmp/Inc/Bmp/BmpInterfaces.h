#pragma once
#include <cstdint>

#include "Bmp/BmpPixelFormat.h"
#include "Bmp/Export.h"
#include "ImageHost/ColorMap.h"
#include "ImageHost/Image.h"
#include "ImageHost/ImageFileFormat.h"
#include "ImageHost/ImageInfo.h"
#include "Kes/Object.h"

// A bit set that a host keeps with an object and archives with it.
class BMPAPI_API IBinaryAttributes : public virtual Kes::IObject {
public:
  ~IBinaryAttributes() override;
  std::uint32_t GetAttributes() const noexcept { return m_attributes; }
  // Bits of values outside mask are set as well.
  void SetAttributes(std::uint32_t mask, std::uint32_t values) noexcept {
    m_attributes = (m_attributes & ~mask) | values;
  }

protected:
  std::uint32_t m_attributes = 0;
};

namespace Image {

class BMPAPI_API IBmpImageSaveParams : public IBinaryAttributes {
public:
  ~IBmpImageSaveParams() override;
  virtual TBmpPixelFormat GetPixelFormat() const = 0;
  // Stored unchecked; the writer refuses a format that does not suit the image.
  virtual void SetPixelFormat(TBmpPixelFormat format) = 0;
};

// The header model of one BMP image, as the host and the module read it.
class BMPAPI_API IBmpImageInfo : public IImageInfo {
public:
  ~IBmpImageInfo() override;
  virtual TBmpPixelFormat GetPixelFormat() const = 0;
  virtual Kes::CPtr<IRGBColorMap> GetColorMap() const = 0;
  virtual Kes::CPtr<IRGBColorMask> GetColorMask() const = 0;
};

// The BMP format object, created by name as "Image.Format.BmpImageFileFormat".
class BMPAPI_API IBmpImageFileFormat : public IImageFileFormat {
public:
  ~IBmpImageFileFormat() override;
  virtual bool IsPixelFormatSupported(TBmpPixelFormat format) const = 0;
  virtual Kes::CPtr<IBmpImageSaveParams> CreateSaveParams() const = 0;
  // The caller guarantees that the whole DIB is readable; resolutions are in
  // dots per inch, 0 keeping the header's.
  virtual Kes::CPtr<IImage> CreateImageFromDIB(const void* dib, std::int32_t xResolution,
                                               std::int32_t yResolution) const = 0;
  virtual Kes::CPtr<IImage> CreateImageFromDIB(const void* dib, std::int32_t resolution) const = 0;
};

}  // namespace Image

inline constexpr const char16_t* kBmpFormatObjectName = u"Image.Format.BmpImageFileFormat";
