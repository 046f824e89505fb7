// Small files whose pixels are worked out by hand: the headers, palettes and
// masks that the Pillow differential does not decide. The host's colour-mask
// tests check the scaling of every mask.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ImageHost/ImageAccess.h"
#include "ReadingSupport.h"
#include "Support/Expect.h"

namespace {

using namespace ReadingTest;
using BmpTest::BmpBuilder;
using BmpTest::RleStream;
using BmpTest::Rgbq;
constexpr std::uint32_t kBitFields = BmpTest::kBiBitfields;
constexpr BmpTest::RleDepth kRle8 = BmpTest::RleDepth::Rle8;

const Rgbq kRed{0, 0, 255, 0}, kGreen{0, 255, 0, 0}, kBlue{255, 0, 0, 0}, kBlack{0, 0, 0, 0}, kWhite{255, 255, 255, 0};
constexpr std::uint32_t kRgbRed = 0xFF0000, kRgbGreen = 0x00FF00, kRgbBlue = 0x0000FF, kRgbWhite = 0xFFFFFF;

constexpr Image::TImageType kRgb = Image::ImageTypeRGB, kGray = Image::ImageTypeGray, kBw = Image::ImageTypeBlackAndWhite;

// A 2 x 2 image, top row first.
BmpBuilder Square(int bits, std::vector<std::uint32_t> values, std::vector<Rgbq> palette = {}, std::uint32_t headerSize = 40) {
  return BmpBuilder().SetPixels({2, 2, bits, std::move(values)}).SetPalette(std::move(palette)).SetInfoHeaderSize(headerSize);
}

// One run-length row over a palette of as many entries as given.
BmpBuilder Rle8Row(int width, RleStream stream, const std::vector<Rgbq>& palette) {
  const auto entries = static_cast<std::uint32_t>(palette.size());
  return BmpBuilder().SetRle(width, 1, 8, stream.EndOfBitmap().Bytes()).SetPalette(palette).SetClrUsed(entries);
}

struct SmallCase {
  const char* name;
  std::function<BmpBuilder()> make;
  Image::TImageType type;
  std::vector<std::uint32_t> expected;  // top row first
};

class SmallFiles : public testing::TestWithParam<SmallCase> {};

TEST_P(SmallFiles, ShowThePixelsWorkedOutByHand) {
  const CDecoded d = DecodeFile(GetParam().make().SetRowPadByte(0xEE).Build());
  EXPECT_EQ(d.type, GetParam().type);
  EXPECT_EQ(d.pixels, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, SmallFiles,
    testing::ValuesIn(std::vector<SmallCase>{
        {"Core1BlackAndWhite", [] { return Square(1, {0, 1, 1, 0}, {kBlack, kWhite}, 12); }, kBw, {0, kRgbWhite, kRgbWhite, 0}},
        // Three of sixteen entries before the pixels: index 15 names none of them and shows black.
        {"Core4ShortPalette", [] { return Square(4, {0, 1, 2, 15}, {kRed, kGreen, kBlue}, 12); }, kRgb,
         {kRgbRed, kRgbGreen, kRgbBlue, 0}},
        {"Core8ShortPalette", [] { return Square(8, {1, 0, 200, 1}, {kRed, kGreen}, 12); }, kRgb, {kRgbGreen, kRgbRed, 0, kRgbGreen}},
        {"Core24", [] { return Square(24, {0x123456, 0xABCDEF, 1, 0xFF0080}, {}, 12); }, kRgb, {0x123456, 0xABCDEF, 1, 0xFF0080}},
        {"Os2Sixteen1", [] { return Square(1, {0, 1, 1, 1}, {kRed, kBlue}, 16); }, kRgb, {kRgbRed, kRgbBlue, kRgbBlue, kRgbBlue}},
        {"Os2ThirtySix1", [] { return Square(1, {1, 1, 0, 1}, {kWhite, kBlack}, 36); }, kBw, {0, 0, kRgbWhite, 0}},
        // A header of a size no layout names is read through its first 40 bytes; its palette follows all of it.
        {"LongerHeader1", [] { return Square(1, {0, 1, 1, 0}, {kRed, kBlue}, 44); }, kRgb, {kRgbRed, kRgbBlue, kRgbBlue, kRgbRed}},
        // Index 5 is past the three entries: black.
        {"Palette8BlackAndWhite", [] { return Square(8, {0, 1, 2, 5}, {kWhite, kBlack, kWhite}).SetClrUsed(3); }, kBw,
         {kRgbWhite, 0, kRgbWhite, 0}},
        // A mask of all ones stands for the 24-bit defaults, for 16-bit pixels too.
        {"AllOnesMask", [] { return Square(16, {0x1234, 0xFFFF, 0, 0xFF}).SetCompression(kBitFields).SetMasks(0xF800, ~0u, 0x1F); },
         kRgb, {0x001234, 0x00FFFF, 0, 0x0000FF}},
        {"RleGray", [] { return Rle8Row(2, RleStream().EncodedRun(1, 1).EncodedRun(1, 0), {kBlack, {200, 200, 200, 0}}); },
         kGray, {0xC8C8C8, 0}},
        {"RleBlackAndWhite", [] { return Rle8Row(5, RleStream().Absolute({1, 0, 0, 1, 0}, kRle8), {kBlack, kWhite}); }, kBw,
         {kRgbWhite, 0, 0, kRgbWhite, 0}},
        {"RleIndexPastAShortPalette",
         [] { return Rle8Row(2, RleStream().EncodedRun(1, 2).EncodedRun(1, 200), {kRed, kGreen, kBlue, kWhite}); }, kRgb,
         {kRgbBlue, 0}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

Bytes Rgb24(int w, int h, bool topDown) {
  const std::vector<std::uint32_t> values(std::size_t(w) * std::size_t(h), 0x123456);
  return BmpBuilder().SetPixels({w, h, 24, values}).SetTopDown(topDown).Build();
}

TEST(UncompressedTruncated, ACutPixelArrayIsAnInvalidFileNotAWrongImage) {
  Bytes bytes = Rgb24(33, 40, false);
  bytes.resize(bytes.size() - 200);
  EXPECT_CHECK(DecodeFile(bytes), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  EXPECT_CHECK(DecodeFile(bytes, {39, 0}), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  // A row that failed in a later block is fetched again, never served from what the failure left.
  bytes = Rgb24(1000, 400, true);
  bytes.resize(bytes.size() - 30000);
  const auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(OpenFile(bytes)->GetReader());
  for (int attempt = 0; attempt < 2; ++attempt)
    EXPECT_CHECK(reader->GetRow(350), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
}

}  // namespace
