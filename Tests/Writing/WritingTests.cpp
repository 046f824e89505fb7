#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "BmpImageFileImpl.h"
#include "BmpImageInfo.h"
#include "BmpImageSaveParams.h"
#include "BmpStreams.h"
#include "CommonStreams.h"
#include "ErrorSites.h"
#include "Host/HostTestSupport.h"
#include "ImageHost/ImageAccess.h"
#include "Kes/ByteOrder.h"
#include "Kes/File.h"
#include "Support/BmpBuilder.h"
#include "Support/Expect.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using HostTest::CInfo;
using HostTest::Services;

// A blank gray or RGB image, as its writer says, every pixel set from value(x, y): the darkness
// in gray, 0xRRGGBB in RGB.
template <class Writer, class F>
Kes::CPtr<Image::IImage> Painted(std::int32_t w, std::int32_t h, std::int32_t dpi, F value) {
  constexpr bool kRgb = std::is_same_v<Writer, Image::IRGBImageWriter>;
  const auto info = Kes::MakeObject<CInfo>(w, h, dpi);
  const auto image = kRgb ? Services()->CreateBlankRGBImage(info, 4) : Services()->CreateBlankGrayImage(info, 4);
  auto writer = Kes::CastOrRaise<Writer>(image->GetWriter());
  for (std::int32_t y = 0; y < h; ++y) {
    auto* row = writer->GetRowBuffer(y);
    for (std::int32_t x = 0; x < w; ++x) {
      const auto c = static_cast<std::uint32_t>(value(x, y));
      if constexpr (kRgb) {
        row[x] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16)};
      } else {
        row[x].value = static_cast<std::uint8_t>(c);
      }
    }
    writer->ReleaseRowBuffer(y);
  }
  return image;
}
constexpr auto RgbImage = [](auto... args) { return Painted<Image::IRGBImageWriter>(args...); };
constexpr auto GrayImage = [](auto... args) { return Painted<Image::IGrayImageWriter>(args...); };

std::uint32_t U32(const Bytes& b, std::size_t at) { return Kes::LoadLe32(b.data() + at); }
std::uint16_t U16(const Bytes& b, std::size_t at) { return Kes::LoadLe16(b.data() + at); }

