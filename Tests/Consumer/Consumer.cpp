// Loads the installed module, reads a BMP file and writes it back, then checks
// that the copy opens as the same image. Exit status 0 when it does.
#include <cstdio>
#include <string>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/HostServices.h"
#include "Kes/Factory.h"
#include "Kes/Module.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: consumer IN.bmp OUT.bmp\n");
    return 2;
  }
  Image::CHostServicesScope host;
  try {
    const Kes::HMODULE module =
        Kes::LoadModule(Kes::CUnicodeString::FromUtf8(std::string(BMP_MODULE_DIR) + "/libBmpFormat.so"));
    int status = 1;
    {
      const auto format = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
      const auto image = format->OpenImageFile(Kes::CUnicodeString::FromUtf8(argv[1]))->OpenImagePage(0);
      format->CreateImageFileWriter(Kes::CUnicodeString::FromUtf8(argv[2]))->AddImagePage(image, nullptr);
      const auto copy = format->OpenImageFile(Kes::CUnicodeString::FromUtf8(argv[2]))->OpenImagePage(0);
      const bool same = copy->GetImageType() == image->GetImageType() &&
                        copy->GetImageInfo()->GetWidth() == image->GetImageInfo()->GetWidth() &&
                        copy->GetImageInfo()->GetHeight() == image->GetImageInfo()->GetHeight();
      std::printf("%s: %d x %d, copy %s\n", argv[1], image->GetImageInfo()->GetWidth(),
                  image->GetImageInfo()->GetHeight(), same ? "matches" : "differs");
      status = same ? 0 : 1;
    }
    Kes::UnloadModule(module);
    return status;
  } catch (Kes::CException* error) {
    std::fprintf(stderr, "consumer: %s: %s\n", error->ErrorId(), error->Message().ToUtf8().c_str());
    error->Delete();
    return 1;
  }
}
