#include "ToolImageInfo.h"

#include "Kes/Factory.h"

namespace BmpTool {
namespace {

class CToolImageInfo : public Image::IImageInfo {
public:
  CToolImageInfo(std::int32_t width, std::int32_t height, std::int32_t xDpi, std::int32_t yDpi)
      : m_width(width), m_height(height), m_xDpi(xDpi), m_yDpi(yDpi),
        m_metadata(Kes::CreateObject<Image::IMetadata>(u"Image.RootMetadata")) {}
  std::int32_t GetWidth() const override { return m_width; }
  std::int32_t GetHeight() const override { return m_height; }
  std::int32_t GetXResolution() const override { return m_xDpi; }
  std::int32_t GetYResolution() const override { return m_yDpi; }
  Kes::CPtr<Image::IMetadata> GetMetadata() const override { return m_metadata; }
  Kes::CPtr<Kes::IObject> GetExtraInfo() const override { return {}; }

private:
  std::int32_t m_width, m_height, m_xDpi, m_yDpi;
  Kes::CPtr<Image::IMetadata> m_metadata;
};

}  // namespace

Kes::CPtr<Image::IImageInfo> MakeToolImageInfo(std::int32_t width, std::int32_t height, std::int32_t xDpi,
                                               std::int32_t yDpi) {
  return Kes::MakeObject<CToolImageInfo>(width, height, xDpi, yDpi);
}

}  // namespace BmpTool
