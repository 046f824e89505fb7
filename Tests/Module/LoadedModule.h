#pragma once
#include "Bmp/BmpInterfaces.h"
#include "Kes/Object.h"

namespace ModuleTest {

// A new format object from the module that the suite's main has loaded.
Kes::CPtr<Image::IBmpImageFileFormat> Format();

}  // namespace ModuleTest
