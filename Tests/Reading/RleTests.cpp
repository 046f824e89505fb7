#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageHost/ImageAccess.h"
#include "ReadingSupport.h"
#include "Support/Expect.h"

namespace {

using namespace ReadingTest;
using BmpTest::RleDepth;
using BmpTest::RleStream;

Bytes RleFile(int w, int h, int bits, const RleStream& stream, bool topDown = false) {
  return BmpTest::BmpBuilder().SetRle(w, h, bits, stream.Bytes()).SetPalette(BlueRamp(bits == 4 ? 16 : 256)).SetTopDown(topDown).Build();
}

struct CRleCase {
  const char* name;
  int width, bits;
  RleStream stream;
  std::vector<std::vector<std::uint32_t>> rows;  // the indices shown, top row first
  bool topDown = false;
};

class RleStreams : public testing::TestWithParam<CRleCase> {};

TEST_P(RleStreams, ShowTheIndicesWorkedOutByHand) {
  const CRleCase& c = GetParam();
  std::vector<std::uint32_t> shown;
  for (const auto& row : c.rows) shown.insert(shown.end(), row.begin(), row.end());
  EXPECT_EQ(DecodeFile(RleFile(c.width, int(c.rows.size()), c.bits, c.stream, c.topDown)).pixels, shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rle, RleStreams,
    testing::Values(
        CRleCase{"TopDownRowsAtTheTop", 2, 8, RleStream().EncodedRun(2, 9).EndOfLine().EncodedRun(1, 4).EndOfBitmap(),
                 {{9, 9}, {4, 0}}, true},
        CRleCase{"Rle4RunsAlternateNibbles", 6, 4, RleStream().EncodedRun(5, 0x4A).EndOfBitmap(), {{4, 10, 4, 10, 4, 0}}},
        // 3 pixels in 2 bytes (no pad), then 5 pixels in 3 bytes and a pad
        CRleCase{"Rle4AbsoluteRunsSkipTheirPad", 8, 4, RleStream().Raw({0, 3, 0x12, 0x30, 0, 5, 0x12, 0x34, 0x50, 0xEE}).EndOfBitmap(),
                 {{1, 2, 3, 1, 2, 3, 4, 5}}},
        // an encoded run of 9 on a row of 4, then an absolute run of 5 crossing the next row's end
        CRleCase{"RunsPastTheRowEndAreClipped", 4, 8,
                 RleStream().EncodedRun(9, 5).EndOfLine().EncodedRun(2, 1).Absolute({6, 7, 8, 9, 10}, RleDepth::Rle8)
                     .EncodedRun(1, 3).EndOfBitmap(),
                 {{1, 1, 6, 7}, {5, 5, 5, 5}}},
        // delta (2, 0) at column 3 of a width 5 row leaves x = 5; then delta (0, 3) at column 0
        CRleCase{"DeltasMoveRightAndDown", 5, 8,
                 RleStream().EncodedRun(3, 2).Delta(2, 0).EndOfLine().Delta(0, 3).EncodedRun(1, 8).EndOfBitmap(),
                 {{2, 2, 2, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {8, 0, 0, 0, 0}}, true},
        CRleCase{"DeltaBelowTheImageEndsDecoding", 3, 8, RleStream().EncodedRun(1, 4).Delta(10, 200).EncodedRun(3, 9),
                 {{4, 0, 0}, {0, 0, 0}}, true},
        CRleCase{"StreamCutShortGivesZeroForTheRest", 3, 8, RleStream().EncodedRun(2, 6).EndOfLine().EncodedRun(3, 7),
                 {{6, 6, 0}, {7, 7, 7}, {0, 0, 0}}, true},
        CRleCase{"CutInsideAnAbsoluteRun", 4, 8, RleStream().Raw({0, 4, 1, 2}), {{1, 2, 0, 0}}},
        CRleCase{"CodesAfterTheLastRowAreNotRead", 2, 8, RleStream().EncodedRun(2, 3).EndOfLine().Raw({0, 200}), {{3, 3}}}),
    [](const auto& param) { return std::string(param.param.name); });

// The largest page there is, from a few bytes: its bottom row is the stream's first.
TEST(Rle, AHugePageFromASmallFileDecodesWithoutReadingPastIt) {
  const auto image = OpenFile(RleFile(32512, 32512, 8, RleStream().EncodedRun(255, 1).EndOfBitmap()));
  EXPECT_EQ(image->GetImageInfo()->GetWidth(), 32512);
  EXPECT_EQ(image->GetImageInfo()->GetHeight(), 32512);
  const Image::CRGBColor* row = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader())->GetRow(32511);
  EXPECT_EQ(row[254], (Image::CRGBColor{.blue = 1}));
  EXPECT_EQ(row[255], Image::CRGBColor{});
}

TEST(Rle, APixelOffsetWithItsTopBitSetIsAnInvalidFile) {
  Bytes bytes = RleFile(2, 2, 8, RleStream().EndOfBitmap());
  BmpTest::Patch32(bytes, BmpTest::kOffBfOffBits, 0x80000010u);
  EXPECT_CHECK(OpenFile(bytes), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  BmpTest::Patch32(bytes, BmpTest::kOffBfOffBits, 5000);
  EXPECT_CHECK(OpenFile(bytes), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
}

}  // namespace
