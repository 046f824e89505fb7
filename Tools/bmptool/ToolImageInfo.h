#pragma once
#include <cstdint>

#include "ImageHost/ImageInfo.h"

namespace BmpTool {

// The description of an image the tool makes itself (from PNM or a converted raster).
Kes::CPtr<Image::IImageInfo> MakeToolImageInfo(std::int32_t width, std::int32_t height, std::int32_t xDpi,
                                               std::int32_t yDpi);

}  // namespace BmpTool
