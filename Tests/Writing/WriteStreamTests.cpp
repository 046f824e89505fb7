#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BmpStreams.h"
#include "CommonStreams.h"
#include "ErrorSites.h"
#include "Kes/File.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Collects every row pushed into it.
class CRowSink : public Image::CWriteImageStream {
public:
  void Write(const void* data, std::int32_t byteCount) override {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    rows.emplace_back(bytes, bytes + byteCount);
  }
  void BeginImage() override { ++begun; }
  void EndImage() override { ++ended; }
  std::vector<Bytes> rows;
  int begun = 0, ended = 0;
};

struct BadStrokeCase {
  const char* name;
  std::vector<Image::CRleStroke> strokes;
};

class StrokeToBitsRefused : public testing::TestWithParam<BadStrokeCase> {};

TEST_P(StrokeToBitsRefused, IsInternalErrorAndWritesNothing) {
  auto sink = Kes::MakeFastObject<CRowSink>();
  Image::CRLEStrokeToBits converter(sink, 10);
  std::vector<Image::CRleStroke> list = GetParam().strokes;
  list.push_back(Image::kEndStroke);
  EXPECT_INTERNAL(converter.Write(list.data(), static_cast<std::int32_t>(list.size() * sizeof(Image::CRleStroke))),
                  Image::Sites::StrokeOutOfOrder);
  EXPECT_TRUE(sink->rows.empty());
}

INSTANTIATE_TEST_SUITE_P(Writing, StrokeToBitsRefused,
                         testing::Values(BadStrokeCase{"Overlapping", {{0, 3}, {2, 5}}},
                                         BadStrokeCase{"PastTheRow", {{8, 11}}},
                                         BadStrokeCase{"Empty", {{4, 4}}},
                                         BadStrokeCase{"Negative", {{-1, 2}}},
                                         // start 32767 alone is not the end stroke
                                         BadStrokeCase{"HalfAnEndStroke", {{32767, 0}}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(StrokeToBits, StopsAtTheEndOfTheBytesGivenWithoutAnEndStroke) {
  auto sink = Kes::MakeFastObject<CRowSink>();
  Image::CRLEStrokeToBits converter(sink, 8);
  const Image::CRleStroke strokes[2] = {{0, 1}, {9, 20}};  // the second lies beyond the count given
  converter.BeginImage();
  converter.Write(strokes, sizeof(Image::CRleStroke));
  converter.EndImage();
  EXPECT_EQ(sink->rows.at(0), (Bytes{0x7F}));
  EXPECT_EQ(sink->begun + sink->ended, 2);  // passed on to the next stream
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

}  // namespace
