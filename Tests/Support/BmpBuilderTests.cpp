#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Support/BmpBuilder.h"

namespace BmpTest {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Read32(const Bytes& bytes, std::size_t offset) {
  return uint32_t(bytes.at(offset)) | uint32_t(bytes.at(offset + 1)) << 8 |
         uint32_t(bytes.at(offset + 2)) << 16 | uint32_t(bytes.at(offset + 3)) << 24;
}

TEST(BmpBuilder, WritesTwoByTwo24BitFileByteForByte) {
  const Pixels image{2, 2, 24, {0x112233, 0x445566, 0x778899, 0xAABBCC}};
  const Bytes expected = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,  // size, width, height, planes, bits
      0, 0, 0, 0, 16, 0, 0, 0,                         // BI_RGB, image bytes
      0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,              // 2835 ppm both ways
      0, 0, 0, 0, 0, 0, 0, 0,                          // colours used, important
      0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0, 0,        // bottom row first, B G R
      0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0,
  };
  EXPECT_EQ(BmpBuilder().SetPixels(image).SetResolution(2835, 2835).Build(), expected);
}

TEST(PackPixels, PacksOneBitRowHighBitFirstAndPadsWithPadByte) {
  const Pixels image{10, 1, 1, {1, 0, 1, 1, 0, 0, 0, 1, 1, 1}};
  EXPECT_EQ(PackPixels(image, RowOrder::BottomUp, /*padByte=*/0xEE), (Bytes{0xB1, 0xC0, 0xEE, 0xEE}));
}

TEST(PackPixels, PutsFirstFourBitPixelInHighNibble) {
  const Pixels image{3, 1, 4, {0x1, 0x2, 0x3}};
  EXPECT_EQ(PackPixels(image, RowOrder::TopDown), (Bytes{0x12, 0x30, 0, 0}));
}

TEST(PackPixels, WritesSixteenAndThirtyTwoBitWordsLittleEndian) {
  EXPECT_EQ(PackPixels({1, 1, 16, {0x7C1F}}, RowOrder::BottomUp), (Bytes{0x1F, 0x7C, 0, 0}));
  EXPECT_EQ(PackPixels({1, 1, 32, {0x11223344}}, RowOrder::BottomUp), (Bytes{0x44, 0x33, 0x22, 0x11}));
}

TEST(PackPixels, RefusesValueWiderThanDepth) {
  EXPECT_THROW(PackPixels({1, 1, 4, {16}}, RowOrder::BottomUp), std::invalid_argument);
}

TEST(BmpBuilder, StoresTopRowFirstAndNegatesHeightWhenTopDown) {
  const Pixels image{1, 2, 8, {5, 9}};
  const Bytes topDown = BmpBuilder().SetTopDown().SetPixels(image).Build();
  EXPECT_EQ(int32_t(Read32(topDown, kOffBiHeight)), -2);
  EXPECT_EQ(Bytes(topDown.begin() + 54, topDown.end()), (Bytes{5, 0, 0, 0, 9, 0, 0, 0}));

  const Bytes bottomUp = BmpBuilder().SetPixels(image).SetTopDown().SetTopDown(false).Build();
  EXPECT_EQ(int32_t(Read32(bottomUp, kOffBiHeight)), 2);
  EXPECT_EQ(Bytes(bottomUp.begin() + 54, bottomUp.end()), (Bytes{9, 0, 0, 0, 5, 0, 0, 0}));
}

class InfoHeaderSize : public testing::TestWithParam<uint32_t> {};

TEST_P(InfoHeaderSize, PutsPixelsRightAfterHeaderOfThatSize) {
  const Bytes file = BmpBuilder().SetInfoHeaderSize(GetParam()).SetPixels({1, 1, 8, {7}}).Build();
  ASSERT_EQ(file.size(), 14 + GetParam() + 4);
  EXPECT_EQ(Read32(file, kOffBfOffBits), 14 + GetParam());
  EXPECT_EQ(Read32(file, kOffBiSize), GetParam());
  EXPECT_EQ(file[14 + GetParam()], 7);
}

INSTANTIATE_TEST_SUITE_P(PublishedSizes, InfoHeaderSize, testing::Values(12u, 40u, 52u, 56u, 64u, 108u, 124u),
                         [](const testing::TestParamInfo<uint32_t>& testInfo) {
                           return "Size" + std::to_string(testInfo.param);
                         });

TEST(BmpBuilder, WritesCoreHeaderWithSixteenBitSizes) {
  const Bytes file = BmpBuilder().SetInfoHeaderSize(kCoreHeaderSize).SetPixels({3, 2, 24, {0, 0, 0, 0, 0, 0}}).Build();
  EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 26), (Bytes{12, 0, 0, 0, 3, 0, 2, 0, 1, 0, 24, 0}));
}

