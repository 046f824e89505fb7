#pragma once
#include "ImageHost/ColorMap.h"
#include "Kes/Array.h"

namespace Image {

// A palette: real entries, plus entries up to the full size that read as
// black without being stored. Read-only after set-up, so shareable.
class CRGBColorMap : public IRGBColorMap {
public:
  std::int32_t GetSize() const override { return m_colors.GetCount(); }
  void SetSize(std::int32_t size) override;
  void SetFullSize(std::int64_t fullSize) override;
  std::int64_t GetFullSize() const override { return m_fullSize; }
  CRGBColor GetColor(std::int64_t index) const override;
  void SetColor(std::int32_t index, CRGBColor color) override;
  bool IsGray() const override;
  bool IsBlackAndWhite() const override;

private:
  Kes::CArray<CRGBColor> m_colors;
  std::int64_t m_fullSize = 0;
};

// Bit-field masks. 16-bit pixels convert through one table of every pixel
// value, built when the masks are set; 32-bit pixels through shifts and scales.
class CRGBColorMask : public IRGBColorMask {
public:
  TPixelSize GetPixelSize() const override { return m_size; }
  void SetMasks(TPixelSize size, std::uint32_t red, std::uint32_t green, std::uint32_t blue) override;
  std::uint32_t GetRedMask() const override { return m_fields[kRed].mask; }
  std::uint32_t GetGreenMask() const override { return m_fields[kGreen].mask; }
  std::uint32_t GetBlueMask() const override { return m_fields[kBlue].mask; }
  void ConvertPixels32(const std::uint32_t* values, CRGBColor* out, std::int64_t count) const override;
  void ConvertPixels16(const std::uint16_t* values, CRGBColor* out, std::int64_t count) const override;

private:
  static constexpr int kRed = 0, kGreen = 1, kBlue = 2;
  struct CField {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;  // mask >> shift; 0 for an empty field
    std::uint8_t Scale(std::uint32_t pixel) const;
  };
  CRGBColor Convert(std::uint32_t pixel) const {
    return {m_fields[kBlue].Scale(pixel), m_fields[kGreen].Scale(pixel), m_fields[kRed].Scale(pixel)};
  }

  static constexpr std::uint64_t kByteFieldMax = 255;

  TPixelSize m_size = PixelSizeNone;
  CField m_fields[3];
  bool m_bytesFields = false;  // every field is 8 contiguous bits
  // Every 16-bit pixel's colour as blue, green, red and a spare byte, so that
  // a row is written with one four-byte store per pixel.
  Kes::CArray<CPaddedColor> m_table16;
};

}  // namespace Image
