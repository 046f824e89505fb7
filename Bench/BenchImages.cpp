#include "BenchImages.h"

#include <utility>

#include "Support/BmpBuilder.h"

namespace BmpBench {
namespace {

using BmpTest::BmpBuilder;
using BmpTest::Pixels;

constexpr int kPaletteEntries8 = 256;
constexpr int kPaletteEntries4 = 16;
constexpr int kTextLinePitch = 48;
constexpr int kGlyphHeight = 28;
constexpr int kGlyphPitch = 18;
constexpr int kMargin = 300;

// A smooth gradient with a little deterministic grain, like a photograph.
std::uint32_t PhotoRgb(int x, int y, std::uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  const std::uint32_t grain = (seed >> 24) & 15u;
  const std::uint32_t r = (std::uint32_t(x) * 255u / 6000u + grain) & 255u;
  const std::uint32_t g = (std::uint32_t(y) * 255u / 4000u + grain) & 255u;
  const std::uint32_t b = (std::uint32_t(x + y) * 128u / 10000u + 64u + grain) & 255u;
  return (r << 16) | (g << 8) | b;
}

// Dark glyph boxes in text lines on white: long runs, as a scanned page has.
bool DocumentInk(int x, int y, int width, int height) {
  if (x < kMargin || x >= width - kMargin || y < kMargin || y >= height - kMargin) return false;
  const int line = (y - kMargin) % kTextLinePitch;
  if (line >= kGlyphHeight) return false;
  const int glyph = (x - kMargin) / kGlyphPitch;
  const int word = glyph % 7;
  if (word == 6) return false;  // the space between words
  const int inGlyph = (x - kMargin) % kGlyphPitch;
  return inGlyph >= 2 && inGlyph < 14 && ((glyph * 31 + line) % 5 != 0);
}

Pixels Filled(int width, int height, int bits, auto value) {
  Pixels image{width, height, bits, std::vector<std::uint32_t>(std::size_t(width) * std::size_t(height))};
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.values[std::size_t(y) * std::size_t(width) + std::size_t(x)] = value(x, y, seed);
  }
  return image;
}

std::vector<BmpTest::Rgbq> GrayPalette(int entries) {
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < entries; ++i) {
    const auto level = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    palette.push_back({level, level, level, 0});
  }
  return palette;
}

std::vector<BmpTest::Rgbq> ColourPalette(int entries) {
  std::vector<BmpTest::Rgbq> palette;
  for (int i = 0; i < entries; ++i) {
    palette.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 11), 0});
  }
  return palette;
}

std::uint8_t Luma(std::uint32_t rgb) {
  return static_cast<std::uint8_t>((((rgb >> 16) & 255u) * 3 + ((rgb >> 8) & 255u) * 4 + (rgb & 255u)) / 8);
}

}  // namespace

