// The module and an independent decoder (Pillow) agree on noise images of
// every kind, read with the rows out of order; Pillow rounds masks narrower
// than 8 bits differently, by one level at most. Core-header files come from
// the programs that write them in the wild. The read filters' fast inner loops
// agree with their portable ones.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <random>
#include <string>

#include "ReadingSupport.h"
#include "RowKernels.h"

namespace {

using namespace ReadingTest;
namespace fs = std::filesystem;
using Image::TKernel;

constexpr const char* kPython = "/usr/bin/python3";

bool HavePillow() { return std::system((std::string(kPython) + " -c 'import PIL' 2>/dev/null").c_str()) == 0; }

std::vector<std::uint32_t> PillowPixels(const fs::path& file) {
  const std::string command = std::string(kPython) + " -c \"from PIL import Image; im = Image.open('" + file.string() +
                              "').convert('RGB'); print(' '.join(str(r << 16 | g << 8 | b) for r, g, b in im.getdata()))\"";
  std::vector<std::uint32_t> pixels;
  FILE* out = popen(command.c_str(), "r");
  for (unsigned v = 0; out && std::fscanf(out, "%u", &v) == 1;) pixels.push_back(v);
  if (out) pclose(out);
  return pixels;
}

struct KindCase {
  const char* name;
  std::function<BmpTest::BmpBuilder()> make;
  int tolerance;
  const char* writer = "";  // a filter that rewrites the built file as a core-header BMP
};

std::uint32_t Mix(int i) { return static_cast<std::uint32_t>(i) * 2654435761u; }

BmpTest::Pixels Noise(int w, int h, int bits) {
  BmpTest::Pixels p{w, h, bits, {}};
  const std::uint64_t mask = bits >= 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
  for (int i = 0; i < w * h; ++i) p.values.push_back(static_cast<std::uint32_t>((Mix(i) >> 7) & mask));
  return p;
}

std::vector<BmpTest::Rgbq> Palette(int n, bool gray) {
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < n; ++i) {
    const auto a = std::uint8_t(Mix(i) >> 24), b = std::uint8_t(Mix(i) >> 16), c = std::uint8_t(Mix(i) >> 8);
    palette.push_back(gray ? BmpTest::Rgbq{a, a, a, 0} : BmpTest::Rgbq{a, b, c, 0});
  }
  return palette;
}

// 37 x 9 unless said: 1001 x 700 makes 2 MB of 24-bit rows, whose blocks end inside rows (and bytes, at 4 bits).
BmpTest::BmpBuilder Paletted(int bits, bool gray = false, int w = 37, int h = 9) {
  return BmpTest::BmpBuilder().SetPixels(Noise(w, h, bits)).SetPalette(Palette(1 << bits, gray));
}
BmpTest::BmpBuilder Direct(int bits, int w = 37, int h = 9) { return BmpTest::BmpBuilder().SetPixels(Noise(w, h, bits)); }

// Few distinct indices, so that runs form.
BmpTest::BmpBuilder RunLength(int width, int bits, std::uint32_t indices) {
  BmpTest::Pixels p = Noise(width, 9, bits);
  for (auto& v : p.values) v %= indices;
  const auto depth = bits == 8 ? BmpTest::RleDepth::Rle8 : BmpTest::RleDepth::Rle4;
  return BmpTest::BmpBuilder().SetRle(width, 9, bits, BmpTest::EncodeRle(p, depth)).SetPalette(Palette(1 << bits, false));
}

// Debian's name for ImageMagick's convert, which never means another program.
constexpr const char* kImageMagickCore = "convert-im6.q16 bmp:- BMP2:-";
constexpr const char* kNetpbmCore = "bmptopnm | ppmtobmp -os2";

class Differential : public testing::TestWithParam<KindCase> {};

