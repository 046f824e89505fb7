// Small files whose pixels are worked out by hand: the headers, palettes and
// masks that the Pillow differential cannot decide. Scaling of every mask is
// checked on the host's colour mask; noise images of every kind against Pillow.
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

const Rgbq kRed{0, 0, 255, 0}, kGreen{0, 255, 0, 0}, kBlue{255, 0, 0, 0}, kBlack{0, 0, 0, 0}, kWhite{255, 255, 255, 0};
constexpr std::uint32_t kRgbRed = 0xFF0000, kRgbGreen = 0x00FF00, kRgbBlue = 0x0000FF, kRgbWhite = 0xFFFFFF;

// A 2 x 2 image, top row first.
BmpBuilder Square(int bits, std::vector<std::uint32_t> values, std::vector<Rgbq> palette = {}) {
  return BmpBuilder().SetPixels({2, 2, bits, std::move(values)}).SetPalette(std::move(palette));
}
BmpBuilder Masked(std::vector<std::uint32_t> values, int bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return Square(bits, std::move(values)).SetCompression(BmpTest::kBiBitfields).SetMasks(red, green, blue);
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
    testing::Values(
        SmallCase{"Core1BlackAndWhite", [] { return Square(1, {0, 1, 1, 0}, {kBlack, kWhite}).SetInfoHeaderSize(12); },
                  Image::ImageTypeBlackAndWhite, {0, kRgbWhite, kRgbWhite, 0}},
        // Three of sixteen entries before the pixels: index 15 names none of them and shows black.
        SmallCase{"Core4ShortPalette", [] { return Square(4, {0, 1, 2, 15}, {kRed, kGreen, kBlue}).SetInfoHeaderSize(12); },
                  Image::ImageTypeRGB, {kRgbRed, kRgbGreen, kRgbBlue, 0}},
        SmallCase{"Core8ShortPalette", [] { return Square(8, {1, 0, 200, 1}, {kRed, kGreen}).SetInfoHeaderSize(12); },
                  Image::ImageTypeRGB, {kRgbGreen, kRgbRed, 0, kRgbGreen}},
        SmallCase{"Core24", [] { return Square(24, {0x123456, 0xABCDEF, 0x000001, 0xFF0080}).SetInfoHeaderSize(12); },
                  Image::ImageTypeRGB, {0x123456, 0xABCDEF, 0x000001, 0xFF0080}},
        SmallCase{"Os2Sixteen1", [] { return Square(1, {0, 1, 1, 1}, {kRed, kBlue}).SetInfoHeaderSize(16); }, Image::ImageTypeRGB,
                  {kRgbRed, kRgbBlue, kRgbBlue, kRgbBlue}},
        SmallCase{"Os2ThirtySix1", [] { return Square(1, {1, 1, 0, 1}, {kWhite, kBlack}).SetInfoHeaderSize(36); },
                  Image::ImageTypeBlackAndWhite, {0, 0, kRgbWhite, 0}},
        // A header of a size no layout names is read through its first 40 bytes; its palette follows all of it.
        SmallCase{"LongerHeader1", [] { return Square(1, {0, 1, 1, 0}, {kRed, kBlue}).SetInfoHeaderSize(44); }, Image::ImageTypeRGB,
                  {kRgbRed, kRgbBlue, kRgbBlue, kRgbRed}},
        // Index 5 is past the three entries: black.
        SmallCase{"Palette8BlackAndWhite", [] { return Square(8, {0, 1, 2, 5}, {kWhite, kBlack, kWhite}).SetClrUsed(3); },
                  Image::ImageTypeBlackAndWhite, {kRgbWhite, 0, kRgbWhite, 0}},
        SmallCase{"Palette4Gray", [] { return Square(4, {0, 1, 2, 9}, {kBlack, {60, 60, 60, 0}, kWhite}).SetClrUsed(3); },
                  Image::ImageTypeGray, {0, 0x3C3C3C, kRgbWhite, 0}},
        SmallCase{"Rgb555", [] { return Square(16, {0x7C00, 0x03E0, 0x001F, 0x0421}); }, Image::ImageTypeRGB,
                  {kRgbRed, kRgbGreen, kRgbBlue, 0x080808}},
        SmallCase{"BitFields565", [] { return Masked({0xF800, 0x07E0, 0x001F, 0x8410}, 16, 0xF800, 0x07E0, 0x001F); },
                  Image::ImageTypeRGB, {kRgbRed, kRgbGreen, kRgbBlue, 0x848284}},
        SmallCase{"BitFields16Odd", [] { return Masked({0x0FFF, 0x0008, 0x0AB5, 0xF000}, 16, 0x000F, 0x0FF0, 0); },
                  Image::ImageTypeRGB, {0xFFFF00, 0x880000, 0x55AB00, 0}},
        SmallCase{"BitFields32TenBits",
                  [] { return Masked({0x3FF00000, 0x000FFC00, 0x000003FF, 0x20080200}, 32, 0x3FF00000, 0x000FFC00, 0x3FF); },
                  Image::ImageTypeRGB, {kRgbRed, kRgbGreen, kRgbBlue, 0x808080}},
        // A mask of all ones stands for the 24-bit defaults, for 16-bit pixels too.
        SmallCase{"AllOnesMask", [] { return Masked({0x1234, 0xFFFF, 0, 0x00FF}, 16, 0xF800, 0xFFFFFFFF, 0x001F); },
                  Image::ImageTypeRGB, {0x001234, 0x00FFFF, 0, 0x0000FF}},
        SmallCase{"RleGray",
                  [] {
                    return BmpBuilder().SetRle(2, 1, 8, RleStream().EncodedRun(1, 1).EncodedRun(1, 0).EndOfBitmap().Bytes())
                        .SetPalette({kBlack, {200, 200, 200, 0}}).SetClrUsed(2);
                  },
                  Image::ImageTypeGray, {0xC8C8C8, 0}},
        SmallCase{"RleBlackAndWhite",
                  [] {
                    return BmpBuilder().SetRle(5, 1, 8, RleStream().Absolute({1, 0, 0, 1, 0}, BmpTest::RleDepth::Rle8).EndOfBitmap().Bytes())
                        .SetPalette({kBlack, kWhite}).SetClrUsed(2);
                  },
                  Image::ImageTypeBlackAndWhite, {kRgbWhite, 0, 0, kRgbWhite, 0}},
        SmallCase{"RleIndexPastAShortPalette",
                  [] {
                    return BmpBuilder().SetRle(2, 1, 8, RleStream().EncodedRun(1, 2).EncodedRun(1, 200).EndOfBitmap().Bytes())
                        .SetPalette({kRed, kGreen, kBlue, kWhite}).SetClrUsed(4);
                  },
                  Image::ImageTypeRGB, {kRgbBlue, 0}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Entry i is (0, 0, i): every index shows as itself, as a 24-bit value does.
std::vector<Rgbq> BlueRamp() {
  std::vector<Rgbq> palette;
  for (int i = 0; i < 16; ++i) palette.push_back({std::uint8_t(i), 0, 0, 0});
  return palette;
}

TEST(UncompressedLarge, ImagesOfManyBlocksDecodeInAnyOrder) {
  std::vector<std::int32_t> backwards;
  for (int y = 699; y >= 0; --y) backwards.push_back(y);
  for (const int bits : {24, 4}) {
    BmpTest::Pixels pixels{1001, 700, bits, {}};  // 2 MB of 24-bit rows: blocks end inside rows, and inside bytes at 4 bits
    for (int y = 0; y < 700; ++y) {
      for (int x = 0; x < 1001; ++x) pixels.values.push_back(bits == 24 ? std::uint32_t(x) << 12 | std::uint32_t(y) : (x * 7 + y) % 16u);
    }
    const Bytes bytes = BmpBuilder().SetPixels(pixels).SetPalette(bits == 4 ? BlueRamp() : std::vector<Rgbq>{}).Build();
    EXPECT_EQ(DecodeFile(bytes).pixels, pixels.values) << bits;
    EXPECT_EQ(DecodeFile(bytes, backwards).pixels, pixels.values) << bits;
  }
}

Bytes Rgb24(int w, int h, bool topDown) {
  return BmpBuilder().SetPixels({w, h, 24, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 0x123456)}).SetTopDown(topDown).Build();
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
