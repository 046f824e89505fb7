// Out-of-line destructors: the interfaces' type information lives here once,
// so casts work across the module's dlopen boundary.
#include "Bmp/BmpInterfaces.h"

IBinaryAttributes::~IBinaryAttributes() = default;

namespace Image {
IBmpImageSaveParams::~IBmpImageSaveParams() = default;
IBmpImageInfo::~IBmpImageInfo() = default;
IBmpImageFileFormat::~IBmpImageFileFormat() = default;
}  // namespace Image
