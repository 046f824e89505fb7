#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "BmpImageInfo.h"
#include "ErrorSites.h"
#include "ImageHost/HostServices.h"
#include "MetadataEntry.h"
#include "Support/BmpBuilder.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr const char* kName = "header.bmp";

struct CLoaded {
  Kes::CPtr<Image::CBmpImageInfo> info;
  std::int64_t position = 0;
};

// The header model loaded from bytes, as a file (with file header) or as a DIB.
CLoaded Load(const Bytes& bytes, bool hasFileHeader = true) {
  auto source = Image::CreateMemoryFileSource(bytes.data(), static_cast<std::int64_t>(bytes.size()), u"header.bmp");
  auto file = source->OpenFile();
  CLoaded loaded{Kes::MakeObject<Image::CBmpImageInfo>()};
  loaded.position = loaded.info->LoadHeader(*file, hasFileHeader);
  return loaded;
}

BmpTest::Pixels Solid(int w, int h, int bits) { return {w, h, bits, std::vector<std::uint32_t>(std::size_t(w) * h, 0)}; }

BmpTest::BmpBuilder Paletted(int bits, int entries) {
  BmpTest::BmpBuilder builder;
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < entries; ++i) palette.push_back({std::uint8_t(i), std::uint8_t(i + 1), std::uint8_t(i + 2), 0});
  builder.SetPixels(Solid(3, 2, bits)).SetPalette(palette);
  return builder;
}

struct CombinationCase {
  std::uint32_t compression;
  std::uint16_t bitCount;
  TBmpPixelFormat format;
};

class HeaderCombination : public testing::TestWithParam<CombinationCase> {};

TEST_P(HeaderCombination, ChoosesThePixelFormat) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels(Solid(2, 2, 8)).SetPalette(std::vector<BmpTest::Rgbq>(256)).SetMasks(0xF800, 0x07E0, 0x001F);
  builder.SetBitCount(GetParam().bitCount);
  builder.SetCompression(GetParam().compression);
  Bytes bytes = builder.Build();
  bytes.resize(bytes.size() + 4096, 0);  // room for any palette the header may ask for
  EXPECT_EQ(Load(bytes).info->GetPixelFormat(), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(
    Header, HeaderCombination,
    testing::Values(CombinationCase{0, 1, BPF_Palette1}, CombinationCase{0, 4, BPF_Palette4}, CombinationCase{0, 8, BPF_Palette8},
                    CombinationCase{0, 16, BPF_Rgb16}, CombinationCase{0, 24, BPF_Rgb24}, CombinationCase{0, 32, BPF_Rgb32},
                    CombinationCase{0, 0, BPF_Unknown}, CombinationCase{0, 2, BPF_Unknown}, CombinationCase{0, 9, BPF_Unknown},
                    CombinationCase{0, 33, BPF_Unknown}, CombinationCase{1, 8, BPF_Rle8}, CombinationCase{1, 4, BPF_Rle8},
                    CombinationCase{2, 4, BPF_Rle4}, CombinationCase{3, 16, BPF_BitFields16}, CombinationCase{3, 32, BPF_BitFields32},
                    CombinationCase{3, 24, BPF_Unknown}, CombinationCase{4, 24, BPF_Jpeg}, CombinationCase{5, 24, BPF_Png},
                    CombinationCase{6, 8, BPF_Unknown}, CombinationCase{7, 8, BPF_Unknown}));

struct ResolutionCase {
  std::int32_t xPpm, yPpm, xDpi, yDpi;
};

class HeaderResolution : public testing::TestWithParam<ResolutionCase> {};

TEST_P(HeaderResolution, ConvertsPixelsPerMetreExactly) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels(Solid(1, 1, 24)).SetResolution(GetParam().xPpm, GetParam().yPpm);
  const auto info = Load(builder.Build()).info;
  EXPECT_EQ(info->GetXResolution(), GetParam().xDpi);
  EXPECT_EQ(info->GetYResolution(), GetParam().yDpi);
}

// By hand: p * 0.0254 rounded half up; a result below 1 makes both 0.
INSTANTIATE_TEST_SUITE_P(Header, HeaderResolution,
                         testing::Values(ResolutionCase{3780, 3780, 96, 96}, ResolutionCase{2835, 2835, 72, 72},
                                         ResolutionCase{11811, 3780, 300, 96}, ResolutionCase{3780, 0, 0, 0},
                                         ResolutionCase{-3780, 3780, 0, 0}, ResolutionCase{20, 20, 1, 1},
                                         ResolutionCase{19, 19, 0, 0}, ResolutionCase{INT32_MAX, INT32_MAX, 54546085, 54546085}));

struct PaletteCase {
  const char* name;
  std::uint32_t compression;
  std::uint16_t bitCount;
  std::uint32_t clrUsed;
  std::int32_t entries;
  std::int64_t fullSize;
};

class HeaderPalette : public testing::TestWithParam<PaletteCase> {};

