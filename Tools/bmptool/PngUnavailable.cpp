// bmptool built without libpng: PNG files are still recognised, and refused
// with a message that says why.
#include "Commands.h"
#include "Png.h"

namespace BmpTool {

namespace {
constexpr const char* kNoPng = "this bmptool was built without PNG support";
}

CRaster ReadPng(std::FILE*, std::uint64_t, const CDecodeLimits&, std::vector<std::string>&) {
  throw CFileProblem{kNoPng};
}

void WritePng(std::FILE*, const Kes::CPtr<Image::IImage>&) { throw CFileProblem{std::string("cannot be written: ") + kNoPng}; }

}  // namespace BmpTool