TEST_P(Differential, AgreesWithPillow) {
  if (!HavePillow()) {
    if (std::getenv("CI")) FAIL() << "python3-pil is required in CI";
    GTEST_SKIP() << "python3-pil is not installed";
  }
  Bytes bytes = GetParam().make().SetRowPadByte(0xEE).Build();
  const fs::path file = BmpTest::ScratchPath(std::string("differential-") + GetParam().name + ".bmp");
  BmpTest::WriteFile(file, bytes);
  if (*GetParam().writer != '\0') {
    const fs::path built = file.string() + ".in";
    fs::rename(file, built);
    if (std::system(("(" + std::string(GetParam().writer) + ") <" + built.string() + " >" + file.string() + " 2>/dev/null").c_str()) != 0) {
      if (std::getenv("CI")) FAIL() << GetParam().writer << " failed; imagemagick and netpbm are required in CI";
      GTEST_SKIP() << GetParam().writer << " is not available";
    }
    const std::string read = BmpTest::ReadFile(file);
    bytes.assign(read.begin(), read.end());
    ASSERT_EQ(bytes.at(BmpTest::kOffBiSize), BmpTest::kCoreHeaderSize);
  }
  // Row 5, 7, then 3 behind the chain's position; the top half in order, as a stream is read, then the
  // bottom half from the bottom up, as a bottom-up file stores it: across the blocks of a large page.
  const auto image = OpenFile(bytes);
  const std::int32_t height = image->GetImageInfo()->GetHeight();
  std::vector<std::int32_t> order = {5, 7, 3};
  for (std::int32_t y = 0; y < height; ++y) {
    const std::int32_t row = y <= height / 2 ? y : height - 1 - (y - height / 2 - 1);
    if (row != 5 && row != 7 && row != 3) order.push_back(row);
  }
  const CDecoded ours = Describe(image, order);
  const std::vector<std::uint32_t> theirs = PillowPixels(file);
  ASSERT_EQ(theirs.size(), ours.pixels.size());
  for (std::size_t i = 0; i < theirs.size(); ++i) {
    const std::uint32_t a = ours.pixels[i], b = theirs[i];
    for (int shift : {0, 8, 16}) {
      const int diff = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
      ASSERT_LE(diff, GetParam().tolerance) << "pixel " << i << ": ours " << std::hex << a << ", Pillow's " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reading, Differential,
    testing::Values(
        KindCase{"Palette8", [] { return Paletted(8); }, 0}, KindCase{"Palette8Gray", [] { return Paletted(8, true); }, 0},
        KindCase{"Palette1BlackAndWhite", [] { return Paletted(1).SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}); }, 0},
        KindCase{"Rgb24TopDown", [] { return Direct(24).SetTopDown(); }, 0}, KindCase{"Rgb32", [] { return Direct(32); }, 0},
        KindCase{"Rgb555", [] { return Direct(16); }, 1}, KindCase{"Rgb24ManyBlocks", [] { return Direct(24, 1001, 700); }, 0},
        KindCase{"BitFields565", [] { return Direct(16).SetCompression(BmpTest::kBiBitfields).SetMasks(0xF800, 0x07E0, 0x001F); }, 1},
        KindCase{"Palette4ManyBlocks", [] { return Paletted(4, false, 1001, 700); }, 0},
        KindCase{"Rle8", [] { return RunLength(37, 8, 5); }, 0},
        // An even width: Pillow drops the last pixel of an odd-length absolute RLE4 run that ends a row.
        KindCase{"Rle4", [] { return RunLength(36, 4, 3); }, 0},
        KindCase{"NetpbmCore1", [] { return Paletted(1); }, 0, kNetpbmCore},
        KindCase{"ImageMagickCore4", [] { return Paletted(4); }, 0, kImageMagickCore},
        KindCase{"ImageMagickCore8Gray", [] { return Paletted(8, true); }, 0, kImageMagickCore},
        KindCase{"NetpbmCore24", [] { return Direct(24); }, 0, kNetpbmCore}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Deterministic bytes below `limit`, for the row kernels.
Bytes RandomBytes(std::size_t count, unsigned limit) {
  std::minstd_rand random(12345);
  Bytes bytes(count);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random() % limit);
  return bytes;
}

Bytes Unpacked(int bits, std::int64_t firstBit, int count, TKernel kernel) {
  const Bytes row = RandomBytes(64, 256);
  Bytes out(std::size_t(count), 0xEE);
  Image::UnpackPixels(row.data(), firstBit, bits, count, out.data(), kernel);
  return out;
}

Bytes LookedUp(int indexLimit, int count, TKernel kernel) {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[std::size_t(i)] = static_cast<std::uint8_t>(255 - 3 * i);
  Bytes bytes = RandomBytes(std::size_t(count), indexLimit);
  Image::LookUp(table.data(), bytes.data(), count, kernel);
  return bytes;
}

struct KernelCase {
  const char* name;
  std::function<Bytes(TKernel)> run;
};

class RowKernel : public testing::TestWithParam<KernelCase> {};

TEST_P(RowKernel, FastPathMatchesThePortableLoop) {
  EXPECT_EQ(GetParam().run(TKernel::Fastest), GetParam().run(TKernel::Portable));
}

INSTANTIATE_TEST_SUITE_P(
    Reading, RowKernel,
    testing::Values(KernelCase{"Unpack1BitFromAByte", [](TKernel k) { return Unpacked(1, 16, 203, k); }},
                    KernelCase{"Unpack1BitFromInsideAByte", [](TKernel k) { return Unpacked(1, 5, 200, k); }},
                    KernelCase{"Unpack4BitFromAByte", [](TKernel k) { return Unpacked(4, 8, 61, k); }},
                    KernelCase{"LookUpIndicesBelow16", [](TKernel k) { return LookedUp(16, 67, k); }},
                    KernelCase{"LookUpMostlyBelow16", [](TKernel k) { return LookedUp(18, 99, k); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
