#pragma once
#include "Bmp/BmpInterfaces.h"
#include "Kes/Archive.h"

namespace Image {

// The pixel format a BMP file is to be written in, and the host's attributes.
class CBmpImageSaveParams : public IBmpImageSaveParams {
public:
  static constexpr std::int32_t kArchiveVersion = 0;

  ~CBmpImageSaveParams() override = default;
  TBmpPixelFormat GetPixelFormat() const override { return m_pixelFormat; }
  void SetPixelFormat(TBmpPixelFormat format) override { m_pixelFormat = format; }
  // Archive form: version, attributes as 4 bytes, pixel format as a small value.
  void Serialize(Kes::CArchive& archive) override;

private:
  TBmpPixelFormat m_pixelFormat = BPF_Unknown;
};

}  // namespace Image