std::vector<CVariant> WriteVariants(const std::filesystem::path& dir, int width, int height) {
  std::vector<CVariant> variants;
  auto add = [&](const std::string& name, TDecoded decoded, const std::vector<std::uint8_t>& bytes) {
    const auto path = dir / (name + ".bmp");
    BmpTest::WriteFile(path, bytes);
    variants.push_back({name, path, decoded, static_cast<std::int64_t>(bytes.size())});
  };
  const Pixels photo = Filled(width, height, 24, PhotoRgb);
  auto derived = [&](int bits, auto fromRgb) {
    Pixels image{width, height, bits, std::vector<std::uint32_t>(photo.values.size())};
    for (std::size_t i = 0; i < photo.values.size(); ++i) image.values[i] = fromRgb(photo.values[i]);
    return image;
  };
  const int inkWidth = width, inkHeight = height;
  auto document = [&](int bits, std::uint32_t paper, std::uint32_t ink) {
    return Filled(width, height, bits, [&](int x, int y, std::uint32_t&) { return DocumentInk(x, y, inkWidth, inkHeight) ? ink : paper; });
  };

  add("bw1", TDecoded::BlackAndWhite,
      BmpBuilder().SetPixels(document(1, 1, 0)).SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}).Build());
  add("gray4", TDecoded::Gray,
      BmpBuilder().SetPixels(derived(4, [](std::uint32_t c) { return std::uint32_t(Luma(c) >> 4); })).SetPalette(GrayPalette(kPaletteEntries4)).Build());
  add("colour4", TDecoded::Rgb,
      BmpBuilder().SetPixels(derived(4, [](std::uint32_t c) { return (c >> 4) & 15u; })).SetPalette(ColourPalette(kPaletteEntries4)).Build());
  add("gray8", TDecoded::Gray,
      BmpBuilder().SetPixels(derived(8, [](std::uint32_t c) { return std::uint32_t(Luma(c)); })).SetPalette(GrayPalette(kPaletteEntries8)).Build());
  add("colour8", TDecoded::Rgb,
      BmpBuilder().SetPixels(derived(8, [](std::uint32_t c) { return c & 255u; })).SetPalette(ColourPalette(kPaletteEntries8)).Build());
  const auto rgb555 = derived(16, [](std::uint32_t c) { return ((c >> 9) & 0x7C00u) | ((c >> 6) & 0x3E0u) | ((c >> 3) & 0x1Fu); });
  add("rgb555", TDecoded::Rgb, BmpBuilder().SetPixels(rgb555).Build());
  const auto rgb565 = derived(16, [](std::uint32_t c) { return ((c >> 8) & 0xF800u) | ((c >> 5) & 0x7E0u) | ((c >> 3) & 0x1Fu); });
  add("bitfields565", TDecoded::Rgb,
      BmpBuilder().SetPixels(rgb565).SetCompression(BmpTest::kBiBitfields).SetMasks(0xF800, 0x07E0, 0x001F).Build());
  add("rgb24", TDecoded::Rgb, BmpBuilder().SetPixels(photo).Build());
  add("rgb24topdown", TDecoded::Rgb, BmpBuilder().SetPixels(photo).SetTopDown().Build());
  const auto rgb32 = derived(32, [](std::uint32_t c) { return c; });
  add("rgb32", TDecoded::Rgb, BmpBuilder().SetPixels(rgb32).Build());
  add("bitfields32", TDecoded::Rgb,
      BmpBuilder().SetPixels(rgb32).SetCompression(BmpTest::kBiBitfields).SetMasks(0x00FF0000, 0x0000FF00, 0x000000FF).Build());
  const auto document8 = document(8, 255, 0);
  add("rle8document", TDecoded::Gray,
      BmpBuilder().SetRle(width, height, 8, BmpTest::EncodeRle(document8, BmpTest::RleDepth::Rle8)).SetPalette(GrayPalette(kPaletteEntries8)).Build());
  const auto document4 = document(4, 15, 0);
  add("rle4document", TDecoded::Gray,
      BmpBuilder().SetRle(width, height, 4, BmpTest::EncodeRle(document4, BmpTest::RleDepth::Rle4)).SetPalette(GrayPalette(kPaletteEntries4)).Build());
  const auto noise8 = derived(8, [](std::uint32_t c) { return c & 255u; });
  add("rle8noise", TDecoded::Rgb,
      BmpBuilder().SetRle(width, height, 8, BmpTest::EncodeRle(noise8, BmpTest::RleDepth::Rle8)).SetPalette(ColourPalette(kPaletteEntries8)).Build());
  return variants;
}

namespace {
constexpr std::pair<TDecoded, const char*> kDecodedNames[] = {
    {TDecoded::BlackAndWhite, "bw"}, {TDecoded::Gray, "gray"}, {TDecoded::Rgb, "rgb"}};
}  // namespace

const char* DecodedName(TDecoded decoded) {
  for (const auto& [kind, name] : kDecodedNames) {
    if (kind == decoded) return name;
  }
  return "?";
}

bool ParseDecoded(const std::string& name, TDecoded& decoded) {
  for (const auto& [kind, known] : kDecodedNames) {
    if (name == known) {
      decoded = kind;
      return true;
    }
  }
  return false;
}

}  // namespace BmpBench
