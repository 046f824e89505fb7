#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "ImageHost/ImageAccess.h"
#include "Kes/Factory.h"
#include "ReadingSupport.h"
#include "Support/Expect.h"

namespace {

using namespace ReadingTest;
using BmpTest::Rgbq;

std::uint32_t Noise(int x, int y, std::uint32_t salt) {
  std::uint32_t v = std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u ^ salt * 97u;
  v ^= v >> 13;
  return v * 1274126177u;
}

// round(v * 255 / max) for the field of the mask, by floating point.
std::uint32_t Field(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const double max = double(mask >> shift), v = double((pixel & mask) >> shift);
  return static_cast<std::uint32_t>(std::floor(v * 255.0 / max + 0.5));
}

struct FormatCase {
  const char* name;
  int bits;
  std::uint32_t compression;
  std::vector<Rgbq> palette;  // empty: no palette
  std::uint32_t red, green, blue;  // masks of the bit-field formats
  Image::TImageType type;
};

const std::vector<Rgbq> kBlackWhite = {{0, 0, 0, 0}, {255, 255, 255, 0}};
const std::vector<Rgbq> kColours = {{0, 0, 255, 0}, {255, 0, 0, 0}, {0, 128, 0, 0}};
const std::vector<Rgbq> kGrays = {{0, 0, 0, 0}, {60, 60, 60, 0}, {128, 128, 128, 0}, {200, 200, 200, 0}, {255, 255, 255, 0}};

// What pixel value v of the stored image shows as, worked out from the case alone.
std::uint32_t Expected(const FormatCase& c, std::uint32_t v) {
  if (!c.palette.empty()) {
    const Rgbq colour = v < c.palette.size() ? c.palette[v] : Rgbq{0, 0, 0, 0};  // past the real entries: black
    switch (c.type) {
      case Image::ImageTypeBlackAndWhite: return colour.r == 0 ? 1 : 0;
      case Image::ImageTypeGray: return 255u - colour.r;
      case Image::ImageTypeRGB: return Rgb(colour);
    }
  }
  if (c.bits == 24) return v & 0xFFFFFF;
  return Field(v, c.red) << 16 | Field(v, c.green) << 8 | Field(v, c.blue);
}

std::uint32_t StoredValue(const FormatCase& c, int x, int y) {
  const std::uint32_t v = Noise(x, y, static_cast<std::uint32_t>(c.bits));
  if (!c.palette.empty()) {
    const std::uint32_t limit = c.bits == 1 ? 2 : std::uint32_t(c.palette.size()) + (c.bits == 4 ? 2 : 3);
    return v % std::min<std::uint32_t>(limit, 1u << c.bits);  // a few indices past the palette
  }
  if (c.bits == 16) return v & 0xFFFF;
  if (c.bits == 24) return v & 0xFFFFFF;
  return v;
}

BmpTest::BmpBuilder Build(const FormatCase& c, int width, int height, bool topDown) {
  BmpTest::Pixels pixels{width, height, c.bits, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.values.push_back(StoredValue(c, x, y));
  }
  BmpTest::BmpBuilder builder;
  builder.SetPixels(pixels).SetTopDown(topDown).SetRowPadByte(0xEE);
  if (!c.palette.empty()) builder.SetPalette(c.palette).SetClrUsed(static_cast<std::uint32_t>(c.palette.size()));
  if (c.compression == BmpTest::kBiBitfields) builder.SetCompression(c.compression).SetMasks(c.red, c.green, c.blue);
  return builder;
}

void ExpectDecoded(const FormatCase& c, const CDecoded& d, int width, int height) {
  ASSERT_EQ(d.type, c.type);
  ASSERT_EQ(d.width, width);
  ASSERT_EQ(d.height, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ASSERT_EQ(d.At(x, y), Expected(c, StoredValue(c, x, y))) << "pixel " << x << ", " << y;
    }
  }
}

