// Small files whose pixels are worked out by hand: the headers, palettes,
// masks and run-length codes that the Pillow differential does not decide.
// The host's colour-mask tests check the scaling of every mask.
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

constexpr Image::TImageType kRgb = Image::ImageTypeRGB, kBw = Image::ImageTypeBlackAndWhite;

// A 2 x 2 image, top row first.
BmpBuilder Square(int bits, std::vector<std::uint32_t> values, std::vector<Rgbq> palette = {}, std::uint32_t headerSize = 40) {
  return BmpBuilder().SetPixels({2, 2, bits, std::move(values)}).SetPalette(std::move(palette)).SetInfoHeaderSize(headerSize);
}

// A run-length page whose palette shows each index i as the RGB value i.
BmpBuilder Rle(int width, int height, int bits, const RleStream& stream) {
  return BmpBuilder().SetRle(width, height, bits, stream.Bytes()).SetPalette(BlueRamp(1 << bits));
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
        {"Core24", [] { return Square(24, {0x123456, 0xABCDEF, 1, 0xFF0080}, {}, 12); }, kRgb, {0x123456, 0xABCDEF, 1, 0xFF0080}},
        {"Os2Sixteen1", [] { return Square(1, {0, 1, 1, 1}, {kRed, kBlue}, 16); }, kRgb, {kRgbRed, kRgbBlue, kRgbBlue, kRgbBlue}},
        // A header of a size no layout names is read through its first 40 bytes; its palette follows all of it.
        {"LongerHeader1", [] { return Square(1, {0, 1, 1, 0}, {kRed, kBlue}, 44); }, kRgb, {kRgbRed, kRgbBlue, kRgbBlue, kRgbRed}},
        // Index 5 is past the three entries: black.
        {"Palette8BlackAndWhite", [] { return Square(8, {0, 1, 2, 5}, {kWhite, kBlack, kWhite}).SetClrUsed(3); }, kBw,
         {kRgbWhite, 0, kRgbWhite, 0}},
        // A mask of all ones stands for the 24-bit defaults, for 16-bit pixels too.
        {"AllOnesMask", [] { return Square(16, {0x1234, 0xFFFF, 0, 0xFF}).SetCompression(kBitFields).SetMasks(0xF800, ~0u, 0x1F); },
         kRgb, {0x001234, 0x00FFFF, 0, 0x0000FF}},
        // Over a palette that shows each index i as the RGB value i.
        {"Rle4RunsAlternateNibbles", [] { return Rle(6, 1, 4, RleStream().EncodedRun(5, 0x4A).EndOfBitmap()); }, kRgb,
         {4, 10, 4, 10, 4, 0}},
        // 3 pixels in 2 bytes (no pad), then 5 pixels in 3 bytes and a pad
        {"Rle4AbsoluteRunsSkipTheirPad",
         [] { return Rle(8, 1, 4, RleStream().Raw({0, 3, 0x12, 0x30, 0, 5, 0x12, 0x34, 0x50, 0xEE}).EndOfBitmap()); }, kRgb,
         {1, 2, 3, 1, 2, 3, 4, 5}},
        // an encoded run of 9 on a row of 4, then an absolute run of 5 crossing the next row's end
        {"RleRunsPastTheRowEndAreClipped",
         [] {
           return Rle(4, 2, 8, RleStream().EncodedRun(9, 5).EndOfLine().EncodedRun(2, 1).Absolute({6, 7, 8, 9, 10}, kRle8)
                                   .EncodedRun(1, 3).EndOfBitmap());
         },
         kRgb, {1, 1, 6, 7, 5, 5, 5, 5}},
        // delta (2, 0) at column 3 of a width 5 row leaves x = 5; then delta (0, 3) at column 0
        {"RleDeltasMoveRightAndDown",
         [] { return Rle(5, 5, 8, RleStream().EncodedRun(3, 2).Delta(2, 0).EndOfLine().Delta(0, 3).EncodedRun(1, 8)).SetTopDown(); },
         kRgb, {2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0}},
        {"RleDeltaBelowTheImageEndsDecoding",
         [] { return Rle(3, 2, 8, RleStream().EncodedRun(1, 4).Delta(10, 200).EncodedRun(3, 9)).SetTopDown(); }, kRgb,
         {4, 0, 0, 0, 0, 0}},
        {"RleStreamCutShortGivesZeroForTheRest",
         [] { return Rle(3, 3, 8, RleStream().EncodedRun(2, 6).EndOfLine().EncodedRun(3, 7)).SetTopDown(); }, kRgb,
         {6, 6, 0, 7, 7, 7, 0, 0, 0}},
        {"RleCutInsideAnAbsoluteRun", [] { return Rle(4, 1, 8, RleStream().Raw({0, 4, 1, 2})); }, kRgb, {1, 2, 0, 0}},
        {"RleCodesAfterTheLastRowAreNotRead", [] { return Rle(2, 1, 8, RleStream().EncodedRun(2, 3).EndOfLine().Raw({0, 200})); },
         kRgb, {3, 3}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(UncompressedTruncated, ACutPixelArrayIsAnInvalidFileNotAWrongImage) {
  Bytes bytes = BmpBuilder().SetPixels({33, 40, 24, std::vector<std::uint32_t>(33 * 40, 0x123456)}).Build();
  bytes.resize(bytes.size() - 200);
  EXPECT_CHECK(DecodeFile(bytes, {39, 0}), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  // A row that failed in a later block is fetched again, never served from what the failure left.
  bytes = BmpBuilder().SetPixels({1000, 400, 24, std::vector<std::uint32_t>(1000 * 400, 0x123456)}).SetTopDown().Build();
  bytes.resize(bytes.size() - 30000);
  const auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(OpenFile(bytes)->GetReader());
  for (int attempt = 0; attempt < 2; ++attempt)
    EXPECT_CHECK(reader->GetRow(350), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
}

// The largest page there is, from a few bytes: its bottom row is the stream's first.
TEST(Rle, AHugePageFromASmallFileDecodesWithoutReadingPastIt) {
  const auto image = OpenFile(Rle(32512, 32512, 8, RleStream().EncodedRun(255, 1).EndOfBitmap()).Build());
  const Image::CRGBColor* row = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader())->GetRow(32511);
  EXPECT_EQ(row[254], (Image::CRGBColor{.blue = 1}));
  EXPECT_EQ(row[255], Image::CRGBColor{});
}

TEST(Rle, APixelOffsetWithItsTopBitSetIsAnInvalidFile) {
  Bytes bytes = Rle(2, 2, 8, RleStream().EndOfBitmap()).Build();
  BmpTest::Patch32(bytes, BmpTest::kOffBfOffBits, 0x80000010u);
  EXPECT_CHECK(OpenFile(bytes), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  BmpTest::Patch32(bytes, BmpTest::kOffBfOffBits, 5000);
  EXPECT_CHECK(OpenFile(bytes), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
}

}  // namespace
