// A BMP file read from memory: its description, then its page row by row.
#include <cstddef>
#include <cstdint>

#include "BmpImageFileImpl.h"
#include "FuzzSupport.h"
#include "ImageHost/HostServices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSupport::SetUpOnce();
  const auto source = Image::CreateMemoryFileSource(data, static_cast<std::int64_t>(size), u"fuzz.bmp");
  const Image::CBmpImageFileFormat format;
  FuzzSupport::Absorbing([&] { format.IsFormatOf(source); });
  const auto file = format.OpenImageFile(source);
  FuzzSupport::Absorbing([&] { file->GetImageInfo(0); });
  FuzzSupport::Absorbing([&] { FuzzSupport::ReadRows(file->OpenImagePage(0)); });
  return 0;
}
