#pragma once
// The format object, the door through which a host reaches everything the
// module does. It has no state: every operation may run on any thread.
#include <cstdint>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/FileSource.h"
#include "Kes/File.h"
#include "Kes/FileOwner.h"

namespace Image {

class CBmpImageFileFormat : public IBmpImageFileFormat {
public:
  static constexpr std::int32_t kFormatId = 1;
  static constexpr std::int32_t kFormatFlags = 0;

  std::int32_t GetFormatId() const override { return kFormatId; }
  Kes::CUnicodeString GetDescription() const override;
  void GetExtensions(Kes::CArray<Kes::CUnicodeString>& extensions) const override;
  Kes::CUnicodeString GetDefaultExtension() const override;
  bool CanRead() const override { return true; }
  bool CanWrite() const override { return true; }
  bool SupportsPageMode(bool multiPage) const override { return !multiPage; }
  bool IsFormatOf(const Kes::CPtr<IFileSource>& source) const override;
  bool IsFormatOf(const Kes::CUnicodeString& name) const override;
  Kes::CPtr<IImageFile> OpenImageFile(const Kes::CPtr<IFileSource>& source) const override;
  Kes::CPtr<IImageFile> OpenImageFile(const Kes::CUnicodeString& name) const override;
  Kes::CPtr<IImageFileWriter> CreateImageFileWriter(const Kes::CUnicodeString& name) const override;
  Kes::CPtr<IImageFileWriter> CreateImageFileWriter(Kes::CBaseFile* file) const override;
  void CheckSaveImageParams(const Kes::CPtr<Kes::IObject>& params) const override;
  std::int32_t GetFormatFlags() const override { return kFormatFlags; }

  bool IsPixelFormatSupported(TBmpPixelFormat format) const override;
  Kes::CPtr<IBmpImageSaveParams> CreateSaveParams() const override;
  Kes::CPtr<IImage> CreateImageFromDIB(const void* dib, std::int32_t xResolution,
                                       std::int32_t yResolution) const override;
  Kes::CPtr<IImage> CreateImageFromDIB(const void* dib, std::int32_t resolution) const override;
};

// One opened BMP file with its one page. It reads nothing until asked and
// never changes, so it may be shared between threads.
class IBmpImageFile : public IImageFile {};

class CBmpImageFile : public IBmpImageFile {
public:
  explicit CBmpImageFile(Kes::CPtr<IFileSource> source);
  Kes::CUnicodeString GetFileName() const override;
  std::int32_t GetFormatId() const override { return CBmpImageFileFormat::kFormatId; }
  std::int32_t GetPageCount() const override { return 1; }
  Kes::CPtr<IImageInfo> GetImageInfo(std::int32_t page) const override;
  Kes::CPtr<IImage> OpenImagePage(std::int32_t page) const override;

private:
  Kes::CPtr<IFileSource> m_source;
};

// Writes one page into a file of its own (created from a name) or into the
// caller's file. Used by one thread at a time.
class CBmpImageFileWriter : public IImageFileWriter {
public:
  explicit CBmpImageFileWriter(const Kes::CUnicodeString& name);
  explicit CBmpImageFileWriter(Kes::CBaseFile* file);
  Kes::CUnicodeString GetFileName() const override { return m_fileName; }
  std::int32_t GetFormatId() const override { return CBmpImageFileFormat::kFormatId; }
  std::int32_t GetPageCount() const override { return m_pageWritten ? 1 : 0; }
  void AddImagePage(const Kes::CPtr<IImage>& image, const Kes::CPtr<Kes::IObject>& params) override;

private:
  bool m_pageWritten = false;
  Kes::CUnicodeString m_fileName;
  Kes::CPtrOwnerFO<Kes::CBaseFile> m_ownedFile;  // empty when the caller owns the file
  Kes::CBaseFile* m_file = nullptr;
};

}  // namespace Image
