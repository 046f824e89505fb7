#pragma once
#include <cstdint>

#include "ImageHost/Colors.h"
#include "ImageHost/Export.h"
#include "Kes/Object.h"

namespace Image {

// A palette. Entries past the real ones, up to the full size, read as black.
class IMAGEHOST_API IRGBColorMap : public virtual Kes::IObject {
public:
  ~IRGBColorMap() override;
  // The number of real entries.
  virtual std::int32_t GetSize() const = 0;
  virtual void SetSize(std::int32_t size) = 0;
  // Makes every index below fullSize valid without storing the extra entries.
  virtual void SetFullSize(std::int64_t fullSize) = 0;
  virtual std::int64_t GetFullSize() const = 0;
  // An index at or past the full size is an internal error.
  virtual CRGBColor GetColor(std::int64_t index) const = 0;
  virtual void SetColor(std::int32_t index, CRGBColor color) = 0;
  // Every real entry has red = green = blue.
  virtual bool IsGray() const = 0;
  // Every real entry is exactly black or white.
  virtual bool IsBlackAndWhite() const = 0;
};

enum TPixelSize : std::int32_t { PixelSizeNone = 0, PixelSize16 = 1, PixelSize32 = 2 };

// Bit-field masks that turn 16- or 32-bit pixels into colours.
class IMAGEHOST_API IRGBColorMask : public virtual Kes::IObject {
public:
  ~IRGBColorMask() override;
  virtual TPixelSize GetPixelSize() const = 0;
  virtual void SetMasks(TPixelSize size, std::uint32_t red, std::uint32_t green, std::uint32_t blue) = 0;
  virtual std::uint32_t GetRedMask() const = 0;
  virtual std::uint32_t GetGreenMask() const = 0;
  virtual std::uint32_t GetBlueMask() const = 0;
  // Each field m of a pixel p gives round(((p & m) >> ctz(m)) * 255 / (m >> ctz(m))); a zero field gives 0.
  virtual void ConvertPixels32(const std::uint32_t* values, CRGBColor* out, std::int64_t count) const = 0;
  virtual void ConvertPixels16(const std::uint16_t* values, CRGBColor* out, std::int64_t count) const = 0;
};

}  // namespace Image
