#include "BmpStreams.h"

#include "ErrorSites.h"

namespace Image {

// ---- pixel sources ----

// ---- end of pixel sources ----

// ---- file output stream ----

// ---- end of file output stream ----

}  // namespace Image
