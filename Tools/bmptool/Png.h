#pragma once
// PNG in and out through libpng. Input of any PNG kind becomes a raster of
// the nearest kind; output is 1-bit gray, 8-bit gray or 8-bit RGB by the
// image's kind. Resolution travels in pHYs, converted as BMP files do.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "Raster.h"

namespace BmpTool {

// Malformed or unsupported PNG input, or a PNG that cannot be written.
class CPngError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

inline bool LooksLikePng(const std::vector<std::uint8_t>& bytes) {
  constexpr std::uint8_t kSignature[] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
  return bytes.size() >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}
// Warnings (an alpha channel dropped) are appended to warnings.
CRaster ParsePng(const std::vector<std::uint8_t>& bytes, std::vector<std::string>& warnings);
void WritePng(const std::string& path, const Kes::CPtr<Image::IImage>& image);

// Dots per inch from pixels per metre and back, rounded to nearest exactly.
std::int32_t DpiFromPixelsPerMetre(std::uint32_t pixelsPerMetre);
std::uint32_t PixelsPerMetreFromDpi(std::int32_t dpi);

}  // namespace BmpTool
