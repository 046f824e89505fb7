#include <gtest/gtest.h>

#include <vector>

#include "HostTestSupport.h"
#include "ImageHost/ImageAccess.h"
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

TEST_F(HostImage, LazyRowsAreFetchedOnceInEitherDirection) {
  for (const bool bottomUp : {false, true}) {
    auto fetcher = Kes::MakeObject<CCountingRgbFetcher>(5);
    auto image = Services()->CreateRGBImage(Info(5, 40), fetcher);
    auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader());
    for (std::int32_t i = 0; i < 40; ++i) {
      const std::int32_t y = bottomUp ? 39 - i : i;
      const Image::CRGBColor* row = reader->GetRow(y);
      ASSERT_EQ(row[3], (Image::CRGBColor{static_cast<std::uint8_t>(y), 3, 7}));
      reader->ReleaseRow(y);
    }
    EXPECT_EQ(fetcher->fetched, 40) << bottomUp;
    EXPECT_FALSE(image->GetWriter());
    EXPECT_EQ(image->GetImageInfo()->GetWidth(), 5);
  }
}

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
// read are still there for a reader that steps back.
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
}

TEST_F(HostImage, RowsOutsideTheImageAreInternalErrors) {
  auto image = Services()->CreateRGBImage(Info(3, 3), Kes::MakeObject<CCountingRgbFetcher>(3));
  auto reader = Kes::CastOrRaise<Image::IRGBImageReader>(image->GetReader());
  for (const std::int32_t y : {-1, 3}) {
    const KesTest::RaisedError raised = KesTest::Raised([&] { reader->GetRow(y); });
    EXPECT_TRUE(raised.internal) << y;
  }
  const KesTest::RaisedError notHeld = KesTest::Raised([&] { reader->ReleaseRow(1); });
  EXPECT_TRUE(notHeld.internal);
}

TEST_F(HostImage, BlankImagesHoldWhatIsWrittenAndReadWhiteElsewhere) {
  auto services = Services();
  auto gray = services->CreateBlankGrayImage(Info(4, 2), 4);
  auto grayWriter = Kes::CastOrRaise<Image::IGrayImageWriter>(gray->GetWriter());
  Image::CGrayColor* row = grayWriter->GetRowBuffer(1);
  for (int x = 0; x < 4; ++x) row[x].value = static_cast<std::uint8_t>(10 * x);
  grayWriter->ReleaseRowBuffer(1);
  auto grayReader = Kes::CastOrRaise<Image::IGrayImageReader>(gray->GetReader());
  EXPECT_EQ(grayReader->GetRow(0)[2].value, 0);
  EXPECT_EQ(grayReader->GetRow(1)[3].value, 30);

  auto rgb = services->CreateBlankRGBImage(Info(2, 1), 4);
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

TEST_F(HostImage, ConvertedBlackAndWhiteImagesReadBackTheirStrokes) {
  auto services = Services();
  constexpr std::int32_t kWidth = 9;
  auto image = services->CreateBlankBWImage(Info(kWidth, 3));
  auto writer = Kes::CastOrRaise<Image::IRLEImageWriter>(image->GetWriter());
  const std::vector<std::vector<Image::CRleStroke>> rows = {{{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 9}}, {}, {{3, 9}}};
  for (std::int32_t y = 0; y < 3; ++y) {
    Image::CRleStroke* out = writer->GetRowBuffer(y);
    for (const Image::CRleStroke& s : rows[y]) *out++ = s;  // five strokes: all the room of a 9-pixel row
    *out++ = Image::kEndStroke;
    writer->SetRowEnd(y, out);
    writer->ReleaseRowBuffer(y);
  }
  auto converted = services->ConvertImage(image, 4);
  ASSERT_EQ(converted->GetImageType(), Image::ImageTypeBlackAndWhite);
  auto reader = Kes::CastOrRaise<Image::IRLEImageReader>(converted->GetReader());
  for (std::int32_t y = 0; y < 3; ++y) {
    const Image::CRleStroke* row = reader->GetRow(y);
    for (const Image::CRleStroke& s : rows[y]) EXPECT_EQ(*row++, s) << y;
    EXPECT_TRUE(Image::IsEndStroke(*row)) << y;
    reader->ReleaseRow(y);
  }
  auto gray = services->CreateBlankGrayImage(Info(1, 1), 4);
  EXPECT_TRUE(KesTest::Raised([&] { services->ConvertImage(gray, 4); }).internal);
}

}  // namespace
