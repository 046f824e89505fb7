// Writes a seed corpus for every fuzz target, made by the test builder.
//   make-fuzz-seeds DIR   (DIR/file, DIR/dib, DIR/archive, DIR/writer)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Support/BmpBuilder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using BmpTest::BmpBuilder;

BmpTest::Pixels Ramp(int w, int h, int bits) {
  BmpTest::Pixels p{w, h, bits, {}};
  const std::uint64_t limit = bits >= 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
  for (int i = 0; i < w * h; ++i) p.values.push_back(static_cast<std::uint32_t>((std::uint64_t(i) * 2654435761u) & limit));
  return p;
}

std::vector<BmpTest::Rgbq> Palette(int entries) {
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < entries; ++i) palette.push_back({std::uint8_t(i * 7), std::uint8_t(i * 3), std::uint8_t(i), 0});
  return palette;
}

std::vector<BmpBuilder> Builders() {
  std::vector<BmpBuilder> all;
  for (const int bits : {1, 4, 8}) all.push_back(BmpBuilder().SetPixels(Ramp(13, 5, bits)).SetPalette(Palette(1 << bits)));
  all.push_back(BmpBuilder().SetPixels(Ramp(5, 3, 8)).SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}).SetClrUsed(2));
  all.push_back(BmpBuilder().SetInfoHeaderSize(BmpTest::kCoreHeaderSize).SetPixels(Ramp(13, 5, 4)).SetPalette(Palette(5)));
  for (const int bits : {16, 24, 32}) all.push_back(BmpBuilder().SetPixels(Ramp(9, 4, bits)).SetTopDown(bits == 24));
  all.push_back(BmpBuilder().SetPixels(Ramp(9, 4, 16)).SetCompression(BmpTest::kBiBitfields).SetMasks(0xF800, 0x07E0, 0x001F));
  all.push_back(BmpBuilder()
                    .SetPixels(Ramp(6, 2, 32))
                    .SetInfoHeaderSize(BmpTest::kV5HeaderSize)
                    .SetCompression(BmpTest::kBiBitfields)
                    .SetMasks(0xFF0000, 0xFF00, 0xFF));
  const BmpTest::Pixels indices = Ramp(20, 6, 4);
  all.push_back(BmpBuilder().SetRle(20, 6, 8, BmpTest::EncodeRle(indices, BmpTest::RleDepth::Rle8)).SetPalette(Palette(256)));
  all.push_back(BmpBuilder().SetRle(20, 6, 4, BmpTest::EncodeRle(indices, BmpTest::RleDepth::Rle4)).SetPalette(Palette(16)));
  all.push_back(BmpBuilder()
                    .SetRle(8, 8, 8, BmpTest::RleStream().EncodedRun(3, 1).Delta(2, 1).Absolute({1, 2, 3}, BmpTest::RleDepth::Rle8).EndOfLine().EndOfBitmap().Bytes())
                    .SetPalette(Palette(4))
                    .SetClrUsed(4));
  return all;
}

void Put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  BmpTest::WriteFile(dir / name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-seeds DIR\n");
    return 2;
  }
  const fs::path dir = argv[1];
  int n = 0;
  for (const BmpBuilder& builder : Builders()) {
    const std::string name = "seed-" + std::to_string(n++);
    Put(dir / "file", name + ".bmp", builder.Build());
    Put(dir / "dib", name + ".dib", builder.BuildDib());
  }
  // Archives: a selector byte (even: save parameters, odd: metadata entry), then the archive.
  Put(dir / "archive", "params.bin", {0x00, 0x00, 0x78, 0x56, 0x34, 0x12, 0x06});
  Put(dir / "archive", "entry-slong.bin", {0x01, 0x00, 0x09, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  Put(dir / "archive", "entry-ascii.bin", {0x01, 0x00, 0x02, 1, 0, 0, 0, 0x02, 'H', 0, 'i', 0});
  Put(dir / "archive", "entry-rational.bin", {0x01, 0x00, 0x05, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0});
  Put(dir / "archive", "entry-bytes.bin", {0x01, 0x00, 0x07, 3, 0, 0, 0, 1, 2, 3});
  // Writer: kind, width, height, dpi, then pixel bytes; 0xFF first feeds raw strokes.
  for (std::uint8_t kind = 0; kind < 3; ++kind) {
    Bytes input = {kind, 9, 4, 96};
    for (int i = 0; i < 200; ++i) input.push_back(static_cast<std::uint8_t>(i * 37));
    Put(dir / "writer", "kind-" + std::to_string(kind) + ".bin", input);
  }
  Put(dir / "writer", "strokes.bin", {0xFF, 20, 1, 0, 3, 0, 5, 0, 9, 0, 0xFF, 0x7F, 0xFF, 0xFF});
  return 0;
}
