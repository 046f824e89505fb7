#pragma once
// The reading side's centre: from a stored file or a DIB in memory to a
// header model and a host image, choosing the chain of streams that carries
// the pixels and the kind of host image that receives them.
#include <cstdint>

#include "BmpFileLayout.h"
#include "BmpImageInfo.h"
#include "CommonStreams.h"
#include "ImageHost/FileSource.h"
#include "ImageHost/Image.h"

namespace Image {

Kes::CPtr<CBmpImageInfo> LoadImageInfo(const Kes::CPtr<IFileSource>& source);
Kes::CPtr<IImage> LoadImage(const Kes::CPtr<IFileSource>& source);
// The caller keeps the whole DIB readable and unchanged while the image lives.
Kes::CPtr<IImage> CreateImageFromDIB(const std::uint8_t* dib, std::int32_t xResolution, std::int32_t yResolution);
// pixelSource delivers the stored rows top row first, without padding.
Kes::CPtr<IImage> BuildImage(const Kes::CPtr<CBmpImageInfo>& info, CReadStreamPtr pixelSource);

}  // namespace Image