TEST_P(HeaderPalette, CountsEntriesAndFullSize) {
  const PaletteCase& c = GetParam();
  BmpTest::BmpBuilder builder = Paletted(8, 256);
  builder.SetBitCount(c.bitCount);
  builder.SetCompression(c.compression).SetClrUsed(c.clrUsed);
  Bytes bytes = builder.Build();
  bytes.resize(bytes.size() + 1024, 0);
  const CLoaded loaded = Load(bytes);
  const auto map = loaded.info->GetColorMap();
  EXPECT_EQ(map->GetSize(), c.entries);
  EXPECT_EQ(map->GetFullSize(), c.fullSize);
  EXPECT_EQ(loaded.position, 54 + 4 * c.entries);
  EXPECT_EQ(map->GetColor(1), (Image::CRGBColor{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Header, HeaderPalette,
                         testing::Values(PaletteCase{"TwoUsed", 0, 8, 2, 2, 256}, PaletteCase{"TooManyUsed", 0, 8, 300, 256, 256},
                                         PaletteCase{"OneBit", 0, 1, 0, 2, 2}, PaletteCase{"FourBitsThreeUsed", 0, 4, 3, 3, 16},
                                         PaletteCase{"HugeUsedCountsAsFull", 0, 8, 0x80000000u, 256, 256},
                                         PaletteCase{"Rle8", 1, 8, 0, 256, 256}, PaletteCase{"Rle4", 2, 4, 0, 16, 16},
                                         // run-length palettes are capped whatever the bit count says
                                         PaletteCase{"Rle4WithEightBits", 2, 8, 0, 16, 16},
                                         PaletteCase{"Rle8WithSixteenBits", 1, 16, 0, 256, 256}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Header, ReadsTheFirstFortyBytesOfAnyLongerHeaderAndThePaletteAfterIt) {
  for (const std::uint32_t size : {44u, BmpTest::kV5HeaderSize}) {
    const CLoaded loaded = Load(Paletted(8, 256).SetInfoHeaderSize(size).Build());
    EXPECT_EQ(loaded.info->GetHeaderSize(), size);
    EXPECT_EQ(loaded.position, 14 + size + 1024);
    EXPECT_EQ(loaded.info->GetColorMap()->GetColor(255), (Image::CRGBColor{255, 0, 1}));
  }
  EXPECT_EQ(Load(BmpTest::BmpBuilder().SetPixels(Solid(1, 1, 24)).SetInfoHeaderSize(BmpTest::kV4HeaderSize).Build()).position, 54);
}

struct MaskCase {
  const char* name;
  std::uint32_t headerSize;
  std::uint16_t bitCount;
  std::uint32_t red, green, blue;
  std::uint32_t expectRed, expectGreen, expectBlue;
};

class HeaderMasks : public testing::TestWithParam<MaskCase> {};

TEST_P(HeaderMasks, PassesTheFileMasksOn) {
  const MaskCase& c = GetParam();
  BmpTest::BmpBuilder builder;
  builder.SetPixels(Solid(2, 2, c.bitCount)).SetInfoHeaderSize(c.headerSize).SetCompression(BmpTest::kBiBitfields);
  builder.SetMasks(c.red, c.green, c.blue);
  const CLoaded loaded = Load(builder.Build());
  const auto mask = loaded.info->GetColorMask();
  EXPECT_EQ(mask->GetPixelSize(), c.bitCount == 16 ? Image::PixelSize16 : Image::PixelSize32);
  EXPECT_EQ(mask->GetRedMask(), c.expectRed);
  EXPECT_EQ(mask->GetGreenMask(), c.expectGreen);
  EXPECT_EQ(mask->GetBlueMask(), c.expectBlue);
  EXPECT_EQ(loaded.position, 14 + 52);  // just past the three masks, wherever they are
}

INSTANTIATE_TEST_SUITE_P(
    Header, HeaderMasks,
    testing::Values(MaskCase{"After40", 40, 16, 0xF800, 0x07E0, 0x001F, 0xF800, 0x07E0, 0x001F},
                    MaskCase{"InsideV3", 56, 16, 0x7C00, 0x03E0, 0x001F, 0x7C00, 0x03E0, 0x001F},
                    MaskCase{"InsideV5", 124, 32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF000000, 0xFF0000, 0xFF00},
                    // a mask of all ones stands for the 24-bit defaults, for 16-bit pixels too
                    MaskCase{"AllOnesGreen", 40, 16, 0xF800, 0xFFFFFFFF, 0x001F, 0xFF0000, 0x00FF00, 0x0000FF}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Header, ReportsTheAbsoluteHeightAndRowOrder) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels(Solid(3, 100, 24));
  EXPECT_TRUE(Load(builder.Build()).info->IsBottomUp());
  builder.SetTopDown();
  const auto info = Load(builder.Build()).info;
  EXPECT_EQ(info->GetHeight(), 100);
  EXPECT_FALSE(info->IsBottomUp());
  Bytes bytes = builder.Build();
  BmpTest::Patch32(bytes, BmpTest::kOffBiHeight, 0x80000000u);
  EXPECT_EQ(Load(bytes).info->GetHeight(), 0);  // -2^31 has no absolute value: not a positive height
}

TEST(Header, CarriesTheSourceFormatMetadata) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels(Solid(1, 1, 24));
  const auto metadata = Load(builder.Build()).info->GetMetadata();
  ASSERT_EQ(metadata->GetKeys().GetCount(), 1);
  std::int64_t format = 0;
  ASSERT_TRUE(metadata->GetEntry(u"img/sourceFileFormat")->GetInteger(format));
  EXPECT_EQ(format, 1);
  EXPECT_FALSE(Load(builder.Build()).info->GetExtraInfo());
}

TEST(Header, EveryTruncationInsideTheHeaderOrPaletteIsRefused) {
  const Bytes good = Paletted(4, 16).Build();
  for (std::size_t length = 0; length < 54 + 64; ++length) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_CHECK(Load(cut), "ERR_IMAGE_INVALID_IMAGE_FILE", kName, "", "");
  }
}

struct HostileCase {
  const char* name;
  std::function<void(Bytes&)> edit;
  const char* error;
  const char* form = "";  // the unsupported form the refusal names
};

class HeaderHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(HeaderHostile, FailsFastWithTheRightErrorAndLittleMemory) {
  Bytes bytes = Paletted(8, 256).Build();
  GetParam().edit(bytes);
  Kes::ResetPeakMemory();
  const std::uint64_t before = Kes::GetMemoryStats().liveBytes;
  EXPECT_CHECK(Load(bytes), GetParam().error, kName, GetParam().form, "");
  EXPECT_LT(Kes::GetMemoryStats().peakBytes - before, std::uint64_t{1} << 20);
}

INSTANTIATE_TEST_SUITE_P(
    Header, HeaderHostile,
    testing::Values(
        HostileCase{"AllColoursUsedWithoutThem", [](Bytes& b) {
                      BmpTest::Patch32(b, BmpTest::kOffBiClrUsed, 0xFFFFFFFFu);
                      b.resize(54 + 600);
                    },
                    "ERR_IMAGE_INVALID_IMAGE_FILE"},
        HostileCase{"PalettePastTheEnd", [](Bytes& b) { b.resize(54 + 1000); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
        HostileCase{"HeaderSizeNearFourGigabytes", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiSize, 0xFFFFFFF8u); },
                    "ERR_IMAGE_INVALID_IMAGE_FILE"},
        HostileCase{"HeaderSizeThirteen", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiSize, 13); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "header size 13"},
        HostileCase{"ZeroHeaderSize", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiSize, 0); },
                    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "header size 0"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Header, ADibPaletteOutsideItsWindowIsRefused) {
  BmpTest::BmpBuilder builder = Paletted(8, 256);
  builder.SetInfoHeaderSize(BmpTest::kV4HeaderSize);
  Bytes dib = builder.BuildDib();
  dib.resize(1064);  // the window a DIB is read through
  auto source = Image::CreateMemoryFileSource(dib.data(), 1064);
  auto file = source->OpenFile();
  auto info = Kes::MakeObject<Image::CBmpImageInfo>();
  EXPECT_CHECK(info->LoadHeader(*file, false), "ERR_IMAGE_INVALID_IMAGE_FILE", "", "", "");
  builder.SetInfoHeaderSize(BmpTest::kInfoHeaderSize);
  const CLoaded loaded = Load(builder.BuildDib(), false);
  EXPECT_EQ(loaded.position, 40 + 1024);
}

TEST(Header, BitsPerPixelByFormat) {
  const std::int32_t expected[] = {-1, 1, 4, 8, 16, 16, 24, 32, 32, 4, 8, -1, -1};
  for (int f = 0; f < 13; ++f) EXPECT_EQ(Image::CBmpImageInfo::GetBitsPerPixel(static_cast<TBmpPixelFormat>(f)), expected[f]);
  EXPECT_INTERNAL(Image::CBmpImageInfo::GetBitsPerPixel(static_cast<TBmpPixelFormat>(13)), Image::Sites::InfoPixelFormatNumber);
  auto info = Kes::MakeObject<Image::CBmpImageInfo>();
  EXPECT_INTERNAL(info->SetResolution(0, 5), Image::Sites::InfoResolutionBelowOne);
}

TEST(Header, RowGeometryIsSixtyFourBit) {
  EXPECT_EQ(Image::RowBytes(10, 1), 2);
  EXPECT_EQ(Image::Stride(2), 4);
  EXPECT_EQ(Image::RowBytes(INT32_MAX, 32), std::int64_t{INT32_MAX} * 4);
  EXPECT_EQ(Image::Stride(std::int64_t{32512} * 3), 97536);
}

}  // namespace
