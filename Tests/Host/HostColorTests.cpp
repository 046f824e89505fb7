#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "HostTestSupport.h"
#include "ImageHost/ColorMap.h"
#include "Support/Expect.h"

namespace {

class HostColor : public HostTest::HostFixture {
protected:
  Kes::CPtr<Image::IRGBColorMap> Map(const std::vector<Image::CRGBColor>& colors) {
    auto map = Kes::CreateObject<Image::IRGBColorMap>(u"Image.RgbColorMap");
    map->SetSize(static_cast<std::int32_t>(colors.size()));
    for (std::size_t i = 0; i < colors.size(); ++i) map->SetColor(static_cast<std::int32_t>(i), colors[i]);
    return map;
  }
  // Converts count pixels given as words, each cut to 16 bits for a 16-bit mask.
  static void Convert(Image::TPixelSize size, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                      const std::uint32_t* pixels, Image::CRGBColor* out, std::int64_t count) {
    auto mask = Kes::CreateObject<Image::IRGBColorMask>(u"Image.RgbColorMask");
    mask->SetMasks(size, r, g, b);
    if (size == Image::PixelSize32) return mask->ConvertPixels32(pixels, out, count);
    const std::vector<std::uint16_t> narrow(pixels, pixels + count);
    mask->ConvertPixels16(narrow.data(), out, count);
  }
};

constexpr Image::CRGBColor kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGray{9, 9, 9}, kRed{0, 0, 200};

struct MapCase {
  const char* name;
  std::vector<Image::CRGBColor> colors;
  bool blackAndWhite, gray;
};

class HostColorMapKinds : public HostColor, public testing::WithParamInterface<MapCase> {};

TEST_P(HostColorMapKinds, TellsBlackAndWhiteAndGrayFromTheRealEntries) {
  auto map = Map(GetParam().colors);
  map->SetFullSize(256);  // the extra entries read as black but are not tested
  EXPECT_EQ(map->IsBlackAndWhite(), GetParam().blackAndWhite);
  EXPECT_EQ(map->IsGray(), GetParam().gray);
  EXPECT_EQ(map->GetSize(), static_cast<std::int32_t>(GetParam().colors.size()));
  EXPECT_EQ(map->GetColor(1), GetParam().colors[1]);
  EXPECT_EQ(map->GetColor(255), kBlack);
  EXPECT_TRUE(KesTest::Raised([&] { map->GetColor(256); }).internal);
  EXPECT_TRUE(KesTest::Raised([&] { map->GetColor(-1); }).internal);
}

INSTANTIATE_TEST_SUITE_P(Host, HostColorMapKinds,
                         testing::Values(MapCase{"BlackWhite", {kBlack, kWhite}, true, true},
                                         MapCase{"WhiteOnly", {kWhite, kWhite}, true, true},
                                         MapCase{"GrayLevels", {kBlack, kGray, kWhite}, false, true},
                                         MapCase{"Colour", {kBlack, kRed}, false, false},
                                         MapCase{"NearlyWhite", {kBlack, {255, 255, 254}}, false, false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct MaskCase {
  const char* name;
  Image::TPixelSize size;
  std::uint32_t red, green, blue;
  std::uint32_t pixel;
  Image::CRGBColor expected;
};

class HostColorMask : public HostColor, public testing::WithParamInterface<MaskCase> {};

TEST_P(HostColorMask, ScalesEachFieldToEightBits) {
  const MaskCase& c = GetParam();
  Image::CRGBColor out{1, 2, 3};
  Convert(c.size, c.red, c.green, c.blue, &c.pixel, &out, 1);
  EXPECT_EQ(out, c.expected);
}

// Expected values by hand: v * 255 / max rounded, e.g. 5-bit 16 -> 16 * 255 / 31 = 131.6 -> 132.
INSTANTIATE_TEST_SUITE_P(
    Host, HostColorMask,
    testing::Values(MaskCase{"Rgb555Mid", Image::PixelSize16, 0x7C00, 0x03E0, 0x001F, (16 << 10) | (1 << 5) | 30, {247, 8, 132}},
                    MaskCase{"ZeroFieldGivesZero", Image::PixelSize16, 0xF800, 0, 0x001F, 0xFFFF, {255, 0, 255}},
                    // the field is taken as it stands, gaps included: 0x8000 of max 0x8001
                    MaskCase{"NonContiguous", Image::PixelSize16, 0x8001, 0x0000, 0x0000, 0x8000, {0, 0, 255}},
                    MaskCase{"NonContiguousLow", Image::PixelSize16, 0x0000, 0x0A00, 0x0000, 0x0200, {0, 51, 0}},
                    MaskCase{"FullWord", Image::PixelSize32, 0xFFFFFFFF, 0, 0, 0x80000000, {0, 0, 128}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Whole-run conversions write wider than a colour and stop early on a vector
// loop; every count must give exactly the one-pixel results and nothing past
// the run.
TEST_F(HostColor, RunsOfEveryLengthConvertAsSinglePixelsDoAndStayInside) {
  for (const auto& [size, r, g, b] : {std::tuple{Image::PixelSize32, 0xFF0000u, 0x00FF00u, 0x0000FFu},
                                      std::tuple{Image::PixelSize32, 0x0000FFu, 0xFF000000u, 0x00FF00u},
                                      std::tuple{Image::PixelSize16, 0xF800u, 0x07E0u, 0x001Fu}}) {
    for (std::int64_t count = 1; count <= 40; ++count) {
      std::vector<std::uint32_t> pixels(static_cast<std::size_t>(count));
      for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x9E3779B9u * std::uint32_t(i + 1);
      const Image::CRGBColor guard{7, 7, 7};
      std::vector<Image::CRGBColor> run(pixels.size() + 1, guard);
      Convert(size, r, g, b, pixels.data(), run.data(), count);
      for (std::size_t i = 0; i < pixels.size(); ++i) {
        Image::CRGBColor one{};
        Convert(size, r, g, b, &pixels[i], &one, 1);
        ASSERT_EQ(run[i], one) << count << " pixels, pixel " << i;
      }
      ASSERT_EQ(run.back(), guard) << count;
    }
  }
}

}  // namespace
