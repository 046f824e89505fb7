#pragma once
// Binary PNM: P4 (1 = black), P5 (0 = black) and P6, 8 or 16 bits per sample.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "Raster.h"

namespace BmpTool {

// Malformed or unsupported PNM input; the message says what is wrong.
class CPnmError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

bool LooksLikePnm(const std::vector<std::uint8_t>& bytes);
CRaster ParsePnm(const std::vector<std::uint8_t>& bytes);

enum class TPnmType { Bitmap, Graymap, Pixmap };

// Writes the header; rows then go through WritePnmRow one by one, top first.
void WritePnmHeader(std::FILE* out, TPnmType type, std::int32_t width, std::int32_t height);
void WritePnmRow(std::FILE* out, TPnmType type, const std::uint8_t* rgb, std::int32_t width);

}  // namespace BmpTool