TEST(BmpBuilder, PlacesMasksInsideV5Header) {
  const Bytes file = BmpBuilder()
                         .SetInfoHeaderSize(kV5HeaderSize)
                         .SetCompression(kBiBitfields)
                         .SetMasks(0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                         .SetPixels({1, 1, 32, {0x80402010}})
                         .Build();
  ASSERT_EQ(file.size(), 138u + 4);
  EXPECT_EQ(Read32(file, 54), 0xFF0000u);
  EXPECT_EQ(Read32(file, 58), 0xFF00u);
  EXPECT_EQ(Read32(file, 62), 0xFFu);
  EXPECT_EQ(Read32(file, 66), 0xFF000000u);
  EXPECT_EQ(Read32(file, kOffBfOffBits), 138u);
  EXPECT_EQ(Read32(file, 138), 0x80402010u);
}

TEST(BmpBuilder, PlacesMasksAfterFortyByteHeader) {
  const Bytes file = BmpBuilder().SetCompression(kBiBitfields).SetMasks(0xF800, 0x07E0, 0x001F).SetPixels({1, 1, 16, {0}}).Build();
  EXPECT_EQ(Read32(file, kOffBfOffBits), 66u);
  EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 66), (Bytes{0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}));
}

TEST(BmpBuilder, WritesPaletteAndGapBeforePixels) {
  const Bytes file = BmpBuilder().SetPalette({{1, 2, 3}, {4, 5, 6, 7}}).SetGap(2, 0xAA).SetPixels({1, 1, 1, {1}}).Build();
  EXPECT_EQ(Read32(file, kOffBfOffBits), 64u);
  EXPECT_EQ(Bytes(file.begin() + 54, file.end()), (Bytes{1, 2, 3, 0, 4, 5, 6, 7, 0xAA, 0xAA, 0x80, 0, 0, 0}));
}

TEST(BmpBuilder, BuildsDibWithoutFileHeader) {
  BmpBuilder builder;
  builder.SetPalette({{9, 9, 9}}).SetPixels({2, 1, 8, {0, 0}});
  const Bytes file = builder.Build();
  const Bytes dib = builder.BuildDib();
  EXPECT_EQ(Read32(dib, 0), 40u);
  EXPECT_EQ(dib, Bytes(file.begin() + 14, file.end()));
}

struct AbsoluteCase {
  const char* name;
  RleDepth depth;
  Bytes pixels;
  Bytes expected;
};

class RleAbsoluteRun : public testing::TestWithParam<AbsoluteCase> {};

TEST_P(RleAbsoluteRun, PadsOnlyOddByteCounts) {
  EXPECT_EQ(RleStream().Absolute(GetParam().pixels, GetParam().depth).Bytes(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RleAbsoluteRun,
    testing::Values(AbsoluteCase{"Rle8Three", RleDepth::Rle8, {0xA, 0xB, 0xC}, {0, 3, 0xA, 0xB, 0xC, 0}},
                    AbsoluteCase{"Rle8Four", RleDepth::Rle8, {1, 2, 3, 4}, {0, 4, 1, 2, 3, 4}},
                    AbsoluteCase{"Rle4Three", RleDepth::Rle4, {1, 2, 3}, {0, 3, 0x12, 0x30}},
                    AbsoluteCase{"Rle4Five", RleDepth::Rle4, {1, 2, 3, 4, 5}, {0, 5, 0x12, 0x34, 0x50, 0}}),
    [](const testing::TestParamInfo<AbsoluteCase>& testInfo) { return std::string(testInfo.param.name); });

TEST(EncodeRle, EncodesRowsBottomUpWithRunsAndLiterals) {
  const Pixels image{6, 2, 8, {4, 4, 4, 4, 4, 4, 7, 7, 7, 1, 2, 3}};
  const Bytes expected = {3, 7, 0, 3, 1, 2, 3, 0,  // bottom row: run, padded literal
                          0, 0, 6, 4, 0, 1};       // end of line, top row, end of bitmap
  EXPECT_EQ(EncodeRle(image, RleDepth::Rle8), expected);
}

TEST(EncodeRle, RepeatsRle4IndexInBothNibbles) {
  EXPECT_EQ(EncodeRle({3, 1, 4, {5, 5, 5}}, RleDepth::Rle4), (Bytes{3, 0x55, 0, 1}));
}

TEST(BmpBuilder, SetRleSelectsCompressionFromBitCount) {
  const Bytes codes = RleStream().EncodedRun(2, 1).EndOfBitmap().Bytes();
  const Bytes file = BmpBuilder().SetRle(2, 1, 4, codes).Build();
  EXPECT_EQ(Read32(file, kOffBiCompression), kBiRle4);
  EXPECT_EQ(Read32(file, kOffBiSizeImage), 4u);
  EXPECT_EQ(Bytes(file.begin() + 54, file.end()), (Bytes{2, 1, 0, 1}));
}

TEST(ByteHelpers, PatchAndTruncateRefuseToReachPastTheEnd) {
  Bytes bytes(6, 0);
  Patch32(bytes, 2, 0x01020304);
  EXPECT_EQ(bytes, (Bytes{0, 0, 4, 3, 2, 1}));
  EXPECT_THROW(Patch32(bytes, 3, 0), std::invalid_argument);
  EXPECT_THROW(Patch16(bytes, 5, 0), std::invalid_argument);
  EXPECT_THROW(Truncate(bytes, 7), std::invalid_argument);
  Truncate(bytes, 2);
  EXPECT_EQ(bytes.size(), 2u);
}

}  // namespace
}  // namespace BmpTest
