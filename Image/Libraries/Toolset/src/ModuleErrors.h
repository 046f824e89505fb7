#pragma once
#include <cstdint>

#include "Kes/Errors.h"
#include "Kes/String.h"

namespace Image {

// The module's nine error objects, in the order start-up builds them.
enum class TModuleError : int {
  UnsupportedImageFileFormat,
  InvalidImageFile,
  BadParamCall,
  InvalidImageDocumentFile,
  SizeOfImageTooBig,
  ComponentNotAvailable,
  ZipCodecError,
  CcittCodecError,
  JpegCodecError,
};
inline constexpr int kModuleErrorCount = 9;

// Start-up builds each object and unload destroys it; using one that does
// not exist is an internal error.
void CreateModuleError(TModuleError which);
void DestroyModuleError(TModuleError which) noexcept;
const Kes::CError& ModuleError(TModuleError which);

// One raise helper per error the module raises.
[[noreturn]] void RaiseInvalidImageFile(const Kes::CUnicodeString& fileName);
// form names what is not supported: a header size, a compression or a bit count.
[[noreturn]] void RaiseUnsupportedImageFileFormat(const Kes::CUnicodeString& fileName, const Kes::CUnicodeString& form);
[[noreturn]] void RaiseSizeOfImageTooBig(const Kes::CUnicodeString& fileName, const Kes::CUnicodeString& limit);
// The limit of a size error that bounds the image's sides: "width x height".
Kes::CUnicodeString DescribeSideLimits(std::int64_t maxWidth, std::int64_t maxHeight);
[[noreturn]] void RaiseBadParamCall(const Kes::CUnicodeString& interfaceName, const Kes::CUnicodeString& operation,
                                    int argumentIndex);

}  // namespace Image
