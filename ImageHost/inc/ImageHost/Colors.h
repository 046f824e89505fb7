#pragma once
#include <cstdint>

namespace Image {

// The byte order of 24-bit BMP pixels and palette entries.
struct CRGBColor {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  friend bool operator==(const CRGBColor&, const CRGBColor&) = default;
};
static_assert(sizeof(CRGBColor) == 3);

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
