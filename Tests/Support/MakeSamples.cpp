// Writes the bundled sample files: small pictures of every main kind of BMP,
// made byte by byte by the test builder, plus one file cut short on purpose.
//   make-samples DIR
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Support/BmpBuilder.h"

namespace {

using BmpTest::BmpBuilder;
using BmpTest::Pixels;
using BmpTest::Rgbq;

constexpr int kWidth = 48, kHeight = 32;
constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dpi

// A disc on a diagonal gradient: r, g, b in 0..255.
void Picture(int x, int y, int& r, int& g, int& b) {
  const int dx = x - kWidth / 2, dy = y - kHeight / 2;
  const bool disc = dx * dx + dy * dy < 100;
  r = disc ? 230 : x * 255 / (kWidth - 1);
  g = disc ? 40 : y * 255 / (kHeight - 1);
  b = disc ? 60 : 128;
}

int Luma(int r, int g, int b) { return (299 * r + 587 * g + 114 * b + 500) / 1000; }

Pixels Make(int bits, std::uint32_t (*value)(int r, int g, int b)) {
  Pixels pixels{kWidth, kHeight, bits, {}};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int r, g, b;
      Picture(x, y, r, g, b);
      pixels.values.push_back(value(r, g, b));
    }
  }
  return pixels;
}

std::vector<Rgbq> GrayPalette(int entries) {
  std::vector<Rgbq> palette;
  for (int i = 0; i < entries; ++i) {
    const auto level = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    palette.push_back({level, level, level, 0});
  }
  return palette;
}

// Blue in 2 bits, then green and red in `bits` bits each: 16 colours for 1, 256 for 3.
std::vector<Rgbq> ColourPalette(int bits) {
  const int levels = (1 << bits) - 1;
  std::vector<Rgbq> palette;
  for (int i = 0; i < 4 << 2 * bits; ++i) {
    palette.push_back({static_cast<std::uint8_t>((i & 3) * 85), static_cast<std::uint8_t>((i >> 2 & levels) * 255 / levels),
                       static_cast<std::uint8_t>((i >> (2 + bits)) * 255 / levels), 0});
  }
  return palette;
}
// A colour's entry in each palette.
std::uint32_t Colour16(int r, int g, int b) { return std::uint32_t((r > 127) << 3 | (g > 127) << 2 | (b * 3 + 127) / 255); }
std::uint32_t Colour256(int r, int g, int b) { return std::uint32_t(r * 7 / 255 << 5 | g * 7 / 255 << 2 | b * 3 / 255); }

void Write(const std::filesystem::path& dir, const char* name, const BmpBuilder& builder) {
  BmpTest::WriteFile(dir / name, builder.Build());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-samples DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  const auto base = [](BmpBuilder builder) { return builder.SetResolution(kPixelsPerMetre, kPixelsPerMetre); };

  Write(dir, "palette1-bw.bmp",
        base(BmpBuilder().SetPixels(Make(1, [](int r, int g, int b) { return std::uint32_t(Luma(r, g, b) >= 128); })))
            .SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}));
  Write(dir, "palette4.bmp", base(BmpBuilder().SetPixels(Make(4, Colour16))).SetPalette(ColourPalette(1)));
  Write(dir, "palette8-gray.bmp",
        base(BmpBuilder().SetPixels(Make(8, [](int r, int g, int b) { return std::uint32_t(Luma(r, g, b)); })))
            .SetPalette(GrayPalette(256)));
  Write(dir, "palette8.bmp", base(BmpBuilder().SetPixels(Make(8, Colour256))).SetPalette(ColourPalette(3)));
  const Pixels indices8 = Make(8, Colour256);
  Write(dir, "rle8.bmp",
        base(BmpBuilder().SetRle(kWidth, kHeight, 8, BmpTest::EncodeRle(indices8, BmpTest::RleDepth::Rle8)))
            .SetPalette(ColourPalette(3)));
  const Pixels indices4 = Make(4, Colour16);
  Write(dir, "rle4.bmp",
        base(BmpBuilder().SetRle(kWidth, kHeight, 4, BmpTest::EncodeRle(indices4, BmpTest::RleDepth::Rle4)))
            .SetPalette(ColourPalette(1)));
  Write(dir, "bitfields16-565.bmp",
        base(BmpBuilder().SetPixels(Make(16, [](int r, int g, int b) { return std::uint32_t(r >> 3 << 11 | g >> 2 << 5 | b >> 3); })))
            .SetCompression(BmpTest::kBiBitfields)
            .SetMasks(0xF800, 0x07E0, 0x001F));
  const auto rgb = [](int r, int g, int b) { return std::uint32_t(r << 16 | g << 8 | b); };
  Write(dir, "rgb24.bmp", base(BmpBuilder().SetPixels(Make(24, rgb))));
  Write(dir, "rgb24-topdown.bmp", base(BmpBuilder().SetPixels(Make(24, rgb))).SetTopDown());
  Write(dir, "rgb32.bmp", base(BmpBuilder().SetPixels(Make(32, rgb))));
  Write(dir, "v5-bitfields32.bmp",
        base(BmpBuilder().SetPixels(Make(32, [](int r, int g, int b) { return std::uint32_t(b << 24 | g << 16 | r << 8); })))
            .SetInfoHeaderSize(BmpTest::kV5HeaderSize)
            .SetCompression(BmpTest::kBiBitfields)
            .SetMasks(0x0000FF00, 0x00FF0000, 0xFF000000));
  // The pixel array ends half way: the error path.
  std::vector<std::uint8_t> broken = base(BmpBuilder().SetPixels(Make(24, rgb))).Build();
  broken.resize(broken.size() / 2);
  BmpTest::WriteFile(dir / "broken-truncated.bmp", broken);
  return 0;
}
