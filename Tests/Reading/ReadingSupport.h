#pragma once
// Decoding built files through the format object and describing what the
// host image holds, pixel by pixel, for comparison with expectations
// worked out independently from the builder's description.
#include <cstdint>
#include <string>
#include <vector>

#include "ImageHost/Image.h"
#include "ImageHost/ImageFileFormat.h"
#include "Kes/Object.h"
#include "Support/BmpBuilder.h"

namespace ReadingTest {

using Bytes = std::vector<std::uint8_t>;

struct CDecoded {
  Image::TImageType type = Image::ImageTypeRGB;
  std::int32_t width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB whatever the kind, rows top first
  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Entry i is (0, 0, i) as (r, g, b): index i shows as the RGB value i.
std::vector<BmpTest::Rgbq> BlueRamp(int entries);

// Reads every row of the image; rowOrder lists the rows in the order to read them (all rows when empty).
CDecoded Describe(const Kes::CPtr<Image::IImage>& image, std::vector<std::int32_t> rowOrder = {});
// Opens the bytes as a file named "test.bmp"; its page; its page decoded.
Kes::CPtr<Image::IImageFile> OpenImageFile(const Bytes& bytes);
Kes::CPtr<Image::IImage> OpenFile(const Bytes& bytes);
CDecoded DecodeFile(const Bytes& bytes, std::vector<std::int32_t> rowOrder = {});

}  // namespace ReadingTest
