// bmptool built without libpng: PNG files are still recognised, and refused
// with a message that says why.
#include "Commands.h"
#include "Png.h"

namespace BmpTool {

namespace {
constexpr const char* kNoPng = "this bmptool was built without PNG support";
}

CRaster ParsePng(const std::vector<std::uint8_t>&, std::vector<std::string>&) { throw CPngError(kNoPng); }

void WritePng(const std::string& path, const Kes::CPtr<Image::IImage>&) {
  throw CFileProblem{path, std::string("cannot be written: ") + kNoPng};
}

}  // namespace BmpTool
