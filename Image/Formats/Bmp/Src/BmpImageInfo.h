#pragma once
// The header model of one BMP image: the information header read and
// validated, with its palette or masks in host objects. Loaded once, then
// only read, so it may be shared between threads.
#include <cstdint>

#include "Bmp/BmpInterfaces.h"
#include "Kes/File.h"
#include "RowGeometry.h"

namespace Image {

// Resolution conversions, exact and rounded to the nearest (halves up).
std::int32_t DpiFromPixelsPerMetre(std::int32_t pixelsPerMetre);
// Negative dpi give 0; results past 2^31 - 1 are clamped.
std::int32_t PixelsPerMetreFromDpi(std::int64_t dpi);

class CBmpImageInfo : public IBmpImageInfo {
public:
  CBmpImageInfo();
  ~CBmpImageInfo() override;

  // Reads the information header and the palette or masks; returns the
  // position after the last byte read.
  std::int64_t LoadHeader(Kes::CBaseFile& file, bool hasFileHeader);
  // Both at least 1 (dots per inch).
  void SetResolution(std::int32_t x, std::int32_t y);
  bool IsBottomUp() const { return m_height > 0; }
  // -1 for the formats without a bit depth; outside 0..12 an internal error.
  static std::int32_t GetBitsPerPixel(TBmpPixelFormat format);

  std::uint32_t GetHeaderSize() const { return m_headerSize; }
  // What makes a pixel format unsupported, for the refusal: the bit count,
  // and the compression when there is one.
  Kes::CUnicodeString DescribeForm() const;
  static Kes::CUnicodeString DescribeHeaderSize(std::uint32_t size);
  std::int32_t GetStoredHeight() const { return m_height; }

  // The stored rows as the header describes them, unchecked.
  CRowGeometry GetRowGeometry() const { return MakeRowGeometry(m_width, GetHeight(), GetBitsPerPixel(m_pixelFormat)); }

  std::int32_t GetWidth() const override { return m_width; }
  // The absolute stored height; 0 for the one height without one (-2^31).
  std::int32_t GetHeight() const override;
  std::int32_t GetXResolution() const override { return m_xResolution; }
  std::int32_t GetYResolution() const override { return m_yResolution; }
  Kes::CPtr<IMetadata> GetMetadata() const override { return m_metadata; }
  Kes::CPtr<Kes::IObject> GetExtraInfo() const override { return {}; }
  TBmpPixelFormat GetPixelFormat() const override { return m_pixelFormat; }
  Kes::CPtr<IRGBColorMap> GetColorMap() const override { return m_colorMap; }
  Kes::CPtr<IRGBColorMask> GetColorMask() const override { return m_colorMask; }

private:
  struct CFields;
  static void ReadFields(Kes::CBaseFile& file, CFields& fields);
  void ReadPalette(Kes::CBaseFile& file, const CFields& fields);
  void ReadMasks(Kes::CBaseFile& file, const CFields& fields);

  std::int32_t m_width = 0;
  std::int32_t m_height = 0;
  std::int32_t m_xResolution = 0;
  std::int32_t m_yResolution = 0;
  TBmpPixelFormat m_pixelFormat = BPF_Unknown;
  std::uint32_t m_headerSize = 0;
  std::uint16_t m_bitCount = 0;
  std::uint32_t m_compression = 0;
  Kes::CPtr<IRGBColorMap> m_colorMap;
  Kes::CPtr<IRGBColorMask> m_colorMask;
  Kes::CPtr<IMetadata> m_metadata;
};

}  // namespace Image
