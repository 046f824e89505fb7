// The page of an opened file and the image made from a DIB in memory: what
// they describe, and the refusals of forms and sizes they cannot carry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "BmpImageFileImpl.h"
#include "MetadataEntry.h"
#include "ReadingSupport.h"
#include "Support/Expect.h"

namespace {

using namespace ReadingTest;

Kes::CPtr<Image::IImage> FromDib(const Bytes& dib, int x = 0, int y = 0) {
  return Image::CBmpImageFileFormat().CreateImageFromDIB(dib.data(), x, y);
}

// A 3 x 2 page of 8-bit indices with all 256 entries.
Bytes Palette8() {
  return BmpTest::BmpBuilder().SetPixels({3, 2, 8, std::vector<std::uint32_t>(6, 1)}).SetPalette(BlueRamp(256)).Build();
}

TEST(OpenedFile, HasOnePageAndRefusesOthers) {
  const Bytes bytes = Palette8();
  const auto file = OpenImageFile(bytes);
  EXPECT_EQ(file->GetFileName(), Kes::CUnicodeString(u"test.bmp"));
  EXPECT_EQ(file->GetFormatId(), 1);
  EXPECT_EQ(file->GetPageCount(), 1);
  EXPECT_CHECK(file->GetImageInfo(1), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "GetImageInfo", "0");
  EXPECT_CHECK(file->OpenImagePage(-1), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "OpenImagePage", "0");
  const auto info = Kes::CastOrRaise<Image::IBmpImageInfo>(file->GetImageInfo(0));
  // The source format (1) is the only metadata; there is no extra information.
  ASSERT_EQ(info->GetMetadata()->GetKeys().GetCount(), 1);
  std::int64_t format = 0;
  ASSERT_TRUE(info->GetMetadata()->GetEntry(u"img/sourceFileFormat")->GetInteger(format));
  EXPECT_EQ(format, 1);
  EXPECT_FALSE(info->GetExtraInfo());
}

using Edit = std::function<void(Bytes&)>;
Edit Set(std::size_t at, std::uint32_t value) {
  return [=](Bytes& b) { BmpTest::Patch32(b, at, value); };
}

constexpr const char *kInvalid = "ERR_IMAGE_INVALID_IMAGE_FILE", *kUnsupported = "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT",
                      *kTooBig = "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG";

struct RefusedCase {
  const char* name;
  Edit edit;
  const char* error;
  const char* param2 = "";
};

class OpenedFileRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(OpenedFileRefused, InTheOrderSizePixelFormatGeometryInLittleMemoryAndLeakNothing) {
  Bytes bytes = Palette8();
  GetParam().edit(bytes);
  Kes::ResetPeakMemory();
  const std::uint64_t before = Kes::GetMemoryStats().liveBytes;
  EXPECT_CHECK(OpenImageFile(bytes)->OpenImagePage(0), GetParam().error, "test.bmp", GetParam().param2, "");
  EXPECT_LT(Kes::GetMemoryStats().peakBytes - before, std::uint64_t{1} << 20);
  EXPECT_EQ(Kes::GetMemoryStats().liveBytes, before);  // a failed open leaves nothing behind
}

using BmpTest::kOffBiWidth, BmpTest::kOffBiHeight, BmpTest::kOffBiCompression, BmpTest::kOffBiSize, BmpTest::kBiJpeg,
    BmpTest::kCoreHeaderSize;

INSTANTIATE_TEST_SUITE_P(
    OpenedFile, OpenedFileRefused,
    testing::Values(
        RefusedCase{"TooWide", Set(kOffBiWidth, 32513), kTooBig, "32512 x 32512"},
        RefusedCase{"TooTallTopDown", Set(kOffBiHeight, std::uint32_t(-32513)), kTooBig, "32512 x 32512"},
        RefusedCase{"JpegAndTooWide", [](Bytes& b) { Set(kOffBiCompression, kBiJpeg)(b), Set(kOffBiWidth, 40000)(b); }, kTooBig,
                    "32512 x 32512"},
        RefusedCase{"Jpeg", Set(kOffBiCompression, kBiJpeg), kUnsupported, "compression 4 (JPEG), bit count 8"},
        RefusedCase{"BitCountThree", Set(BmpTest::kOffBiBitCount, 3), kUnsupported, "bit count 3"},
        // A core header has no compression field, so nothing says how 16 or 32 bits are laid out.
        RefusedCase{"CoreSixteenBits",
                    [](Bytes& b) { b = BmpTest::BmpBuilder().SetInfoHeaderSize(kCoreHeaderSize).SetPixels({2, 2, 16, {0, 0, 0, 0}}).Build(); },
                    kUnsupported, "bit count 16 in a 12-byte core header"},
        RefusedCase{"NegativeWidth", Set(kOffBiWidth, std::uint32_t(-20)), kInvalid},
        // -2^31 has no absolute value: not a positive height.
        RefusedCase{"HeightMinimum", Set(kOffBiHeight, 0x80000000u), kInvalid},
        RefusedCase{"HeaderSizeNearFourGigabytes", Set(kOffBiSize, 0xFFFFFFF8u), kInvalid},
        RefusedCase{"HeaderSizeThirteen", Set(kOffBiSize, 13), kUnsupported, "header size 13"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// One opened file shared by threads that each open and read its page (the thread sanitizer's case).
TEST(OpenedFile, PagesOpenFromManyThreadsAtOnce) {
  const Bytes bytes = Palette8();
  const auto file = OpenImageFile(bytes);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(file->GetImageInfo(0)->GetWidth(), 3);
        ASSERT_EQ(Describe(file->OpenImagePage(0)).At(2, 1), 1u);
      }
    });
  }
  for (auto& thread : threads) thread.join();
}

