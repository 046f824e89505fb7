#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/Metadata.h"
#include "Support/Expect.h"

namespace {

using HostTest::Info;
using HostTest::Services;

// Writes row y as colours derived from y; counts every row it writes.
class CCountingRgbFetcher : public Image::IRGBImageFetcher {
public:
  explicit CCountingRgbFetcher(std::int32_t width) : m_width(width) {}
  void FetchRow(std::int32_t row, Image::IRGBImageWriter* writer) override {
    Image::CRGBColor* out = writer->GetRowBuffer(row);
    for (std::int32_t x = 0; x < m_width; ++x) out[x] = {static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(x), 7};
    writer->ReleaseRowBuffer(row);
    ++fetched;
  }
  std::int64_t fetched = 0;

private:
  std::int32_t m_width;
};

// Like the format's black-and-white fetcher: rows come from a forward-only
// chain, so every row from its position up to the asked one is written, and
// asking for an earlier row starts the chain over.
class CSequentialStrokeFetcher : public Image::IRLEImageFetcher {
public:
  void FetchRow(std::int32_t row, Image::IRLEImageWriter* writer) override {
    if (row < m_next) m_next = 0;
    for (; m_next <= row; ++m_next) {
      Image::CRleStroke* out = writer->GetRowBuffer(m_next);
      out[0] = {static_cast<std::int16_t>(m_next % 5), static_cast<std::int16_t>(m_next % 5 + 2)};
      out[1] = Image::kEndStroke;
      writer->SetRowEnd(m_next, out + 2);
      writer->ReleaseRowBuffer(m_next);
      ++written;
    }
  }
  std::int64_t written = 0;

private:
  std::int32_t m_next = 0;
};

class HostImage : public HostTest::HostFixture {};

TEST_F(HostImage, BlackAndWhiteRowsWrittenOnTheWayAreKept) {
  constexpr std::int32_t kHeight = 500;
  auto fetcher = Kes::MakeObject<CSequentialStrokeFetcher>();
  auto image = Services()->CreateRLEImage(Info(64, kHeight), fetcher);
  EXPECT_EQ(image->GetImageType(), Image::ImageTypeBlackAndWhite);
  auto reader = Kes::CastOrRaise<Image::IRLEImageReader>(image->GetReader());
  for (std::int32_t y = kHeight - 1; y >= 0; --y) {
    const Image::CRleStroke* row = reader->GetRow(y);
    ASSERT_EQ(row[0].start, y % 5);
    ASSERT_TRUE(Image::IsEndStroke(row[1]));
    reader->ReleaseRow(y);
  }
  EXPECT_LE(fetcher->written, 2 * kHeight);
}

// Rows read in order keep a small cache (and reuse its memory); the rows just
// read are still there for a reader that steps back, none fetched twice.
TEST_F(HostImage, StreamingKeepsASmallCacheThatStillServesRecentRows) {
  constexpr std::int32_t kWidth = 1000, kHeight = 2000, kRowBytes = 3 * kWidth;
  auto fetcher = Kes::MakeObject<CCountingRgbFetcher>(kWidth);
  auto image = Services()->CreateRGBImage(Info(kWidth, kHeight), fetcher);
  auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader());
  Kes::ResetPeakMemory();
  const std::uint64_t before = Kes::GetMemoryStats().liveBytes;
  for (std::int32_t y = 0; y < kHeight; ++y) {
    reader->GetRow(y);
    reader->ReleaseRow(y);
  }
  EXPECT_LT(Kes::GetMemoryStats().peakBytes - before, std::uint64_t{256 << 10} + 16 * kRowBytes);
  for (std::int32_t y = kHeight - 1; y >= kHeight - 50; --y) {
    ASSERT_EQ(reader->GetRow(y)[0].blue, static_cast<std::uint8_t>(y));
    reader->ReleaseRow(y);
  }
  EXPECT_EQ(fetcher->fetched, kHeight);
  EXPECT_FALSE(image->GetWriter());  // a lazy image is written by its fetcher only
}

TEST_F(HostImage, RowsOutsideTheImageAndConvertingAnythingButStrokesAreInternalErrors) {
  auto image = Services()->CreateRGBImage(Info(3, 3), Kes::MakeObject<CCountingRgbFetcher>(3));
  auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader());
  for (const std::int32_t y : {-1, 3}) {
    EXPECT_TRUE(KesTest::Raised([&] { reader->GetRow(y); }).internal) << y;
  }
  EXPECT_TRUE(KesTest::Raised([&] { reader->ReleaseRow(1); }).internal);  // not held
  EXPECT_TRUE(KesTest::Raised([&] { Services()->ConvertImage(image, 4); }).internal);
}

// Rows never written read as white: no darkness in gray, full intensity in RGB.
TEST_F(HostImage, BlankImagesReadWhiteWhereNothingWasWritten) {
  auto gray = Services()->CreateBlankGrayImage(Info(2, 1), 4);
  EXPECT_EQ(Kes::CastOrRaise<Image::IGrayImageReader>(gray->GetReader())->GetRow(0)[1].value, 0);
  auto rgb = Services()->CreateBlankRGBImage(Info(2, 1), 4);
  EXPECT_EQ(Kes::CastOrRaise<Image::IRGBImageReader>(rgb->GetReader())->GetRow(0)[1], (Image::CRGBColor{255, 255, 255}));
}

TEST_F(HostImage, AStrokeRowNotClosedByTheEndStrokeIsRefusedAndReadsWhite) {
  auto image = Services()->CreateBlankBWImage(Info(4, 1));
  auto writer = Kes::CastOrRaise<Image::IRLEImageWriter>(image->GetWriter());
  Image::CRleStroke* out = writer->GetRowBuffer(0);
  out[0] = {0, 1};
  out[1] = {2, 3};
  EXPECT_TRUE(KesTest::Raised([&] { writer->SetRowEnd(0, out + 2); }).internal);
  writer->ReleaseRowBuffer(0);
  EXPECT_TRUE(Image::IsEndStroke(Kes::CastOrRaise<Image::IRLEImageReader>(image->GetReader())->GetRow(0)[0]));
}

constexpr const char16_t* kServiceNames[] = {u"Image.ImageServices", u"Image.RgbColorMap", u"Image.RgbColorMask",
                                            u"Image.RootMetadata"};

TEST(HostServices, AreKnownByNameOnlyWhileRegistered) {
  {
    Image::CHostServicesScope host;
    for (const char16_t* name : kServiceNames) {
      auto first = Kes::DoCreateObject(name);
      EXPECT_NE(first.Get(), Kes::DoCreateObject(name).Get());
    }
  }
  for (const char16_t* name : kServiceNames) {
    EXPECT_CHECK(Kes::DoCreateObject(name), "ERR_UNKNOWN_OBJECT", Kes::CUnicodeString(name).ToUtf8(), "", "");
  }
}

TEST_F(HostImage, RootMetadataStartsEmpty) {
  auto root = Kes::CreateObject<Image::IMetadata>(u"Image.RootMetadata");
  EXPECT_FALSE(root->GetEntry(u"img/sourceFileFormat"));
  EXPECT_EQ(root->GetKeys().GetCount(), 0);
}

}  // namespace
