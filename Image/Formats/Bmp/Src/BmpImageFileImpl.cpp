#include "BmpImageFileImpl.h"

#include "BmpImageSaveParams.h"
#include "BmpModuleObjects.h"
#include "CommonServices.h"
#include "ErrorSites.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

constexpr const char16_t* kFormatInterface = u"IImageFileFormat";
constexpr const char16_t* kFileInterface = u"IImageFile";

// Pinned by a test until reading and writing come to life.
[[noreturn]] void RaiseNotAvailableYet(int operation) { Kes::RaiseInternal(Sites::NotAvailableYet, operation); }

}  // namespace

Kes::CUnicodeString CBmpImageFileFormat::GetDescription() const { return FormatDescription().UnicodeStr(); }

void CBmpImageFileFormat::GetExtensions(Kes::CArray<Kes::CUnicodeString>& extensions) const {
  for (const TBmpExtension which : {TBmpExtension::Bmp, TBmpExtension::Dib, TBmpExtension::Rle}) {
    extensions.Add(Extension(which));
  }
}

Kes::CUnicodeString CBmpImageFileFormat::GetDefaultExtension() const { return Extension(TBmpExtension::Bmp); }

bool CBmpImageFileFormat::IsFormatOf(const Kes::CPtr<IFileSource>& source) const {
  Kes::CPtrOwnerFO<Kes::CBaseFile> file = source->OpenFile();
  return HasBmpSignature(*file.operator->());  // a source that opens nothing is the owner's access error
}

bool CBmpImageFileFormat::IsFormatOf(const Kes::CUnicodeString& name) const {
  Kes::CFile file(name, Kes::kFileOpenForReading);
  return HasBmpSignature(file);
}

Kes::CPtr<IImageFile> CBmpImageFileFormat::OpenImageFile(const Kes::CPtr<IFileSource>&) const {
  RaiseNotAvailableYet(1);
}

Kes::CPtr<IImageFile> CBmpImageFileFormat::OpenImageFile(const Kes::CUnicodeString&) const { RaiseNotAvailableYet(2); }

Kes::CPtr<IImageFileWriter> CBmpImageFileFormat::CreateImageFileWriter(const Kes::CUnicodeString&) const {
  RaiseNotAvailableYet(3);
}

Kes::CPtr<IImageFileWriter> CBmpImageFileFormat::CreateImageFileWriter(Kes::CBaseFile*) const {
  RaiseNotAvailableYet(4);
}

void CBmpImageFileFormat::CheckSaveImageParams(const Kes::CPtr<Kes::IObject>& params) const {
  if (!Kes::DynamicCast<IBmpImageSaveParams>(params)) {
    RaiseBadParamCall(kFormatInterface, u"CheckSaveImageParams", 0);
  }
}

bool CBmpImageFileFormat::IsPixelFormatSupported(TBmpPixelFormat format) const {
  switch (format) {
    case BPF_Palette1:
    case BPF_Palette4:
    case BPF_Palette8:
    case BPF_BitFields16:
    case BPF_Rgb24:
    case BPF_Rgb32:
    case BPF_BitFields32:
      return true;
    case BPF_Unknown:
    case BPF_Rgb16:
    case BPF_Rle4:
    case BPF_Rle8:
    case BPF_Jpeg:
    case BPF_Png:
      return false;
  }
  return false;  // a number outside the enumeration
}

Kes::CPtr<IBmpImageSaveParams> CBmpImageFileFormat::CreateSaveParams() const {
  return Kes::MakeObject<CBmpImageSaveParams>();
}

Kes::CPtr<IImage> CBmpImageFileFormat::CreateImageFromDIB(const void* dib, std::int32_t xResolution,
                                                          std::int32_t yResolution) const {
  if (!dib) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 0);
  if (xResolution < 0) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 1);
  if (yResolution < 0) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 2);
  RaiseNotAvailableYet(5);
}

Kes::CPtr<IImage> CBmpImageFileFormat::CreateImageFromDIB(const void* dib, std::int32_t resolution) const {
  if (!dib) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 0);
  if (resolution < 0) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 1);
  RaiseNotAvailableYet(6);
}

}  // namespace Image
