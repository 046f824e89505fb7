#pragma once
#include <cstdint>

#include "ImageHost/Export.h"
#include "ImageHost/FileSource.h"
#include "ImageHost/Image.h"
#include "ImageHost/ImageInfo.h"
#include "Kes/Array.h"
#include "Kes/File.h"
#include "Kes/Object.h"
#include "Kes/String.h"

namespace Image {

class IImageFile;
class IImageFileWriter;

// What a host calls on any image format.
class IMAGEHOST_API IImageFileFormat : public virtual Kes::IObject {
public:
  ~IImageFileFormat() override;
  virtual std::int32_t GetFormatId() const = 0;
  virtual Kes::CUnicodeString GetDescription() const = 0;
  // Appends the format's extensions to what the array holds.
  virtual void GetExtensions(Kes::CArray<Kes::CUnicodeString>& extensions) const = 0;
  virtual Kes::CUnicodeString GetDefaultExtension() const = 0;
  virtual bool CanRead() const = 0;
  virtual bool CanWrite() const = 0;
  virtual bool SupportsPageMode(bool multiPage) const = 0;
  virtual bool IsFormatOf(const Kes::CPtr<IFileSource>& source) const = 0;
  virtual bool IsFormatOf(const Kes::CUnicodeString& name) const = 0;
  virtual Kes::CPtr<IImageFile> OpenImageFile(const Kes::CPtr<IFileSource>& source) const = 0;
  virtual Kes::CPtr<IImageFile> OpenImageFile(const Kes::CUnicodeString& name) const = 0;
  virtual Kes::CPtr<IImageFileWriter> CreateImageFileWriter(const Kes::CUnicodeString& name) const = 0;
  // The writer writes to the given file and does not own it.
  virtual Kes::CPtr<IImageFileWriter> CreateImageFileWriter(Kes::CBaseFile* file) const = 0;
  virtual void CheckSaveImageParams(const Kes::CPtr<Kes::IObject>& params) const = 0;
  virtual std::int32_t GetFormatFlags() const = 0;
};

// An opened image file of any format.
class IMAGEHOST_API IImageFile : public virtual Kes::IObject {
public:
  ~IImageFile() override;
  virtual Kes::CUnicodeString GetFileName() const = 0;
  virtual std::int32_t GetFormatId() const = 0;
  virtual std::int32_t GetPageCount() const = 0;
  virtual Kes::CPtr<IImageInfo> GetImageInfo(std::int32_t page) const = 0;
  virtual Kes::CPtr<IImage> OpenImagePage(std::int32_t page) const = 0;
};

// Writes the pages of one image file.
class IMAGEHOST_API IImageFileWriter : public virtual Kes::IObject {
public:
  ~IImageFileWriter() override;
  virtual Kes::CUnicodeString GetFileName() const = 0;
  virtual std::int32_t GetFormatId() const = 0;
  virtual std::int32_t GetPageCount() const = 0;
  // params may be empty: the format's defaults apply.
  virtual void AddImagePage(const Kes::CPtr<IImage>& image, const Kes::CPtr<Kes::IObject>& params) = 0;
};

}  // namespace Image
