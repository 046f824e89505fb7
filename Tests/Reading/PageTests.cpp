// The page of an opened file and the image made from a DIB in memory: what
// they describe, and the refusals of forms and sizes they cannot carry.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "BmpImageFileImpl.h"
#include "MetadataEntry.h"
#include "ReadingSupport.h"
#include "Support/Expect.h"

namespace {

using namespace ReadingTest;

Kes::CPtr<Image::IImage> FromDib(const Bytes& dib, int x = 0, int y = 0) {
  return Image::CBmpImageFileFormat().CreateImageFromDIB(dib.data(), x, y);
}

// Every pixel is index 1 of 256 entries, green.
Bytes Palette8(int w, int h) {
  std::vector<BmpTest::Rgbq> palette(256);
  palette[1] = {0, 255, 0, 0};
  return BmpTest::BmpBuilder().SetPixels({w, h, 8, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 1)}).SetPalette(palette).Build();
}

Bytes CoreRgb(int bits) {
  BmpTest::BmpBuilder builder;
  builder.SetInfoHeaderSize(BmpTest::kCoreHeaderSize).SetPixels({2, 2, bits, {0, 0, 0, 0}});
  return builder.Build();
}

TEST(OpenedFile, HasOnePageAndRefusesOthers) {
  const Bytes bytes = Palette8(3, 2);
  const auto file = OpenImageFile(bytes);
  EXPECT_EQ(file->GetFileName(), Kes::CUnicodeString(u"test.bmp"));
  EXPECT_EQ(file->GetFormatId(), 1);
  EXPECT_EQ(file->GetPageCount(), 1);
  EXPECT_CHECK(file->GetImageInfo(1), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "GetImageInfo", "0");
  EXPECT_CHECK(file->OpenImagePage(-1), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "OpenImagePage", "0");
  const auto info = Kes::CastOrRaise<Image::IBmpImageInfo>(file->GetImageInfo(0));
  EXPECT_EQ(info->GetPixelFormat(), BPF_Palette8);
  // The source format (1) is the only metadata; there is no extra information.
  ASSERT_EQ(info->GetMetadata()->GetKeys().GetCount(), 1);
  std::int64_t format = 0;
  ASSERT_TRUE(info->GetMetadata()->GetEntry(u"img/sourceFileFormat")->GetInteger(format));
  EXPECT_EQ(format, 1);
  EXPECT_FALSE(info->GetExtraInfo());
}

struct RefusedCase {
  const char* name;
  std::function<void(Bytes&)> edit;
  const char* error;
  const char* param2;
};

class OpenedFileRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(OpenedFileRefused, InTheOrderSizePixelFormatGeometryAndInLittleMemory) {
  Bytes bytes = Palette8(3, 2);
  GetParam().edit(bytes);
  Kes::ResetPeakMemory();
  const std::uint64_t before = Kes::GetMemoryStats().liveBytes;
  EXPECT_CHECK(OpenImageFile(bytes)->OpenImagePage(0), GetParam().error, "test.bmp", GetParam().param2, "");
  EXPECT_LT(Kes::GetMemoryStats().peakBytes - before, std::uint64_t{1} << 20);
}

INSTANTIATE_TEST_SUITE_P(
    OpenedFile, OpenedFileRefused,
    testing::Values(
        RefusedCase{"TooWide", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiWidth, 32513); }, "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG",
                    "32512 x 32512"},
        RefusedCase{"TooTallTopDown", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiHeight, std::uint32_t(-32513)); },
                    "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "32512 x 32512"},
        RefusedCase{"JpegAndTooWide",
                    [](Bytes& b) {
                      BmpTest::Patch32(b, BmpTest::kOffBiCompression, BmpTest::kBiJpeg);
                      BmpTest::Patch32(b, BmpTest::kOffBiWidth, 40000);
                    },
                    "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "32512 x 32512"},
        RefusedCase{"Jpeg", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiCompression, BmpTest::kBiJpeg); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "compression 4 (JPEG), bit count 8"},
        RefusedCase{"BitCountThree", [](Bytes& b) { BmpTest::Patch16(b, BmpTest::kOffBiBitCount, 3); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "bit count 3"},
        // A core header has no compression field, so nothing says how 16 or 32 bits are laid out.
        RefusedCase{"CoreSixteenBits", [](Bytes& b) { b = CoreRgb(16); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT",
                    "bit count 16 in a 12-byte core header"},
        RefusedCase{"CoreThirtyTwoBits", [](Bytes& b) { b = CoreRgb(32); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT",
                    "bit count 32 in a 12-byte core header"},
        RefusedCase{"NegativeWidth", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiWidth, std::uint32_t(-20)); },
                    "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        // -2^31 has no absolute value: not a positive height.
        RefusedCase{"HeightMinimum", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiHeight, 0x80000000u); },
                    "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        RefusedCase{"AllColoursUsedWithoutThem",
                    [](Bytes& b) {
                      BmpTest::Patch32(b, BmpTest::kOffBiClrUsed, 0xFFFFFFFFu);
                      b.resize(54 + 600);
                    },
                    "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        RefusedCase{"PalettePastTheEnd", [](Bytes& b) { b.resize(54 + 1000); }, "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        RefusedCase{"HeaderSizeNearFourGigabytes", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiSize, 0xFFFFFFF8u); },
                    "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        RefusedCase{"HeaderSizeThirteen", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiSize, 13); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "header size 13"},
        RefusedCase{"ZeroHeaderSize", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiSize, 0); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "header size 0"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(OpenedFile, TheLargestSizeIsAccepted) {
  BmpTest::BmpBuilder builder;
  builder.SetRle(32512, 32512, 8, BmpTest::RleStream().EndOfBitmap().Bytes()).SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}).SetClrUsed(2);
  const Bytes bytes = builder.Build();
  EXPECT_EQ(OpenImageFile(bytes)->GetImageInfo(0)->GetHeight(), 32512);
}

