#include "ModuleErrors.h"

#include <array>
#include <optional>

#include "ErrorSites.h"

namespace Image {
namespace {

constexpr std::array<const char*, kModuleErrorCount> kIdentifiers = {
    "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "ERR_IMAGE_INVALID_IMAGE_FILE",
    "ERR_IMAGE_BAD_PARAM_CALL",                "ERR_IMAGE_INVALID_IMAGE_DOCUMENT_FILE",
    "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG",         "ERR_IMAGE_COMPONENT_NOT_AVAILABLE",
    "ERR_IMAGE_ZIP_CODEC_ERROR",               "ERR_IMAGE_CCITT_CODEC_ERROR",
    "ERR_IMAGE_JPEG_CODEC_ERROR",
};

// Written only while the module attaches or detaches, read from any thread between.
std::array<std::optional<Kes::CError>, kModuleErrorCount> g_errors;

std::size_t Slot(TModuleError which) { return static_cast<std::size_t>(which); }

}  // namespace

void CreateModuleError(TModuleError which) { g_errors[Slot(which)].emplace(kIdentifiers[Slot(which)]); }

void DestroyModuleError(TModuleError which) noexcept { g_errors[Slot(which)].reset(); }

const Kes::CError& ModuleError(TModuleError which) {
  const std::optional<Kes::CError>& error = g_errors[Slot(which)];
  if (!error) Kes::RaiseInternal(Sites::ErrorObjectMissing, static_cast<int>(which));
  return *error;
}

void RaiseInvalidImageFile(const Kes::CUnicodeString& fileName) {
  Kes::GenerateCheck(ModuleError(TModuleError::InvalidImageFile), fileName);
}

void RaiseUnsupportedImageFileFormat(const Kes::CUnicodeString& fileName, const Kes::CUnicodeString& form) {
  Kes::GenerateCheck(ModuleError(TModuleError::UnsupportedImageFileFormat), fileName, form);
}

void RaiseSizeOfImageTooBig(const Kes::CUnicodeString& fileName, const Kes::CUnicodeString& limit) {
  Kes::GenerateCheck(ModuleError(TModuleError::SizeOfImageTooBig), fileName, limit);
}

Kes::CUnicodeString DescribeSideLimits(std::int64_t maxWidth, std::int64_t maxHeight) {
  return Kes::Format(u"%d x %d", static_cast<long long>(maxWidth), static_cast<long long>(maxHeight));
}

void RaiseBadParamCall(const Kes::CUnicodeString& interfaceName, const Kes::CUnicodeString& operation,
                       int argumentIndex) {
  Kes::GenerateCheck(ModuleError(TModuleError::BadParamCall), interfaceName, operation,
                     Kes::UnicodeStr(argumentIndex, 10));
}

}  // namespace Image
