#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "BmpImageFileImpl.h"
#include "ImageHost/HostServices.h"
#include "ReadingSupport.h"
#include "Support/Expect.h"

namespace {

using namespace ReadingTest;

Kes::CPtr<Image::IImageFile> Opened(const Bytes& bytes) {
  return Image::CBmpImageFileFormat().OpenImageFile(
      Image::CreateMemoryFileSource(bytes.data(), static_cast<std::int64_t>(bytes.size()), u"test.bmp"));
}

Bytes Rgb(int w, int h) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels({w, h, 24, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 0x00FF00)});
  return builder.Build();
}

Bytes CoreRgb(int bits) {
  BmpTest::BmpBuilder builder;
  builder.SetInfoHeaderSize(BmpTest::kCoreHeaderSize).SetPixels({2, 2, bits, {0, 0, 0, 0}});
  return builder.Build();
}

TEST(OpenedFile, HasOnePageAndRefusesOthers) {
  const Bytes bytes = Rgb(3, 2);
  const auto file = Opened(bytes);
  EXPECT_EQ(file->GetFileName(), Kes::CUnicodeString(u"test.bmp"));
  EXPECT_EQ(file->GetFormatId(), 1);
  EXPECT_EQ(file->GetPageCount(), 1);
  EXPECT_CHECK(file->GetImageInfo(1), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "GetImageInfo", "0");
  EXPECT_CHECK(file->OpenImagePage(-1), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "OpenImagePage", "0");
  EXPECT_EQ(Kes::CastOrRaise<Image::IBmpImageInfo>(file->GetImageInfo(0))->GetPixelFormat(), BPF_Rgb24);
}

struct LimitCase {
  const char* name;
  std::function<void(Bytes&)> edit;
  const char* error;
  const char* param2;
};

class OpenedFileRefused : public testing::TestWithParam<LimitCase> {};

TEST_P(OpenedFileRefused, InTheOrderSizePixelFormatGeometry) {
  Bytes bytes = Rgb(2, 2);
  GetParam().edit(bytes);
  EXPECT_CHECK(Opened(bytes)->OpenImagePage(0), GetParam().error, "test.bmp", GetParam().param2, "");
}

INSTANTIATE_TEST_SUITE_P(
    OpenedFile, OpenedFileRefused,
    testing::Values(
        LimitCase{"TooWide", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiWidth, 32513); }, "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG",
                  "32512 x 32512"},
        LimitCase{"TooTallTopDown", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiHeight, std::uint32_t(-32513)); },
                  "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "32512 x 32512"},
        LimitCase{"JpegAndTooWide",
                  [](Bytes& b) {
                    BmpTest::Patch32(b, BmpTest::kOffBiCompression, BmpTest::kBiJpeg);
                    BmpTest::Patch32(b, BmpTest::kOffBiWidth, 40000);
                  },
                  "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "32512 x 32512"},
        LimitCase{"Jpeg", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiCompression, BmpTest::kBiJpeg); },
                  "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "compression 4 (JPEG), bit count 24"},
        LimitCase{"BitCountThree", [](Bytes& b) { BmpTest::Patch16(b, BmpTest::kOffBiBitCount, 3); },
                  "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "bit count 3"},
        // A core header has no compression field, so nothing says how 16 or 32 bits are laid out.
        LimitCase{"CoreSixteenBits", [](Bytes& b) { b = CoreRgb(16); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT",
                  "bit count 16 in a 12-byte core header"},
        LimitCase{"CoreThirtyTwoBits", [](Bytes& b) { b = CoreRgb(32); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT",
                  "bit count 32 in a 12-byte core header"},
        LimitCase{"NegativeWidth", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiWidth, std::uint32_t(-20)); },
                  "ERR_IMAGE_INVALID_IMAGE_FILE", ""},
        LimitCase{"HeightMinimum", [](Bytes& b) { BmpTest::Patch32(b, BmpTest::kOffBiHeight, 0x80000000u); },
                  "ERR_IMAGE_INVALID_IMAGE_FILE", ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(OpenedFile, TheLargestSizeIsAccepted) {
  BmpTest::BmpBuilder builder;
  builder.SetRle(32512, 32512, 8, BmpTest::RleStream().EndOfBitmap().Bytes()).SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}).SetClrUsed(2);
  const Bytes bytes = builder.Build();
  EXPECT_EQ(Opened(bytes)->GetImageInfo(0)->GetHeight(), 32512);
}

TEST(OpenedFile, PagesOpenFromManyThreadsAtOnce) {
  const Bytes bytes = Rgb(64, 64);
  const auto file = Opened(bytes);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(file->GetImageInfo(0)->GetWidth(), 64);
        ASSERT_EQ(Describe(file->OpenImagePage(0)).At(63, 63), 0x00FF00u);
      }
    });
  }
  for (auto& thread : threads) thread.join();
}

}  // namespace
