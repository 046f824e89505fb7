#pragma once
#include <cstdint>

// Every form of BMP pixel data the module meets. The numbers are stored in
// save parameters, so they never change.
enum TBmpPixelFormat : std::int32_t {
  BPF_Unknown = 0,
  BPF_Palette1 = 1,
  BPF_Palette4 = 2,
  BPF_Palette8 = 3,
  BPF_Rgb16 = 4,        // 16 bits, fixed 5-5-5 masks
  BPF_BitFields16 = 5,  // 16 bits, masks from the file
  BPF_Rgb24 = 6,
  BPF_Rgb32 = 7,        // 32 bits, fixed 8-8-8 masks
  BPF_BitFields32 = 8,  // 32 bits, masks from the file
  BPF_Rle4 = 9,
  BPF_Rle8 = 10,
  BPF_Jpeg = 11,
  BPF_Png = 12,
};

inline constexpr std::int32_t kBmpPixelFormatCount = 13;

// Whether the module reads the pixels of this format: stored rows with a
// palette, fixed masks or bit fields, and run-length pages.
constexpr bool IsDecodable(TBmpPixelFormat format) noexcept {
  switch (format) {
    case BPF_Palette1:
    case BPF_Palette4:
    case BPF_Palette8:
    case BPF_Rgb16:
    case BPF_BitFields16:
    case BPF_Rgb24:
    case BPF_Rgb32:
    case BPF_BitFields32:
    case BPF_Rle4:
    case BPF_Rle8:
      return true;
    case BPF_Unknown:
    case BPF_Jpeg:
    case BPF_Png:
      return false;
  }
  return false;  // not a format number at all
}

inline constexpr bool IsBmpPixelFormatNumber(std::int64_t value) noexcept {
  return value >= BPF_Unknown && value <= BPF_Png;
}
