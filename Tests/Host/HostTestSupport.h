#pragma once
#include <cstdint>

#include "ImageHost/HostServices.h"
#include "ImageHost/ImageInfo.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"

namespace HostTest {

class CInfo : public Image::IImageInfo {
public:
  CInfo(std::int32_t width, std::int32_t height) : m_width(width), m_height(height) {}
  std::int32_t GetWidth() const override { return m_width; }
  std::int32_t GetHeight() const override { return m_height; }
  std::int32_t GetXResolution() const override { return 0; }
  std::int32_t GetYResolution() const override { return 0; }
  Kes::CPtr<Image::IMetadata> GetMetadata() const override { return {}; }
  Kes::CPtr<Kes::IObject> GetExtraInfo() const override { return {}; }

private:
  std::int32_t m_width, m_height;
};

inline Kes::CPtr<Image::IImageInfo> Info(std::int32_t width, std::int32_t height) {
  return Kes::MakeObject<CInfo>(width, height);
}

// Every suite here runs with the services registered.
class HostFixture : public testing::Test {
protected:
  Image::CHostServicesScope m_host;
  Kes::CPtr<Image::IImageServices> Services() const {
    return Kes::CreateObject<Image::IImageServices>(u"Image.ImageServices");
  }
};

}  // namespace HostTest
