#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "HostTestSupport.h"
#include "ImageHost/ColorMap.h"
#include "ImageHost/ImageAccess.h"
#include "Support/Expect.h"

namespace {

using HostTest::Info;
using HostTest::Services;

// Writes row y with its first pixel's blue set to y; counts every row it writes.
class CCountingRgbFetcher : public Image::IRGBImageFetcher {
public:
  void FetchRow(std::int32_t row, Image::IRGBImageWriter* writer) override {
    writer->GetRowBuffer(row)[0].blue = static_cast<std::uint8_t>(row);
    writer->ReleaseRowBuffer(row);
    ++fetched;
  }
  std::int64_t fetched = 0;
};

class HostImage : public HostTest::HostFixture {};

// Rows read in order keep a small cache (and reuse its memory); the rows just
// read are still there for a reader that steps back, none fetched twice.
TEST_F(HostImage, StreamingKeepsASmallCacheThatStillServesRecentRows) {
  constexpr std::int32_t kWidth = 1000, kHeight = 2000, kRowBytes = 3 * kWidth;
  auto fetcher = Kes::MakeObject<CCountingRgbFetcher>();
  auto image = Services()->CreateRGBImage(Info(kWidth, kHeight), fetcher);
  auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader());
  Kes::ResetPeakMemory();
  const std::uint64_t before = Kes::GetMemoryStats().liveBytes;
  for (std::int32_t y = 0; y < kHeight; ++y) {
    reader->GetRow(y);
    reader->ReleaseRow(y);
  }
  EXPECT_LT(Kes::GetMemoryStats().peakBytes - before, std::uint64_t{256 << 10} + 16 * kRowBytes);
  for (std::int32_t y = kHeight - 1; y >= kHeight - 50; --y) {
    ASSERT_EQ(reader->GetRow(y)[0].blue, static_cast<std::uint8_t>(y));
    reader->ReleaseRow(y);
  }
  EXPECT_EQ(fetcher->fetched, kHeight);
  EXPECT_FALSE(image->GetWriter());  // a lazy image is written by its fetcher only
}

TEST_F(HostImage, RowsOutsideTheImageAndConvertingAnythingButStrokesAreInternalErrors) {
  auto image = Services()->CreateRGBImage(Info(3, 3), Kes::MakeObject<CCountingRgbFetcher>());
  auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader());
  for (const std::int32_t y : {-1, 3}) {
    EXPECT_TRUE(KesTest::Raised([&] { reader->GetRow(y); }).internal) << y;
  }
  EXPECT_TRUE(KesTest::Raised([&] { reader->ReleaseRow(1); }).internal);  // not held
  EXPECT_TRUE(KesTest::Raised([&] { Services()->ConvertImage(image, 4); }).internal);
}

// Rows never written read as white: no darkness in gray, full intensity in RGB.
TEST_F(HostImage, BlankImagesReadWhiteWhereNothingWasWritten) {
  auto gray = Services()->CreateBlankGrayImage(Info(2, 1), 4);
  EXPECT_EQ(Kes::CastOrRaise<Image::IGrayImageReader>(gray->GetReader())->GetRow(0)[1].value, 0);
  auto rgb = Services()->CreateBlankRGBImage(Info(2, 1), 4);
  EXPECT_EQ(Kes::CastOrRaise<Image::IRGBImageReader>(rgb->GetReader())->GetRow(0)[1], (Image::CRGBColor{255, 255, 255}));
}

TEST_F(HostImage, AStrokeRowNotClosedByTheEndStrokeIsRefusedAndReadsWhite) {
  auto image = Services()->CreateBlankBWImage(Info(4, 1));
  auto writer = Kes::CastOrRaise<Image::IRLEImageWriter>(image->GetWriter());
  Image::CRleStroke* out = writer->GetRowBuffer(0);
  out[0] = {0, 1};
  out[1] = {2, 3};
  EXPECT_TRUE(KesTest::Raised([&] { writer->SetRowEnd(0, out + 2); }).internal);
  writer->ReleaseRowBuffer(0);
  EXPECT_TRUE(Image::IsEndStroke(Kes::CastOrRaise<Image::IRLEImageReader>(image->GetReader())->GetRow(0)[0]));
}

constexpr const char16_t* kServiceNames[] = {u"Image.ImageServices", u"Image.RgbColorMap", u"Image.RgbColorMask",
                                            u"Image.RootMetadata"};

TEST(HostServices, AreKnownByNameOnlyWhileRegistered) {
  {
    Image::CHostServicesScope host;
    for (const char16_t* name : kServiceNames) {
      auto first = Kes::DoCreateObject(name);
      EXPECT_NE(first.Get(), Kes::DoCreateObject(name).Get());
    }
  }
  for (const char16_t* name : kServiceNames) {
    EXPECT_CHECK(Kes::DoCreateObject(name), "ERR_UNKNOWN_OBJECT", Kes::CUnicodeString(name).ToUtf8(), "", "");
  }
}

class HostColor : public HostTest::HostFixture {
protected:
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

constexpr Image::CRGBColor kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGray{9, 9, 9};

struct MapCase {
  const char* name;
  std::vector<Image::CRGBColor> colors;
  bool blackAndWhite, gray;
};

class HostColorMapKinds : public HostColor, public testing::WithParamInterface<MapCase> {};

TEST_P(HostColorMapKinds, TellsBlackAndWhiteAndGrayFromTheRealEntries) {
  const std::vector<Image::CRGBColor>& colors = GetParam().colors;
  auto map = Kes::CreateObject<Image::IRGBColorMap>(u"Image.RgbColorMap");
  map->SetSize(static_cast<std::int32_t>(colors.size()));
  for (std::size_t i = 0; i < colors.size(); ++i) map->SetColor(static_cast<std::int32_t>(i), colors[i]);
  map->SetFullSize(256);  // the extra entries read as black but are not tested
  EXPECT_EQ(map->IsBlackAndWhite(), GetParam().blackAndWhite);
  EXPECT_EQ(map->IsGray(), GetParam().gray);
  EXPECT_EQ(map->GetSize(), static_cast<std::int32_t>(colors.size()));
  EXPECT_EQ(map->GetColor(1), colors[1]);
  EXPECT_EQ(map->GetColor(255), kBlack);
  EXPECT_TRUE(KesTest::Raised([&] { map->GetColor(256); }).internal);
  EXPECT_TRUE(KesTest::Raised([&] { map->GetColor(-1); }).internal);
}

INSTANTIATE_TEST_SUITE_P(Host, HostColorMapKinds,
                         testing::Values(MapCase{"BlackWhite", {kBlack, kWhite}, true, true},
                                         MapCase{"WhiteOnly", {kWhite, kWhite}, true, true},
                                         MapCase{"GrayLevels", {kBlack, kGray, kWhite}, false, true},
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
  // Byte-wide fields in the usual order and in another, fields of 10 bits, and 16-bit pixels.
  for (const auto& [size, r, g, b] : {std::tuple{Image::PixelSize32, 0xFF0000u, 0x00FF00u, 0x0000FFu},
                                      std::tuple{Image::PixelSize32, 0xFF000000u, 0x00FF00u, 0x0000FFu},
                                      std::tuple{Image::PixelSize32, 0x3FF00000u, 0x000FFC00u, 0x000003FFu},
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
