#pragma once
// The row geometry of stored pixel rows, worked out only here and all in 64
// bits: row bytes, stride and the pixel array's bytes. Whoever narrows one of
// them checks it against a named limit first.
#include <cstdint>

namespace Image {

struct CRowGeometry {
  std::int64_t rowBytes = 0;    // one row's pixels: (width x bits + 7) / 8
  std::int64_t stride = 0;      // a stored row: row bytes padded to a multiple of 4
  std::int64_t pixelBytes = 0;  // stride x height; INT64_MAX when larger, 0 unless both are positive
};

// A product that is not positive (a header may claim one) is divided without rounding up.
constexpr std::int64_t RowBytes(std::int64_t width, std::int32_t bitsPerPixel) {
  const std::int64_t bits = width * bitsPerPixel;
  return bits > 0 ? (bits + 7) / 8 : bits / 8;
}

constexpr std::int64_t Stride(std::int64_t rowBytes) { return rowBytes > 0 ? (rowBytes + 3) / 4 * 4 : rowBytes / 4 * 4; }

// Width and bits come from 32-bit fields, so only the product with the height can pass 64 bits.
constexpr CRowGeometry MakeRowGeometry(std::int64_t width, std::int64_t height, std::int32_t bitsPerPixel) {
  CRowGeometry geometry{RowBytes(width, bitsPerPixel), 0, 0};
  geometry.stride = Stride(geometry.rowBytes);
  if (geometry.stride > 0 && height > 0) {
    geometry.pixelBytes = geometry.stride > INT64_MAX / height ? INT64_MAX : geometry.stride * height;
  }
  return geometry;
}

}  // namespace Image
