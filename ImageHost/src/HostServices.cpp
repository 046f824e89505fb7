// The host's services and their registration with the framework.
#include "ImageHost/HostServices.h"

#include <typeinfo>

#include "ColorMap.h"
#include "FileSources.h"
#include "HostSites.h"
#include "ImageHost/ImageServices.h"
#include "Images.h"
#include "Kes/Factory.h"
#include "Metadata.h"

namespace Image {
namespace {

template <class T>
void RequireArgument(const Kes::CPtr<T>& argument) {
  if (!argument) Kes::RaiseInternal(HostSites::MissingArgument);
}

template <class Kind>
Kes::CPtr<IImage> MakeImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<typename Kind::Fetcher>& fetcher) {
  RequireArgument(info);
  return Kes::MakeObject<CHostImage<Kind>>(info, fetcher);
}

class CImageServices : public IImageServices {
public:
  Kes::CPtr<IFileSource> CreateFileSource(const Kes::CUnicodeString& name) override {
    return Kes::MakeObject<CNamedFileSource>(name);
  }
  Kes::CPtr<IImage> CreateRGBImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<IRGBImageFetcher>& fetcher) override {
    RequireArgument(fetcher);
    return MakeImage<CRgbKind>(info, fetcher);
  }
  Kes::CPtr<IImage> CreateGrayImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<IGrayImageFetcher>& fetcher) override {
    RequireArgument(fetcher);
    return MakeImage<CGrayKind>(info, fetcher);
  }
  Kes::CPtr<IImage> CreateRLEImage(const Kes::CPtr<IImageInfo>& info, const Kes::CPtr<IRLEImageFetcher>& fetcher) override {
    RequireArgument(fetcher);
    return MakeImage<CStrokeKind>(info, fetcher);
  }
  // Rows are stored unpadded whatever alignment is asked for.
  Kes::CPtr<IImage> CreateBlankRGBImage(const Kes::CPtr<IImageInfo>& info, std::int32_t) override {
    return MakeImage<CRgbKind>(info, nullptr);
  }
  Kes::CPtr<IImage> CreateBlankGrayImage(const Kes::CPtr<IImageInfo>& info, std::int32_t) override {
    return MakeImage<CGrayKind>(info, nullptr);
  }
  Kes::CPtr<IImage> CreateBlankBWImage(const Kes::CPtr<IImageInfo>& info) override {
    return MakeImage<CStrokeKind>(info, nullptr);
  }
  // Black-and-white images already read as strokes.
  Kes::CPtr<IImage> ConvertImage(const Kes::CPtr<IImage>& image, std::int32_t) override {
    RequireArgument(image);
    if (image->GetImageType() != ImageTypeBlackAndWhite) Kes::RaiseInternal(HostSites::NotBlackAndWhite, image->GetImageType());
    return image;
  }
};

template <class T>
Kes::CPtr<Kes::IObject> Create() {
  return Kes::MakeObject<T>();
}

struct CService {
  Kes::CreateObjectFunction create;
  const std::type_info& type;
  const char16_t* name;
};

const CService kServices[] = {
    {Create<CImageServices>, typeid(CImageServices), u"Image.ImageServices"},
    {Create<CRGBColorMap>, typeid(CRGBColorMap), u"Image.RgbColorMap"},
    {Create<CRGBColorMask>, typeid(CRGBColorMask), u"Image.RgbColorMask"},
    {Create<CRootMetadata>, typeid(CRootMetadata), u"Image.RootMetadata"},
};

}  // namespace

void RegisterHostServices() {
  for (const CService& service : kServices) Kes::RegisterCreateObjectFunction(service.create, service.type, service.name);
}

void UnregisterHostServices() noexcept {
  for (const CService& service : kServices) Kes::UnregisterCreateObjectFunction(service.type);
}

Kes::CPtr<IFileSource> CreateMemoryFileSource(const void* data, std::int64_t size, const Kes::CUnicodeString& name) {
  return Kes::MakeObject<CMemoryFileSource>(data, size, name);
}

}  // namespace Image
