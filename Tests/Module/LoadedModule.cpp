// The main of the suites that use the module as a host does: host services
// registered, the module loaded by path for the whole run, and unloaded once
// every test has dropped its objects.
#include "LoadedModule.h"

#include <gtest/gtest.h>

#include "ImageHost/HostServices.h"
#include "Kes/Factory.h"
#include "Kes/Module.h"

namespace ModuleTest {

Kes::CPtr<Image::IBmpImageFileFormat> Format() {
  return Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
}

}  // namespace ModuleTest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Image::CHostServicesScope host;
  Kes::HMODULE module = Kes::LoadModule(Kes::CUnicodeString::FromUtf8(BMP_MODULE_PATH));
  const int result = RUN_ALL_TESTS();
  Kes::UnloadModule(module);
  return result;
}
