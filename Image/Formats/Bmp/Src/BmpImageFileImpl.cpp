#include "BmpImageFileImpl.h"

#include "BmpImageCreator.h"
#include "BmpImageRecorder.h"
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

Kes::CPtr<IImageServices> ImageServices() { return Kes::CreateObject<IImageServices>(u"Image.ImageServices"); }

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

Kes::CPtr<IImageFile> CBmpImageFileFormat::OpenImageFile(const Kes::CPtr<IFileSource>& source) const {
  return Kes::MakeObject<CBmpImageFile>(source);
}

Kes::CPtr<IImageFile> CBmpImageFileFormat::OpenImageFile(const Kes::CUnicodeString& name) const {
  return OpenImageFile(ImageServices()->CreateFileSource(name));
}

Kes::CPtr<IImageFileWriter> CBmpImageFileFormat::CreateImageFileWriter(const Kes::CUnicodeString& name) const {
  return Kes::MakeObject<CBmpImageFileWriter>(name);
}

Kes::CPtr<IImageFileWriter> CBmpImageFileFormat::CreateImageFileWriter(Kes::CBaseFile* file) const {
  return Kes::MakeObject<CBmpImageFileWriter>(file);
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
  return Image::CreateImageFromDIB(static_cast<const std::uint8_t*>(dib), xResolution, yResolution);
}

Kes::CPtr<IImage> CBmpImageFileFormat::CreateImageFromDIB(const void* dib, std::int32_t resolution) const {
  if (!dib) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 0);
  if (resolution < 0) RaiseBadParamCall(kFileInterface, u"CreateImageFromDIB", 1);
  return Image::CreateImageFromDIB(static_cast<const std::uint8_t*>(dib), resolution, resolution);
}

CBmpImageFile::CBmpImageFile(Kes::CPtr<IFileSource> source) : m_source(std::move(source)) {}

Kes::CUnicodeString CBmpImageFile::GetFileName() const { return m_source->GetFileName(); }

Kes::CPtr<IImageInfo> CBmpImageFile::GetImageInfo(std::int32_t page) const {
  if (page != 0) RaiseBadParamCall(kFileInterface, u"GetImageInfo", 0);
  const Kes::CPtr<IFileSource> source = m_source;
  return LoadImageInfo(source);
}

Kes::CPtr<IImage> CBmpImageFile::OpenImagePage(std::int32_t page) const {
  if (page != 0) RaiseBadParamCall(kFileInterface, u"OpenImagePage", 0);
  const Kes::CPtr<IFileSource> source = m_source;
  return LoadImage(source);
}

CBmpImageFileWriter::CBmpImageFileWriter(const Kes::CUnicodeString& name)
    : m_fileName(name), m_ownedFile(Kes::MakeOwned<Kes::CFile>(name, Kes::kFileCreateForWriting)), m_file(m_ownedFile.Get()) {}

CBmpImageFileWriter::CBmpImageFileWriter(Kes::CBaseFile* file) : m_file(file) {
  if (!m_file) Kes::RaiseInternal(Sites::NullWriterFile);
  m_fileName = m_file->GetFileName();
  m_file->SeekToBegin();
}

void CBmpImageFileWriter::AddImagePage(const Kes::CPtr<IImage>& image, const Kes::CPtr<Kes::IObject>& params) {
  if (m_pageWritten || !image) Kes::RaiseInternal(Sites::WriterPageRefused, m_pageWritten ? 1 : 0);
  Kes::CPtr<IBmpImageSaveParams> bmpParams;
  if (params) {
    bmpParams = Kes::DynamicCast<IBmpImageSaveParams>(params);
    if (!bmpParams) RaiseBadParamCall(kFileInterface, u"AddImagePage", 1);
  }
  // What is refused before a byte is written leaves the writer as it was.
  const CBmpHeaders headers = PlanBmpImage(image, bmpParams, m_fileName);
  try {
    RecordBmpImage(*m_file, image, headers);
    m_file->Flush();  // buffered bytes that cannot be written must fail the page, not vanish
  } catch (Kes::CException*) {
    // A file of ours that failed part way must not look complete: it goes.
    if (m_ownedFile) m_ownedFile->Abort();
    throw;
  }
  m_pageWritten = true;
}

}  // namespace Image