const FormatCase kFormats[] = {
    {"Palette1BlackAndWhite", 1, 0, kBlackWhite, 0, 0, 0, Image::ImageTypeBlackAndWhite},
    {"Palette1Colour", 1, 0, {{0, 0, 255, 0}, {255, 0, 0, 0}}, 0, 0, 0, Image::ImageTypeRGB},
    {"Palette4Gray", 4, 0, kGrays, 0, 0, 0, Image::ImageTypeGray},
    {"Palette4Colour", 4, 0, kColours, 0, 0, 0, Image::ImageTypeRGB},
    {"Palette8Gray", 8, 0, kGrays, 0, 0, 0, Image::ImageTypeGray},
    {"Palette8BlackAndWhite", 8, 0, {{255, 255, 255, 0}, {0, 0, 0, 0}, {255, 255, 255, 0}}, 0, 0, 0,
     Image::ImageTypeBlackAndWhite},
    {"Palette8Colour", 8, 0, kColours, 0, 0, 0, Image::ImageTypeRGB},
    {"Rgb555", 16, 0, {}, 0x7C00, 0x03E0, 0x001F, Image::ImageTypeRGB},
    {"BitFields565", 16, BmpTest::kBiBitfields, {}, 0xF800, 0x07E0, 0x001F, Image::ImageTypeRGB},
    {"BitFields16Odd", 16, BmpTest::kBiBitfields, {}, 0x000F, 0x0FF0, 0x0000, Image::ImageTypeRGB},
    {"Rgb24", 24, 0, {}, 0, 0, 0, Image::ImageTypeRGB},
    {"Rgb32", 32, 0, {}, 0xFF0000, 0x00FF00, 0x0000FF, Image::ImageTypeRGB},
    {"BitFields32TenBits", 32, BmpTest::kBiBitfields, {}, 0x3FF00000, 0x000FFC00, 0x000003FF, Image::ImageTypeRGB},
};

struct GeometryCase {
  int width;
  bool topDown;
};

class Uncompressed : public testing::TestWithParam<std::tuple<FormatCase, GeometryCase>> {};

std::string UncompressedName(const testing::TestParamInfo<std::tuple<FormatCase, GeometryCase>>& testInfo) {
  const FormatCase& format = std::get<0>(testInfo.param);
  const GeometryCase& geometry = std::get<1>(testInfo.param);
  return std::string(format.name) + "Width" + std::to_string(geometry.width) + (geometry.topDown ? "TopDown" : "BottomUp");
}

TEST_P(Uncompressed, DecodesEveryPixel) {
  const auto& [format, geometry] = GetParam();
  const Bytes bytes = Build(format, geometry.width, 9, geometry.topDown).Build();
  ExpectDecoded(format, DecodeFile(bytes), geometry.width, 9);
  // Rows out of order: 5 first, then 7 and 3 (behind the chain's position).
  ExpectDecoded(format, DecodeFile(bytes, {5, 7, 3, 0, 1, 2, 4, 6, 8}), geometry.width, 9);
}

INSTANTIATE_TEST_SUITE_P(Reading, Uncompressed,
                         testing::Combine(testing::ValuesIn(kFormats),
                                          testing::Values(GeometryCase{1, false}, GeometryCase{7, true}, GeometryCase{33, false})),
                         UncompressedName);

TEST(UncompressedLarge, ImagesOfManyBlocksDecodeInAnyOrder) {
  const FormatCase& rgb24 = kFormats[10];
  const FormatCase& palette4 = kFormats[3];
  for (const FormatCase* format : {&rgb24, &palette4}) {
    const Bytes bytes = Build(*format, 1001, 700, false).Build();  // 2 MB of stored rows: blocks split rows
    ExpectDecoded(*format, DecodeFile(bytes), 1001, 700);
    std::vector<std::int32_t> backwards;
    for (int y = 699; y >= 0; --y) backwards.push_back(y);
    ExpectDecoded(*format, DecodeFile(bytes, backwards), 1001, 700);
  }
}

