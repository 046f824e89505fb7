#pragma once
#include <array>
#include <cstdint>
#include <cstring>

namespace Image {

// The byte order of 24-bit BMP pixels and palette entries.
struct CRGBColor {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  friend bool operator==(const CRGBColor&, const CRGBColor&) = default;
};
static_assert(sizeof(CRGBColor) == 3);

// A colour as blue, green, red and a spare byte: the entry of a table whose
// colours are stored four bytes at a time.
using CPaddedColor = std::array<std::uint8_t, 4>;

// Writes the table's colour for each of count indices as three bytes at out.
// Every colour but the last is stored as four bytes, the spare one overwritten
// by the next colour, and the last as three, so nothing lands past the run.
// The bytes written for index i end before index i + 1 wherever
// out + 3 * i + 4 <= &indices[i + 1], so indices may lie in out's own buffer
// above it.
template <class Index>
void StorePaddedColors(const CPaddedColor* table, const Index* indices, std::int64_t count, std::uint8_t* out) {
  constexpr std::size_t kColorBytes = 3;
  std::int64_t i = 0;
  for (; i + 1 < count; ++i) std::memcpy(out + kColorBytes * i, table[indices[i]].data(), sizeof(CPaddedColor));
  for (; i < count; ++i) std::memcpy(out + kColorBytes * i, table[indices[i]].data(), kColorBytes);
}

// Darkness: 0 is white, 255 black.
struct CGrayColor {
  std::uint8_t value = 0;
  friend bool operator==(const CGrayColor&, const CGrayColor&) = default;
};
static_assert(sizeof(CGrayColor) == 1);

// One black run of a black-and-white row, end exclusive.
struct CRleStroke {
  std::int16_t start = 0;
  std::int16_t end = 0;
  friend bool operator==(const CRleStroke&, const CRleStroke&) = default;
};
static_assert(sizeof(CRleStroke) == 4);

// Every row's stroke list ends with this stroke.
inline constexpr CRleStroke kEndStroke{32767, -1};
inline constexpr bool IsEndStroke(const CRleStroke& s) noexcept { return s == kEndStroke; }

}  // namespace Image
