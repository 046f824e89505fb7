#pragma once
// The image information and services that host and writing tests share.
#include <gtest/gtest.h>

#include <cstdint>

#include "ImageHost/HostServices.h"
#include "ImageHost/ImageInfo.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"

namespace HostTest {

class CInfo : public Image::IImageInfo {
public:
  CInfo(std::int32_t width, std::int32_t height, std::int32_t dpi = 0) : m_width(width), m_height(height), m_dpi(dpi) {}
  std::int32_t GetWidth() const override { return m_width; }
  std::int32_t GetHeight() const override { return m_height; }
  std::int32_t GetXResolution() const override { return m_dpi; }
  std::int32_t GetYResolution() const override { return m_dpi; }
  Kes::CPtr<Image::IMetadata> GetMetadata() const override { return {}; }
  Kes::CPtr<Kes::IObject> GetExtraInfo() const override { return {}; }

private:
  std::int32_t m_width, m_height, m_dpi;
};

inline Kes::CPtr<Image::IImageInfo> Info(std::int32_t width, std::int32_t height) {
  return Kes::MakeObject<CInfo>(width, height);
}

inline Kes::CPtr<Image::IImageServices> Services() {
  return Kes::CreateObject<Image::IImageServices>(u"Image.ImageServices");
}

// Every host suite runs with the services registered.
class HostFixture : public testing::Test {
protected:
  Image::CHostServicesScope m_host;
};

}  // namespace HostTest
