#pragma once
// Small helpers the format calls from several places: little-endian field
// reads from a file, the "BM" signature test and the source-format metadata.
#include <cstdint>

#include "ImageHost/Metadata.h"
#include "Kes/File.h"

namespace Image {

inline constexpr const char16_t* kSourceFormatKey = u"img/sourceFileFormat";
inline constexpr std::int64_t kSourceFormatBmp = 1;
// The first two bytes of every BMP file.
inline constexpr std::uint8_t kBmpSignature[2] = {'B', 'M'};

// Read at the file's position; a short read raises ERR_IMAGE_INVALID_IMAGE_FILE with the file's name.
std::uint16_t ReadWord(Kes::CBaseFile& file);
std::uint32_t ReadDword(Kes::CBaseFile& file);
// The file header's pixel offset (bfOffBits), taken as signed. A file too
// short to hold it raises ERR_IMAGE_INVALID_IMAGE_FILE with the file's name.
std::int64_t ReadPixelOffset(Kes::CBaseFile& file);
// Rewinds and reads two bytes; true only for "BM". Never raises for a short file.
bool HasBmpSignature(Kes::CBaseFile& file);
// A new root metadata holding "img/sourceFileFormat" = 1.
Kes::CPtr<IMetadata> CreateSourceFormatMetadata();

}  // namespace Image
