#pragma once
#include <cstdint>

#include "ImageHost/Colors.h"
#include "ImageHost/Export.h"
#include "Kes/Object.h"

namespace Image {

// Readers give a row until it is released; writers give a row's buffer until
// it is released. RGB rows are width colours, gray rows width bytes, and
// stroke rows a list of strokes ended by the end stroke.
class IMAGEHOST_API IRGBImageReader : public virtual Kes::IObject {
public:
  ~IRGBImageReader() override;
  virtual void ReleaseRow(std::int32_t y) = 0;
  virtual const CRGBColor* GetRow(std::int32_t y) = 0;
};

class IMAGEHOST_API IGrayImageReader : public virtual Kes::IObject {
public:
  ~IGrayImageReader() override;
  virtual void ReleaseRow(std::int32_t y) = 0;
  virtual const CGrayColor* GetRow(std::int32_t y) = 0;
};

class IMAGEHOST_API IRLEImageReader : public virtual Kes::IObject {
public:
  ~IRLEImageReader() override;
  virtual void ReleaseRow(std::int32_t y) = 0;
  virtual const CRleStroke* GetRow(std::int32_t y) = 0;
};

class IMAGEHOST_API IRGBImageWriter : public virtual Kes::IObject {
public:
  ~IRGBImageWriter() override;
  virtual void ReleaseRowBuffer(std::int32_t row) = 0;
  virtual CRGBColor* GetRowBuffer(std::int32_t row) = 0;
};

class IMAGEHOST_API IGrayImageWriter : public virtual Kes::IObject {
public:
  ~IGrayImageWriter() override;
  virtual void ReleaseRowBuffer(std::int32_t row) = 0;
  virtual CGrayColor* GetRowBuffer(std::int32_t row) = 0;
};

// The buffer holds at least ceil(width / 2) + 1 strokes.
class IMAGEHOST_API IRLEImageWriter : public virtual Kes::IObject {
public:
  ~IRLEImageWriter() override;
  virtual void ReleaseRowBuffer(std::int32_t row) = 0;
  virtual CRleStroke* GetRowBuffer(std::int32_t row) = 0;
  // end is just past the row's end stroke.
  virtual void SetRowEnd(std::int32_t row, const CRleStroke* end) = 0;
};

// Implemented by formats: writes the asked row (and may write others) through the writer.
class IMAGEHOST_API IRGBImageFetcher : public virtual Kes::IObject {
public:
  ~IRGBImageFetcher() override;
  virtual void FetchRow(std::int32_t row, IRGBImageWriter* writer) = 0;
};

class IMAGEHOST_API IGrayImageFetcher : public virtual Kes::IObject {
public:
  ~IGrayImageFetcher() override;
  virtual void FetchRow(std::int32_t row, IGrayImageWriter* writer) = 0;
};

class IMAGEHOST_API IRLEImageFetcher : public virtual Kes::IObject {
public:
  ~IRLEImageFetcher() override;
  virtual void FetchRow(std::int32_t row, IRLEImageWriter* writer) = 0;
};

}  // namespace Image