// 5 x 3 indices; over BlueRamp(256) each shows as itself.
const std::vector<std::uint32_t> kIndices{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

Bytes Palette8Dib(std::uint32_t headerSize) {
  return BmpTest::BmpBuilder().SetPixels({5, 3, 8, kIndices}).SetPalette(BlueRamp(256)).SetInfoHeaderSize(headerSize).SetResolution(3780, 3780).BuildDib();
}

TEST(Dib, DecodesAFullPaletteAfterEveryHeaderSize) {
  for (const std::uint32_t size : {BmpTest::kCoreHeaderSize, 16u, BmpTest::kInfoHeaderSize, BmpTest::kV4HeaderSize, BmpTest::kV5HeaderSize}) {
    const Bytes dib = Palette8Dib(size);
    const Bytes before = dib;
    EXPECT_EQ(Describe(FromDib(dib)).pixels, kIndices) << size;
    EXPECT_EQ(dib, before);  // the caller's memory is read, never changed
  }
}

TEST(Dib, PixelsFollowTheMasksWhereverTheyAre) {
  // After a 40-byte header, inside a V3 header, inside a V5 header.
  for (const std::uint32_t size : {BmpTest::kInfoHeaderSize, BmpTest::kV3HeaderSize, BmpTest::kV5HeaderSize}) {
    const Bytes dib = BmpTest::BmpBuilder().SetPixels({2, 1, 32, {0x11223344, 0xAABBCCDD}}).SetInfoHeaderSize(size)
                          .SetCompression(BmpTest::kBiBitfields).SetMasks(0x0000FF00, 0x00FF0000, 0xFF000000).BuildDib();
    EXPECT_EQ(Describe(FromDib(dib)).pixels, (std::vector<std::uint32_t>{0x332211, 0xCCBBAA})) << size;
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
  EXPECT_CHECK(FromDib(builder.BuildDib()), kTooBig, "", "32767 x 2147483647", "");
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
        RefusedCase{"RunLength", Set(BmpTest::kHdrBiCompression, BmpTest::kBiRle8), kUnsupported,
                    "compression 1 (RLE8), bit count 24 in a DIB"},
        RefusedCase{"ZeroWidth", Set(BmpTest::kHdrBiWidth, 0), kInvalid},
        // rows of 3 GB cannot be carried: refused before anything is read or reserved
        RefusedCase{"RowTooLong", Set(BmpTest::kHdrBiWidth, 1u << 30), kTooBig, "2147483647 bytes per row"},
        // 44 + 1024 bytes of header and palette: past the 1064 bytes the tables of a DIB (not V4 or V5) are read through.
        RefusedCase{"PaletteOutsideTheWindow", [](Bytes& b) { b = Palette8Dib(44); }, kInvalid}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