// Written through the writer object into a file of the caller's, whose first bytes it overwrites.
Bytes Record(const Kes::CPtr<Image::IImage>& image, const Kes::CPtr<Image::IBmpImageSaveParams>& params = {}) {
  Kes::CMemoryFile file(1024);
  file.Write("XX", 2);
  {
    auto writer = Image::CBmpImageFileFormat().CreateImageFileWriter(&file);
    EXPECT_EQ(writer->GetFileName(), Kes::CUnicodeString());
    writer->AddImagePage(image, Kes::CPtr<Kes::IObject>(params));
  }
  return Bytes(file.Data(), file.Data() + file.GetLength());
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

Kes::CPtr<Image::IImage> StrokeRow(std::int32_t width, std::vector<Image::CRleStroke> strokes) {
  strokes.push_back(Image::kEndStroke);
  return Kes::MakeObject<CStrokeRowImage>(width, std::move(strokes));
}

struct LayoutCase {
  const char* name;
  std::function<Kes::CPtr<Image::IImage>()> image;
  TBmpPixelFormat format;  // BPF_Unknown: no save parameters
  // File size, data offset, width, height, bit count and pixels per metre: the fields that vary.
  std::uint32_t fileSize, offset, width, height, bits, ppm;
  std::vector<std::pair<std::size_t, Bytes>> bytesAt;  // worked out by hand
};

class RecorderLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(RecorderLayout, WritesHeadersPaletteAndBottomUpRowsByHand) {
  const LayoutCase& c = GetParam();
  Kes::CPtr<Image::CBmpImageSaveParams> params;
  if (c.format != BPF_Unknown) {
    params = Kes::MakeObject<Image::CBmpImageSaveParams>();
    params->SetPixelFormat(c.format);
  }
  const Bytes b = Record(c.image(), params);
  ASSERT_EQ(b.size(), c.fileSize);
  const std::vector<std::uint32_t> fields = {U16(b, 0),  U32(b, 2),  U32(b, 6),  U32(b, 10), U32(b, 14), U32(b, 18), U32(b, 22),
                                             U16(b, 26), U16(b, 28), U32(b, 30), U32(b, 38), U32(b, 42), U32(b, 46)};
  EXPECT_EQ(fields, (std::vector<std::uint32_t>{0x4D42, c.fileSize, 0, c.offset, 40, c.width, c.height, 1, c.bits, 0, c.ppm,
                                                c.ppm, 0}));
  for (const auto& [at, bytes] : c.bytesAt) {
    EXPECT_EQ(Bytes(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + bytes.size())), bytes) << at;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, RecorderLayout,
    testing::Values(
        // Black runs are zero bits, the first pixel highest, after a palette of black then white; four
        // touching strokes fill the row, then the white padding bits.
        LayoutCase{"TouchingStrokes", [] { return StrokeRow(4, {{0, 1}, {1, 2}, {2, 3}, {3, 4}}); }, BPF_Unknown, 66, 62,
                   4, 1, 1, 0, {{54, {0, 0, 0, 0, 255, 255, 255, 0}}, {62, {0x0F}}}},
        // Runs inside a byte, one over three bytes, one that ends on a byte's last bit, a last byte untouched.
        LayoutCase{"RunsWithinAndAcrossBytes", [] { return StrokeRow(32, {{1, 3}, {4, 5}, {6, 18}, {20, 24}}); },
                   BPF_Unknown, 66, 62, 32, 1, 1, 0, {{62, {0x94, 0x00, 0x30, 0xFF}}}},
        // A 256-entry palette from white down to black; the top row of 10 + 2 padding lands last.
        LayoutCase{"Gray", [] { return GrayImage(10, 3, 96, [](int x, int y) { return 10 * y + x; }); }, BPF_Unknown,
                   1114, 1078, 10, 3, 8, 3780,
                   {{54, {255, 255, 255, 0}}, {54 + 255 * 4, {0, 0, 0, 0}},
                    {1078, {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 0, 0}}, {1102, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}}},
        // Blue first; 15 bytes a row and one of padding.
        LayoutCase{"RgbWithItsSaveParams",
                   [] { return RgbImage(5, 2, 72, [](int x, int y) { return 0x102030u + 0x010101u * (10 * y + x); }); },
                   BPF_Rgb24, 86, 54, 5, 2, 24, 2835, {{54, {0x3A, 0x2A, 0x1A}}, {69, {0, 0x30, 0x20, 0x10}}, {85, {0}}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Recorder, AStrokeRowWithoutEndStrokeIsRefused) {
  EXPECT_INTERNAL(Record(Kes::MakeObject<CStrokeRowImage>(4, std::vector<Image::CRleStroke>(5, {0, 1}))),
                  Image::Sites::RecorderNoEndStroke);
}

// Rows are written in runs of up to 512 KiB; 700 x 600 RGB takes three, the
// last one short, and a 600000-pixel-wide gray row, more than a run, is written on its own.
TEST(Recorder, RowsWrittenInRunsLandWhereRowByRowWouldPutThem) {
  for (const auto& [width, height, rgb] : {std::tuple{700, 600, true}, std::tuple{600000, 3, false}}) {
    const auto value = [](int x, int y) { return static_cast<std::uint32_t>(x * 7 + y * 13) & 0xFFu; };
    const Bytes b = rgb ? Record(RgbImage(width, height, 0, [&](int x, int y) { return value(x, y) * 0x010101u; }))
                        : Record(GrayImage(width, height, 0, value));
    const std::size_t offset = U32(b, 10), stride = rgb ? 2100 : 600000;  // both a multiple of four already
    ASSERT_EQ(b.size(), offset + stride * std::size_t(height));
    for (int y = 0; y < height; ++y) {
      const std::size_t row = offset + std::size_t(height - 1 - y) * stride;
      for (const int x : {0, 1, width / 2, width - 1}) {
        ASSERT_EQ(b[row + std::size_t(x) * (rgb ? 3 : 1)], value(x, y)) << width << " x " << height << " at " << x << "," << y;
      }
    }
  }
}

// Any pixel format but the one that suits the image is refused before a byte is written (the
// writer object's tests show that such a refusal leaves it ready for a retry).
TEST(Recorder, AFormatThatDoesNotSuitTheImageIsRefused) {
  auto params = Kes::MakeObject<Image::CBmpImageSaveParams>();
  for (const TBmpPixelFormat format : {BPF_Unknown, BPF_Palette8, static_cast<TBmpPixelFormat>(40)}) {
    params->SetPixelFormat(format);
    EXPECT_CHECK(Record(StrokeRow(1, {}), params), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "AddImagePage", "1");
  }
}

// By hand: dpi * 10000 / 254 rounded half up, as the layouts above show for 96 and 72; a negative
// resolution is none, and the field's largest value is first reached at 54546085 dpi.
TEST(Recorder, ResolutionsOutsideTheFieldAreClamped) {
  EXPECT_EQ(Image::PixelsPerMetreFromDpi(-5), 0);
  EXPECT_EQ(Image::PixelsPerMetreFromDpi(54546084), 2147483622);
  EXPECT_EQ(Image::PixelsPerMetreFromDpi(54546085), 2147483647);
}

struct BadStrokeCase {
  const char* name;
  std::vector<Image::CRleStroke> strokes;
};

class StrokeToBitsRefused : public testing::TestWithParam<BadStrokeCase> {};

TEST_P(StrokeToBitsRefused, IsInternalError) {
  EXPECT_INTERNAL(Record(StrokeRow(10, GetParam().strokes)), Image::Sites::StrokeOutOfOrder);
}

INSTANTIATE_TEST_SUITE_P(Writing, StrokeToBitsRefused,
                         testing::Values(BadStrokeCase{"Overlapping", {{0, 3}, {2, 5}}},
                                         BadStrokeCase{"PastTheRow", {{8, 11}}},
                                         BadStrokeCase{"Empty", {{4, 4}}},
                                         BadStrokeCase{"Negative", {{-1, 2}}},
                                         // start 32767 alone is not the end stroke
                                         BadStrokeCase{"HalfAnEndStroke", {{32767, 0}}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The bytes given bound the scan as the end stroke does: the second stroke lies beyond them.
TEST(StrokeToBits, StopsAtTheEndOfTheBytesGivenWithoutAnEndStroke) {
  Kes::CMemoryFile file;
  Image::CRLEStrokeToBits converter(Kes::MakeFastObject<Image::CBmpToFileWriter>(&file, 1, 0), 8);
  const Image::CRleStroke strokes[2] = {{0, 1}, {9, 20}};
  converter.Write(strokes, sizeof(Image::CRleStroke));
  EXPECT_EQ(Bytes(file.Data(), file.Data() + file.GetLength()), (Bytes{0x7F, 0, 0, 0}));
}

TEST(FileWriter, ARowOfAnotherLengthIsRefusedAndWritesNothing) {
  Kes::CMemoryFile file(1024);
  Image::CBmpToFileWriter writer(&file, 9, 100);
  EXPECT_EQ(file.GetPosition(), 100);
  const Bytes row(10, 1);
  EXPECT_INTERNAL(writer.Write(row.data(), 10), Image::Sites::FileWriterRow);
  EXPECT_INTERNAL(writer.Write(row.data(), 8), Image::Sites::FileWriterRow);
  EXPECT_INTERNAL(writer.Write(nullptr, 9), Image::Sites::FileWriterRow);
  EXPECT_EQ(file.GetLength(), 0);
  EXPECT_INTERNAL(Image::CBmpToFileWriter(&file, 0, 0), Image::Sites::FileWriterSetUp);
  EXPECT_INTERNAL(Image::CBmpToFileWriter(nullptr, 4, 0), Image::Sites::FileWriterSetUp);
}

std::string TempPath(const std::string& leaf) { return (fs::path(testing::TempDir()) / leaf).string(); }

Kes::CPtr<Image::IImageFileWriter> WriterFor(const std::string& path) {
  return Image::CBmpImageFileFormat().CreateImageFileWriter(Kes::CUnicodeString::FromUtf8(path));
}

// Refusals before anything is written leave the writer ready for a retry; once
// its one page is written, a second is refused and the file stays as it was.
TEST(WriterObject, RefusesBadPagesUntilItsOnePageIsWrittenThenASecond) {
  const std::string path = TempPath("one-page.bmp");
  auto writer = WriterFor(path);
  EXPECT_EQ(writer->GetFileName().ToUtf8(), path);
  EXPECT_EQ(writer->GetFormatId(), 1);
  const auto image = GrayImage(3, 2, 0, [](int x, int) { return x; });
  Kes::CPtr<Kes::IObject> notParams = Kes::MakeObject<Image::CBmpImageFileFormat>();
  EXPECT_CHECK(writer->AddImagePage(image, notParams), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "AddImagePage", "1");
  // 40000 x 40000 x 3 bytes: the image is never read, only its size.
  const auto huge = Services()->CreateBlankRGBImage(Kes::MakeObject<CInfo>(40000, 40000, 0), 4);
  EXPECT_CHECK(writer->AddImagePage(huge, nullptr), "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", path, "4294967295 bytes", "");
  EXPECT_INTERNAL(writer->AddImagePage(nullptr, nullptr), Image::Sites::WriterPageRefused);
  EXPECT_EQ(writer->GetPageCount(), 0);
  writer->AddImagePage(image, nullptr);
  EXPECT_EQ(writer->GetPageCount(), 1);
  const std::string written = BmpTest::ReadFile(path);
  EXPECT_INTERNAL(writer->AddImagePage(GrayImage(3, 2, 0, [](int, int) { return 9; }), nullptr),
                  Image::Sites::WriterPageRefused);
  writer.Reset();
  EXPECT_EQ(BmpTest::ReadFile(path), written);
  EXPECT_EQ(written.size(), 1078u + 2 * 4);
  std::remove(path.c_str());
}

// A file-size limit makes the writes fail part way; the page must fail and
// leave no file that looks complete. Run in a child so the limit stays there.
TEST(WriterObject, AFullDiskFailsThePageAndRemovesTheFile) {
  const std::string path = TempPath("disk-full.bmp");
  std::remove(path.c_str());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 << 10, 64 << 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    auto writer = WriterFor(path);
    const KesTest::RaisedError raised =
        KesTest::Raised([&] { writer->AddImagePage(RgbImage(300, 300, 0, [](int x, int) { return x; }), nullptr); });
    const bool ok = raised.raised && raised.id == "ERR_FILE_WRITE" && writer->GetPageCount() == 0 && !fs::exists(path);
    std::_Exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