// A 5 x 3 DIB of indices 0 to 14; entry i is (255 - i, 0, i) as (r, g, b).
Bytes Palette8Dib(std::uint32_t headerSize) {
  BmpTest::Pixels pixels{5, 3, 8, {}};
  for (std::uint32_t i = 0; i < 15; ++i) pixels.values.push_back(i);
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({std::uint8_t(i), 0, std::uint8_t(255 - i), 0});
  return BmpTest::BmpBuilder().SetPixels(pixels).SetPalette(palette).SetInfoHeaderSize(headerSize).SetResolution(3780, 3780).BuildDib();
}

TEST(Dib, DecodesAFullPaletteAfterEveryHeaderSize) {
  std::vector<std::uint32_t> expected;
  for (std::uint32_t i = 0; i < 15; ++i) expected.push_back((255 - i) << 16 | i);
  for (const std::uint32_t size : {BmpTest::kCoreHeaderSize, 16u, BmpTest::kInfoHeaderSize, BmpTest::kV4HeaderSize, BmpTest::kV5HeaderSize}) {
    const Bytes dib = Palette8Dib(size);
    const Bytes before = dib;
    const CDecoded d = Describe(FromDib(dib));
    EXPECT_EQ(d.type, Image::ImageTypeRGB) << size;
    EXPECT_EQ(d.pixels, expected) << size;
    EXPECT_EQ(dib, before);  // the caller's memory is read, never changed
  }
}

TEST(Dib, PixelsFollowTheMasksWhereverTheyAre) {
  // After a 40-byte header, inside a V3 header, inside a V5 header.
  for (const std::uint32_t size : {BmpTest::kInfoHeaderSize, BmpTest::kV3HeaderSize, BmpTest::kV5HeaderSize}) {
    BmpTest::BmpBuilder builder;
    builder.SetPixels({2, 1, 32, {0x11223344, 0xAABBCCDD}}).SetInfoHeaderSize(size).SetCompression(BmpTest::kBiBitfields);
    builder.SetMasks(0x0000FF00, 0x00FF0000, 0xFF000000);
    EXPECT_EQ(Describe(FromDib(builder.BuildDib())).pixels, (std::vector<std::uint32_t>{0x332211, 0xCCBBAA})) << size;
  }
}

TEST(Dib, ResolutionsReplaceTheHeadersOnlyWhenBothAreGiven) {
  const Bytes dib = Palette8Dib(BmpTest::kInfoHeaderSize);
  EXPECT_EQ(FromDib(dib, 0, 300)->GetImageInfo()->GetXResolution(), 96);
  const auto info = FromDib(dib, 150, 300)->GetImageInfo();
  EXPECT_EQ(info->GetXResolution(), 150);
  EXPECT_EQ(info->GetYResolution(), 300);
  EXPECT_EQ(Image::CBmpImageFileFormat().CreateImageFromDIB(dib.data(), 72)->GetImageInfo()->GetYResolution(), 72);
}

TEST(Dib, IsNotHeldToTheFileSizeLimitButBlackAndWhiteIsToTheStrokes) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels({40000, 1, 1, std::vector<std::uint32_t>(40000, 1)}).SetPalette({{0, 0, 0, 0}, {0, 0, 200, 0}});
  const Bytes dib = builder.BuildDib();  // read lazily: it must outlive the image
  const auto image = FromDib(dib);
  EXPECT_EQ(image->GetImageInfo()->GetWidth(), 40000);
  EXPECT_EQ(Describe(image).At(39999, 0), 0xC80000u);
  builder.SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}});
  EXPECT_CHECK(FromDib(builder.BuildDib()), "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "", "32767 x 2147483647", "");
}

class DibRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(DibRefused, WithTheModulesErrorAndTheMemoryUntouched) {
  Bytes dib = BmpTest::BmpBuilder().SetPixels({4, 4, 24, std::vector<std::uint32_t>(16, 0x123456)}).BuildDib();
  GetParam().edit(dib);
  dib.resize(std::max<std::size_t>(dib.size(), 1200), 0);  // the window is readable
  const Bytes before = dib;
  EXPECT_CHECK(FromDib(dib), GetParam().error, "", GetParam().param2, "");
  EXPECT_EQ(dib, before);
}

INSTANTIATE_TEST_SUITE_P(
    Dib, DibRefused,
    testing::Values(
        RefusedCase{"RunLength", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kHdrBiCompression, BmpTest::kBiRle8); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "compression 1 (RLE8), bit count 24 in a DIB"},
        RefusedCase{"ZeroWidth", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kHdrBiWidth, 0); }, "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        RefusedCase{"HeaderSizeEleven", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kHdrBiSize, 11); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "header size 11"},
        // rows of 3 GB cannot be carried: refused before anything is read or reserved
        RefusedCase{"RowTooLong", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kHdrBiWidth, 1u << 30); },
                    "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "2147483647 bytes per row"},
        // 44 + 1024 bytes of header and palette: past the 1064 bytes the tables of a DIB (not V4 or V5) are read through.
        RefusedCase{"PaletteOutsideTheWindow", [](Bytes& b) { b = Palette8Dib(44); }, "ERR_IMAGE_INVALID_IMAGE_FILE", ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
