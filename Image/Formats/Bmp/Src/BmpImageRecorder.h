#pragma once
// Writes one host image as an uncompressed, bottom-up BMP file: 1 bit with a
// black-and-white palette, 8 bits with a gray palette, or 24 bits.
#include <cstdint>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/Image.h"
#include "Kes/File.h"

namespace Image {

// The two headers as written, with the row geometry they imply.
struct CBmpHeaders {
  std::uint32_t fileSize = 0;
  std::uint32_t dataOffset = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitCount = 0;
  std::int32_t xPixelsPerMetre = 0;
  std::int32_t yPixelsPerMetre = 0;
  std::int64_t rowBytes = 0;
  std::int64_t stride = 0;
  TBmpPixelFormat format = BPF_Unknown;
};

inline constexpr std::int64_t kMaxBmpFileSize = 0xFFFFFFFF;

// Refuses a file too large for its 32-bit sizes (ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG with fileName).
CBmpHeaders MakeBmpHeaders(const IImageInfo& info, TBmpPixelFormat format, const Kes::CUnicodeString& fileName);
void WriteBmpHeaders(Kes::CBaseFile& file, const CBmpHeaders& headers);

// Settles the file for the image without touching any file, so that what is
// refused leaves the caller's file as it was: a pixel format in params that
// does not suit the image (ERR_IMAGE_BAD_PARAM_CALL) and a file too large.
// params may be empty: the pixel format then follows the image's type.
CBmpHeaders PlanBmpImage(const Kes::CPtr<IImage>& image, const Kes::CPtr<IBmpImageSaveParams>& params,
                         const Kes::CUnicodeString& fileName);
// Writes the image as planned for it.
void RecordBmpImage(Kes::CBaseFile& file, const Kes::CPtr<IImage>& image, const CBmpHeaders& headers);

}  // namespace Image
