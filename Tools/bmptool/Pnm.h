#pragma once
// Binary PNM: P4 (1 = black), P5 (0 = black) and P6, 8 or 16 bits per sample.
#include <cstdint>
#include <cstdio>
#include <string>

#include "Raster.h"

namespace BmpTool {

// "P" and a digit: the binary forms are read, the plain ones and PAM refused by name.
inline bool HasPnmSignature(const std::uint8_t* head, std::size_t size) {
  return size >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7';
}
// The file is read from its start; its pixels must lie within fileSize.
CRaster ReadPnm(std::FILE* file, std::uint64_t fileSize, const CDecodeLimits& limits);

enum class TPnmType { Bitmap, Graymap, Pixmap };

// Writes the header; rows then go through WritePnmRow one by one, top first.
// Write failures are left in the stream's error flag.
void WritePnmHeader(std::FILE* out, TPnmType type, std::int32_t width, std::int32_t height);
void WritePnmRow(std::FILE* out, TPnmType type, const std::uint8_t* rgb, std::int32_t width, std::vector<std::uint8_t>& row);

}  // namespace BmpTool
