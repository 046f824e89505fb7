#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "BmpImageInfo.h"
#include "BmpImageRecorder.h"
#include "BmpImageSaveParams.h"
#include "ErrorSites.h"
#include "HostImages.h"
#include "Kes/File.h"
#include "Support/Expect.h"

namespace {

using namespace WritingTest;
using Bytes = std::vector<std::uint8_t>;

Bytes Record(const Kes::CPtr<Image::IImage>& image, const Kes::CPtr<Image::IBmpImageSaveParams>& params = {}) {
  Kes::CMemoryFile file(1024);
  Image::RecordBmpImage(file, image, Image::PlanBmpImage(image, params, u"memory.bmp"));
  Bytes bytes(static_cast<std::size_t>(file.GetLength()));
  file.SeekToBegin();
  file.Read(bytes.data(), file.GetLength());
  return bytes;
}

// The fields every file shares.
void ExpectHeaders(const Bytes& b, std::uint32_t fileSize, std::uint32_t offset, std::int32_t w, std::int32_t h,
                   std::uint32_t bits, std::uint32_t ppm) {
  ASSERT_EQ(b.size(), fileSize);
  const std::vector<std::uint32_t> fields = {U16(b, 0), U32(b, 2), U32(b, 6), U32(b, 10), U32(b, 14), U32(b, 18), U32(b, 22),
                                             U16(b, 26), U16(b, 28), U32(b, 30), U32(b, 38), U32(b, 42), U32(b, 46)};
  EXPECT_EQ(fields, (std::vector<std::uint32_t>{0x4D42, fileSize, 0, offset, 40, std::uint32_t(w), std::uint32_t(h), 1, bits,
                                                0, ppm, ppm, 0}));
}

TEST(Recorder, WritesAOnePixelBlackAndWhiteFile) {
  for (const bool black : {true, false}) {
    const Bytes b = Record(BlackAndWhiteImage(1, 1, 0, [&](int, int) { return black; }));
    ExpectHeaders(b, 66, 62, 1, 1, 1, 0);
    EXPECT_EQ((Bytes{b.begin() + 54, b.begin() + 62}), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ((Bytes{b.begin() + 62, b.end()}), (Bytes{static_cast<std::uint8_t>(black ? 0x7F : 0xFF), 0, 0, 0}));
  }
}

// A black-and-white image of one row given as a stroke list, as a caller's own image may hand it over.
class CStrokeRowImage : public Image::IImage, public Image::IRLEImageReader {
public:
  CStrokeRowImage(std::int32_t width, std::vector<Image::CRleStroke> row)
      : m_info(Kes::MakeObject<CInfo>(width, 1, 0)), m_row(std::move(row)) {}
  Kes::CPtr<Image::IImageInfo> GetImageInfo() const override { return m_info; }
  Image::TImageType GetImageType() const override { return Image::ImageTypeBlackAndWhite; }
  Kes::CPtr<Kes::IObject> GetReader() override { return Kes::CPtr<Kes::IObject>(static_cast<Image::IRLEImageReader*>(this)); }
  Kes::CPtr<Kes::IObject> GetWriter() override { return {}; }
  void ReleaseRow(std::int32_t) override {}
  const Image::CRleStroke* GetRow(std::int32_t) override { return m_row.data(); }

private:
  Kes::CPtr<Image::IImageInfo> m_info;
  std::vector<Image::CRleStroke> m_row;
};

TEST(Recorder, TouchingStrokesFillTheRowAndARowWithoutEndStrokeIsRefused) {
  const Image::CRleStroke end = Image::kEndStroke;
  const Bytes b = Record(Kes::MakeObject<CStrokeRowImage>(4, std::vector<Image::CRleStroke>{{0, 1}, {1, 2}, {2, 3}, {3, 4}, end}));
  EXPECT_EQ(b.at(62), 0x0F);  // four black pixels, then the white padding bits
  EXPECT_INTERNAL(Record(Kes::MakeObject<CStrokeRowImage>(4, std::vector<Image::CRleStroke>(5, {0, 1}))),
                  Image::Sites::RecorderNoEndStroke);
}

TEST(Recorder, WritesAGrayFileWithItsPaletteAndRowsBottomUp) {
  const Bytes b = Record(GrayImage(10, 3, 96, [](int x, int y) { return 10 * y + x; }));
  ExpectHeaders(b, 1114, 1078, 10, 3, 8, 3780);
  EXPECT_EQ((Bytes{b.begin() + 54, b.begin() + 58}), (Bytes{255, 255, 255, 0}));
  EXPECT_EQ((Bytes{b.begin() + 54 + 255 * 4, b.begin() + 58 + 255 * 4}), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(b[1102], 0);       // top row, first pixel
  EXPECT_EQ(b[1102 + 9], 9);   // top row, last pixel
  EXPECT_EQ(b[1078], 20);      // bottom row lands first in the file
  EXPECT_EQ(b[1078 + 10], 0);  // padding
}

TEST(Recorder, WritesAnRgbFileWithPaddedRows) {
  const Bytes b = Record(RgbImage(5, 2, 72, [](int x, int y) { return 0x102030u + 0x010101u * (10 * y + x); }));
  ExpectHeaders(b, 86, 54, 5, 2, 24, 2835);
  EXPECT_EQ((Bytes{b.begin() + 70, b.begin() + 73}), (Bytes{0x30, 0x20, 0x10}));  // top row at 70, blue first
  EXPECT_EQ((Bytes{b.begin() + 54, b.begin() + 57}), (Bytes{0x3A, 0x2A, 0x1A}));  // bottom row at 54
  EXPECT_EQ(b[69], 0);
  EXPECT_EQ(b[85], 0);
}

// Rows are written in runs of up to 512 KiB; 700 x 600 RGB takes three, the
// last one short, and a 200000-pixel-wide gray row is written on its own.
TEST(Recorder, RowsWrittenInRunsLandWhereRowByRowWouldPutThem) {
  for (const auto& [width, height, rgb] : {std::tuple{700, 600, true}, std::tuple{200000, 3, false}}) {
    const auto value = [](int x, int y) { return static_cast<std::uint32_t>(x * 7 + y * 13) & 0xFFu; };
    const Bytes b = rgb ? Record(RgbImage(width, height, 0, [&](int x, int y) { return value(x, y) * 0x010101u; }))
                        : Record(GrayImage(width, height, 0, value));
    const std::size_t offset = U32(b, 10), stride = (std::size_t(width) * (rgb ? 3 : 1) + 3) / 4 * 4;
    ASSERT_EQ(b.size(), offset + stride * std::size_t(height));
    for (int y = 0; y < height; ++y) {
      const std::size_t row = offset + std::size_t(height - 1 - y) * stride;
      for (const int x : {0, 1, width / 2, width - 1}) {
        ASSERT_EQ(b[row + std::size_t(x) * (rgb ? 3 : 1)], value(x, y)) << width << " x " << height << " at " << x << "," << y;
      }
    }
  }
}

struct UnsuitedCase {
  const char* name;
  Image::TImageType type;
  TBmpPixelFormat format;
};

class RecorderUnsuitedFormat : public testing::TestWithParam<UnsuitedCase> {};

TEST_P(RecorderUnsuitedFormat, IsRefusedWhenTheFileIsPlanned) {
  Kes::CPtr<Image::IImage> image;
  switch (GetParam().type) {
    case Image::ImageTypeBlackAndWhite: image = BlackAndWhiteImage(3, 3, 0, [](int, int) { return true; }); break;
    case Image::ImageTypeGray: image = GrayImage(3, 3, 0, [](int, int) { return 1; }); break;
    case Image::ImageTypeRGB: image = RgbImage(3, 3, 0, [](int, int) { return 1u; }); break;
  }
  auto params = Kes::MakeObject<Image::CBmpImageSaveParams>();
  params->SetPixelFormat(GetParam().format);
  EXPECT_CHECK(Image::PlanBmpImage(image, params, u"x.bmp"), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "AddImagePage",
               "1");
}

INSTANTIATE_TEST_SUITE_P(Recorder, RecorderUnsuitedFormat,
                         testing::Values(UnsuitedCase{"DefaultOnRgb", Image::ImageTypeRGB, BPF_Unknown},
                                         UnsuitedCase{"OneBitOnRgb", Image::ImageTypeRGB, BPF_Palette1},
                                         UnsuitedCase{"GrayOnBlackAndWhite", Image::ImageTypeBlackAndWhite, BPF_Palette8},
                                         UnsuitedCase{"OutOfRange", Image::ImageTypeRGB, static_cast<TBmpPixelFormat>(40)}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Recorder, SuitedSaveParamsAreAccepted) {
  auto params = Kes::MakeObject<Image::CBmpImageSaveParams>();
  params->SetPixelFormat(BPF_Rgb24);
  EXPECT_EQ(Record(RgbImage(1, 1, 0, [](int, int) { return 0u; }), params).size(), 58u);
}

TEST(Recorder, FilesPastFourGigabytesAreRefusedWhenPlanned) {
  // 40000 x 40000 x 3 bytes: the image is never read, only its size.
  auto image = Services()->CreateBlankRGBImage(Kes::MakeObject<CInfo>(40000, 40000, 0), 4);
  EXPECT_CHECK(Image::PlanBmpImage(image, {}, u"big.bmp"), "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "big.bmp",
               "4294967295 bytes", "");
}

struct ResolutionCase {
  std::int64_t dpi;
  std::int32_t ppm;
};

class RecorderResolution : public testing::TestWithParam<ResolutionCase> {};

TEST_P(RecorderResolution, ConvertsDotsPerInchExactly) {
  EXPECT_EQ(Image::PixelsPerMetreFromDpi(GetParam().dpi), GetParam().ppm);
}

// By hand: dpi * 10000 / 254 rounded half up; 96 -> 3779.53 -> 3780.
INSTANTIATE_TEST_SUITE_P(Recorder, RecorderResolution,
                         testing::Values(ResolutionCase{96, 3780}, ResolutionCase{72, 2835}, ResolutionCase{-5, 0},
                                         ResolutionCase{54546084, 2147483622}, ResolutionCase{54546085, 2147483647}));

}  // namespace
