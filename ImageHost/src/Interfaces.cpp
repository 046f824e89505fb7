// Out-of-line destructors: each interface's type information lives here
// once, so casts work between the host, the tool and loaded modules.
#include "ImageHost/ColorMap.h"
#include "ImageHost/FileSource.h"
#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageFileFormat.h"
#include "ImageHost/ImageInfo.h"
#include "ImageHost/ImageServices.h"
#include "ImageHost/Metadata.h"

namespace Image {
IMetadataEntry::~IMetadataEntry() = default;
IMetadata::~IMetadata() = default;
IRGBColorMap::~IRGBColorMap() = default;
IRGBColorMask::~IRGBColorMask() = default;
IImageInfo::~IImageInfo() = default;
IRGBImageReader::~IRGBImageReader() = default;
IGrayImageReader::~IGrayImageReader() = default;
IRLEImageReader::~IRLEImageReader() = default;
IRGBImageWriter::~IRGBImageWriter() = default;
IGrayImageWriter::~IGrayImageWriter() = default;
IRLEImageWriter::~IRLEImageWriter() = default;
IRGBImageFetcher::~IRGBImageFetcher() = default;
IGrayImageFetcher::~IGrayImageFetcher() = default;
IRLEImageFetcher::~IRLEImageFetcher() = default;
IImage::~IImage() = default;
IFileSource::~IFileSource() = default;
IImageServices::~IImageServices() = default;
IImageFileFormat::~IImageFileFormat() = default;
IImageFile::~IImageFile() = default;
IImageFileWriter::~IImageFileWriter() = default;
}  // namespace Image
