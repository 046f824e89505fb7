// Hostile files through the tool as a process: the right error (or lenient
// decoding for run-length data), bounded time, and bounded peak memory
// measured in the child.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Support/BmpBuilder.h"
#include "ToolLaunch.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using ToolTest::CChild;

// Runs `bmptool check FILE`, returning its exit status, stderr and peak resident memory.
CChild Check(const fs::path& file) {
  return ToolTest::RunChild({"check", "-q", file.string()}, BmpTest::ScratchPath("hostile-stderr.txt"));
}

fs::path Put(const std::string& name, const Bytes& bytes) {
  const fs::path path = BmpTest::ScratchPath("hostile-" + name + ".bmp");
  BmpTest::WriteFile(path, bytes);
  return path;
}

BmpTest::BmpBuilder Rgb(int w, int h) {
  BmpTest::BmpBuilder b;
  b.SetPixels({w, h, 24, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 0x336699)});
  return b;
}

BmpTest::BmpBuilder Palette8(int w, int h) {
  BmpTest::BmpBuilder b;
  b.SetPixels({w, h, 8, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 7)}).SetPalette(std::vector<BmpTest::Rgbq>(256));
  return b;
}

Bytes Patched(Bytes bytes, std::size_t at, std::uint32_t value) {
  BmpTest::Patch32(bytes, at, value);
  return bytes;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  BmpTest::Truncate(bytes, size);
  return bytes;
}

Bytes Rle(int w, int h, int bits, const BmpTest::RleStream& stream, std::uint8_t (*green)(int) = nullptr) {
  std::vector<BmpTest::Rgbq> palette(bits == 4 ? 16 : 256);
  for (std::size_t i = 0; green && i < palette.size(); ++i) {
    palette[i] = {std::uint8_t(i), green(int(i)), std::uint8_t(i), 0};
  }
  BmpTest::BmpBuilder b;
  b.SetRle(w, h, bits, stream.Bytes()).SetPalette(palette);
  return b.Build();
}

// Palettes for pages that a tiny stream declares huge: gray, and colour.
std::uint8_t GrayGreen(int i) { return std::uint8_t(i); }
std::uint8_t ColorGreen(int i) { return std::uint8_t(255 - i); }

Bytes Masks(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels({8, 8, 16, std::vector<std::uint32_t>(64, 0xABCD)}).SetCompression(BmpTest::kBiBitfields).SetMasks(r, g, b);
  return builder.Build();
}

struct HostileCase {
  const char* name;
  std::function<Bytes()> make;
  const char* error;  // empty: decoded without error
};

const std::vector<HostileCase>& Cases() {
  static const std::vector<HostileCase> cases = {
      {"CutInFileHeader", [] { return Cut(Rgb(4, 4).Build(), 10); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"CutInInfoHeader", [] { return Cut(Rgb(4, 4).Build(), 30); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"CutInPalette", [] { return Cut(Palette8(4, 4).Build(), 300); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"CutInPixels", [] { return Cut(Rgb(64, 64).Build(), 5000); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"ZeroWidth", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiWidth, 0); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"NegativeWidth", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiWidth, 0xFFFFFFF0u); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"MinimumHeight", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiHeight, 0x80000000u); }, "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"HugeDimensionsTinyFile",
       [] { return Patched(Patched(Rgb(4, 4).Build(), BmpTest::kOffBiWidth, 32512), BmpTest::kOffBiHeight, 32512); },
       "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"TooWide", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiWidth, 100000); }, "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG"},
      {"HugeClrUsedFullPalette", [] { return Patched(Palette8(4, 4).Build(), BmpTest::kOffBiClrUsed, 0xFFFFFFFFu); }, ""},
      {"HugeBiSizeBeforeAPalette", [] { return Patched(Palette8(4, 4).Build(), BmpTest::kOffBiSize, 0xFFFFFFF0u); },
       "ERR_IMAGE_INVALID_IMAGE_FILE"},
      {"HugeBiSizeWithoutTables", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiSize, 0xFFFFFFF0u); }, ""},
      {"HeaderSizeThirteen", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiSize, 13); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"ZeroMasks", [] { return Masks(0, 0, 0); }, ""},
      {"OverlappingMasks", [] { return Masks(0xFF00, 0x0FF0, 0x00FF); }, ""},
      {"NonContiguousMasks", [] { return Masks(0xA000, 0x0505, 0x0050); }, ""},
      {"AllOnesMask", [] { return Masks(0xFFFFFFFF, 0x07E0, 0x001F); }, ""},
      {"BitCountThree", [] { return Patched(Palette8(4, 4).Build(), BmpTest::kOffBiBitCount, 3); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"BitCountTwelve", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiBitCount, 12); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"BitCountSixtyFour", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiBitCount, 64); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"BitFieldsOf24", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiCompression, 3); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"Jpeg", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiCompression, 4); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"Png", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiCompression, 5); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"CompressionSeven", [] { return Patched(Rgb(4, 4).Build(), BmpTest::kOffBiCompression, 7); }, "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT"},
      {"RleRunsOverrunRows", [] { return Rle(5, 3, 8, BmpTest::RleStream().EncodedRun(255, 1).EncodedRun(255, 2).EndOfLine()); }, ""},
      {"RleDeltaPastTheImage", [] { return Rle(5, 3, 4, BmpTest::RleStream().Delta(255, 255).EncodedRun(9, 0x12)); }, ""},
      {"RleAbsoluteRunPastTheData", [] { return Rle(9, 2, 8, BmpTest::RleStream().Raw({0, 200, 1, 2, 3})); }, ""},
      {"RleGrayPageFromATinyStream", [] { return Rle(32512, 8192, 8, BmpTest::RleStream().EndOfBitmap(), GrayGreen); }, ""},
      {"RleColorPageFromATinyStream", [] { return Rle(32512, 8192, 8, BmpTest::RleStream().EncodedRun(255, 1).EndOfBitmap(), ColorGreen); }, ""},
      {"Rle4PageFromATinyStream", [] { return Rle(32512, 8192, 4, BmpTest::RleStream().EndOfLine().EndOfBitmap(), ColorGreen); }, ""},
  };
  return cases;
}

class HostileFile : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, GetsItsErrorInBoundedMemory) {
  static const long baselineKiB = Check(Put("baseline", Rgb(4, 4).Build())).peakKiB;
  const HostileCase& c = GetParam();
  const CChild child = Check(Put(c.name, c.make()));
  if (*c.error == '\0') {
    EXPECT_EQ(child.status, 0) << child.err;
  } else {
    EXPECT_EQ(child.status, 1) << child.err;
    EXPECT_NE(child.err.find(std::string(": ") + c.error + ": "), std::string::npos) << child.err;
  }
  // A block of at most 512 KiB, a few rows and a fixed allowance, also for a
  // run-length page, which costs what its stream writes.
  constexpr long kAllowanceKiB = 16 * 1024;
  EXPECT_LT(child.peakKiB - baselineKiB, kAllowanceKiB) << "peak " << child.peakKiB << " KiB, baseline " << baselineKiB;
}

INSTANTIATE_TEST_SUITE_P(Tool, HostileFile, testing::ValuesIn(Cases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
