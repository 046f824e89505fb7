#pragma once
// PNG in and out through libpng. Input of any PNG kind is decoded straight
// into a raster of the nearest kind; output is 1-bit gray, 8-bit gray or
// 8-bit RGB by the image's kind. Resolution travels in pHYs, converted as BMP
// files do.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "Raster.h"

namespace BmpTool {

inline bool HasPngSignature(const std::uint8_t* head, std::size_t size) {
  constexpr std::uint8_t kSignature[] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
  return size >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), head);
}
// The file is read from its start; its size bounds what its pixels may inflate
// to. Warnings (an alpha channel dropped) are appended to warnings.
CRaster ReadPng(std::FILE* file, std::uint64_t fileSize, const CDecodeLimits& limits, std::vector<std::string>& warnings);
// Write failures are left in the stream's error flag.
void WritePng(std::FILE* out, const Kes::CPtr<Image::IImage>& image);

// Dots per inch from pixels per metre and back, rounded to nearest exactly.
std::int32_t DpiFromPixelsPerMetre(std::uint32_t pixelsPerMetre);
std::uint32_t PixelsPerMetreFromDpi(std::int32_t dpi);

}  // namespace BmpTool
