#pragma once
// The inner loops of the read filters. Each has a portable loop and a faster
// path, chosen by what the data and the processor allow; the portable one can
// be asked for, so that tests hold the two to the same results.
#include <cstdint>

namespace Image {

enum class TKernel { Portable, Fastest };

// Unpacks count pixels of bitsPerPixel (1 to 7) bits that start firstBit bits
// into row, one byte per pixel, reading only the bytes that hold them.
void UnpackPixels(const std::uint8_t* row, std::int64_t firstBit, std::int32_t bitsPerPixel, std::int32_t count,
                  std::uint8_t* out, TKernel kernel = TKernel::Fastest);

// Replaces each of count bytes with its entry in a table of 256.
void LookUp(const std::uint8_t* table, std::uint8_t* bytes, std::int32_t count, TKernel kernel = TKernel::Fastest);

}  // namespace Image
