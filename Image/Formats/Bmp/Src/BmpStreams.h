#pragma once
// The BMP pixel sources (stored rows to top-first rows without padding) and
// the file output stream (rows to padded, stored rows).
#include <cstdint>

#include "CommonStreams.h"

namespace Image {

// ---- pixel sources ----

// ---- end of pixel sources ----

// ---- file output stream ----

// ---- end of file output stream ----

}  // namespace Image