TEST(UncompressedTruncated, ACutPixelArrayIsAnInvalidFileNotAWrongImage) {
  Bytes bytes = Build(kFormats[10], 33, 40, false).Build();
  bytes.resize(bytes.size() - 200);
  EXPECT_CHECK(DecodeFile(bytes), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  EXPECT_CHECK(DecodeFile(bytes, {39, 0}), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
  // A row that failed in a later block is fetched again, never served from what the failure left.
  bytes = Build(kFormats[10], 1000, 400, true).Build();
  bytes.resize(bytes.size() - 30000);
  const auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(OpenFile(bytes)->GetReader());
  for (int attempt = 0; attempt < 2; ++attempt)
    EXPECT_CHECK(reader->GetRow(350), "ERR_IMAGE_INVALID_IMAGE_FILE", "test.bmp", "", "");
}

TEST(UncompressedTruncated, FailedOpensLeakNothing) {
  Bytes bytes = Build(kFormats[6], 8, 8, false).Build();
  bytes.resize(60);  // inside the palette
  const std::uint64_t before = Kes::GetMemoryStats().liveBlocks;
  for (int i = 0; i < 1000; ++i) {
    const KesTest::RaisedError raised = KesTest::Raised([&] { OpenFile(bytes); });
    ASSERT_EQ(raised.id, "ERR_IMAGE_INVALID_IMAGE_FILE");
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

struct Os2Case {
  const char* name;
  std::uint32_t headerSize;
  int bits;
  std::vector<Rgbq> palette;  // as stored: a core palette may stop short of 2^bits entries before the pixels
  std::vector<std::uint32_t> values;  // 2 x 2, top row first
  Image::TImageType type;
  std::vector<std::uint32_t> expected;
};

const Rgbq kRed{0, 0, 255, 0}, kGreen{0, 255, 0, 0}, kBlue{255, 0, 0, 0}, kBlack{0, 0, 0, 0}, kWhite{255, 255, 255, 0};
constexpr std::uint32_t kRgbRed = 0xFF0000, kRgbGreen = 0x00FF00, kRgbBlue = 0x0000FF;

class Os2Headers : public testing::TestWithParam<Os2Case> {};

TEST_P(Os2Headers, DecodeAsTheirFieldsSay) {
  const Os2Case& c = GetParam();
  BmpTest::BmpBuilder builder;
  builder.SetInfoHeaderSize(c.headerSize).SetPixels({2, 2, c.bits, c.values}).SetPalette(c.palette).SetRowPadByte(0xEE);
  const CDecoded d = DecodeFile(builder.Build());
  EXPECT_EQ(d.type, c.type);
  EXPECT_EQ(d.pixels, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, Os2Headers,
    testing::Values(
        Os2Case{"Core1BlackAndWhite", 12, 1, {kBlack, kWhite}, {0, 1, 1, 0}, Image::ImageTypeBlackAndWhite, {1, 0, 0, 1}},
        // Three of sixteen entries before the pixels: index 15 names none of them and shows black.
        Os2Case{"Core4ShortPalette", 12, 4, {kRed, kGreen, kBlue}, {0, 1, 2, 15}, Image::ImageTypeRGB,
                {kRgbRed, kRgbGreen, kRgbBlue, 0}},
        Os2Case{"Core8ShortPalette", 12, 8, {kRed, kGreen}, {1, 0, 200, 1}, Image::ImageTypeRGB, {kRgbGreen, kRgbRed, 0, kRgbGreen}},
        Os2Case{"Core24", 12, 24, {}, {0x123456, 0xABCDEF, 0x000001, 0xFF0080}, Image::ImageTypeRGB,
                {0x123456, 0xABCDEF, 0x000001, 0xFF0080}},
        Os2Case{"Os2Sixteen1", 16, 1, {kRed, kBlue}, {0, 1, 1, 1}, Image::ImageTypeRGB, {kRgbRed, kRgbBlue, kRgbBlue, kRgbBlue}},
        Os2Case{"Os2ThirtySix1", 36, 1, {kWhite, kBlack}, {1, 1, 0, 1}, Image::ImageTypeBlackAndWhite, {1, 1, 0, 1}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
