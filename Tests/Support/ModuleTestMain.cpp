// The main of every suite that links the format's objects directly: the host
// services are registered and the module-wide objects built, as the module's
// start-up would, for the whole run.
#include <gtest/gtest.h>

#include "BmpModuleObjects.h"
#include "ImageHost/HostServices.h"
#include "ModuleErrors.h"

namespace {

class CModuleObjectsScope {
public:
  CModuleObjectsScope() {
    Image::CreateFormatDescription();
    for (int i = 0; i < Image::kBmpExtensionCount; ++i) Image::CreateExtension(static_cast<Image::TBmpExtension>(i));
    for (int i = 0; i < Image::kModuleErrorCount; ++i) Image::CreateModuleError(static_cast<Image::TModuleError>(i));
  }
  ~CModuleObjectsScope() {
    for (int i = 0; i < Image::kModuleErrorCount; ++i) Image::DestroyModuleError(static_cast<Image::TModuleError>(i));
    for (int i = 0; i < Image::kBmpExtensionCount; ++i) Image::DestroyExtension(static_cast<Image::TBmpExtension>(i));
    Image::DestroyFormatDescription();
  }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Image::CHostServicesScope host;
  CModuleObjectsScope module;
  return RUN_ALL_TESTS();
}
