#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "BmpImageInfo.h"
#include "ErrorSites.h"
#include "ImageHost/HostServices.h"
#include "Support/BmpBuilder.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The header model loaded from a file's bytes, and the position the load ends at.
std::pair<Kes::CPtr<Image::CBmpImageInfo>, std::int64_t> Load(const Bytes& bytes) {
  auto source = Image::CreateMemoryFileSource(bytes.data(), static_cast<std::int64_t>(bytes.size()), u"header.bmp");
  auto file = source->OpenFile();
  auto info = Kes::MakeObject<Image::CBmpImageInfo>();
  const std::int64_t position = info->LoadHeader(*file, /*hasFileHeader=*/true);
  return {info, position};
}

// A 3 x 2 image with all 2^bits entries, entry i being (i, i + 1, i + 2) in file order.
BmpTest::BmpBuilder Paletted(int bits) {
  BmpTest::BmpBuilder builder;
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < 1 << bits; ++i) palette.push_back({std::uint8_t(i), std::uint8_t(i + 1), std::uint8_t(i + 2), 0});
  builder.SetPixels({3, 2, bits, std::vector<std::uint32_t>(6, 0)}).SetPalette(palette);
  return builder;
}

struct ResolutionCase {
  std::int32_t xPpm, yPpm, xDpi, yDpi;
};

class HeaderResolution : public testing::TestWithParam<ResolutionCase> {};

TEST_P(HeaderResolution, ConvertsPixelsPerMetreExactly) {
  const auto info = Load(Paletted(1).SetResolution(GetParam().xPpm, GetParam().yPpm).Build()).first;
  EXPECT_EQ(info->GetXResolution(), GetParam().xDpi);
  EXPECT_EQ(info->GetYResolution(), GetParam().yDpi);
}

// By hand: p * 0.0254 rounded half up; a result below 1 makes both 0.
INSTANTIATE_TEST_SUITE_P(Header, HeaderResolution,
                         testing::Values(ResolutionCase{11811, 3780, 300, 96}, ResolutionCase{3780, 0, 0, 0},
                                         ResolutionCase{-3780, 3780, 0, 0}, ResolutionCase{20, 20, 1, 1},
                                         ResolutionCase{19, 19, 0, 0}, ResolutionCase{INT32_MAX, INT32_MAX, 54546085, 54546085}));

struct FieldsCase {
  const char* name;
  std::uint32_t compression;
  std::uint16_t bitCount;
  std::uint32_t clrUsed;
  TBmpPixelFormat format;
  std::int32_t entries;  // 0: no palette is read
  std::int64_t fullSize;
};

class HeaderFields : public testing::TestWithParam<FieldsCase> {};

TEST_P(HeaderFields, ChooseThePixelFormatAndCountThePalette) {
  const FieldsCase& c = GetParam();
  Bytes bytes = Paletted(8).SetBitCount(c.bitCount).SetCompression(c.compression).SetClrUsed(c.clrUsed).Build();
  bytes.resize(bytes.size() + 1024, 0);
  const auto [info, position] = Load(bytes);
  EXPECT_EQ(info->GetPixelFormat(), c.format);
  const auto map = info->GetColorMap();
  EXPECT_EQ(map->GetSize(), c.entries);
  EXPECT_EQ(position, 54 + 4 * c.entries);
  if (c.entries == 0) return;
  EXPECT_EQ(map->GetFullSize(), c.fullSize);
  EXPECT_EQ(map->GetColor(1), (Image::CRGBColor{1, 2, 3}));
}

// The pixel formats here are those no decoded page or refusal of the reading tests tells apart.
INSTANTIATE_TEST_SUITE_P(
    Header, HeaderFields,
    testing::Values(FieldsCase{"TwoUsed", 0, 8, 2, BPF_Palette8, 2, 256}, FieldsCase{"TooManyUsed", 0, 8, 300, BPF_Palette8, 256, 256},
                    FieldsCase{"FourBitsThreeUsed", 0, 4, 3, BPF_Palette4, 3, 16},
                    // all ones: as many entries as the bit count allows, never four billion
                    FieldsCase{"AllOnesUsedCountsAsFull", 0, 8, 0xFFFFFFFFu, BPF_Palette8, 256, 256},
                    // run-length palettes are capped whatever the bit count says
                    FieldsCase{"Rle4WithEightBits", 2, 8, 0, BPF_Rle4, 16, 16}, FieldsCase{"Rle8WithFourBits", 1, 4, 0, BPF_Rle8, 16, 256},
                    FieldsCase{"Rle8WithSixteenBits", 1, 16, 0, BPF_Rle8, 256, 256}, FieldsCase{"BitFieldsOf24", 3, 24, 0, BPF_Unknown, 0, 0},
                    FieldsCase{"Jpeg", 4, 24, 0, BPF_Jpeg, 0, 0}, FieldsCase{"Png", 5, 24, 0, BPF_Png, 0, 0},
                    FieldsCase{"CompressionSix", 6, 8, 0, BPF_Unknown, 0, 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Header, EveryTruncationInsideTheHeaderOrPaletteIsRefused) {
  const Bytes good = Paletted(4).Build();
  for (std::size_t length = 0; length < 54 + 64; ++length) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_CHECK(Load(cut), "ERR_IMAGE_INVALID_IMAGE_FILE", "header.bmp", "", "");
  }
}

TEST(Header, BitsPerPixelByFormat) {
  const std::int32_t expected[] = {-1, 1, 4, 8, 16, 16, 24, 32, 32, 4, 8, -1, -1};
  for (int f = 0; f < 13; ++f) EXPECT_EQ(Image::CBmpImageInfo::GetBitsPerPixel(static_cast<TBmpPixelFormat>(f)), expected[f]);
  EXPECT_INTERNAL(Image::CBmpImageInfo::GetBitsPerPixel(static_cast<TBmpPixelFormat>(13)), Image::Sites::InfoPixelFormatNumber);
  auto info = Kes::MakeObject<Image::CBmpImageInfo>();
  EXPECT_INTERNAL(info->SetResolution(0, 5), Image::Sites::InfoResolutionBelowOne);
}

}  // namespace
