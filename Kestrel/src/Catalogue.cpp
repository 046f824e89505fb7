#include "Catalogue.h"

#include <iterator>

namespace Kes {
namespace {

struct CatalogueEntry {
  std::string_view id;
  std::string_view text;
};

// Read-only after load, so lookups are safe from any thread.
constexpr CatalogueEntry kCatalogue[] = {
    {"MSG_IMAGE_BMP_FORMAT_DESCRIPTION", "Windows bitmap (BMP)"},
    {"ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "The image \"%1\" is stored in a form that is not supported: %2."},
    {"ERR_IMAGE_INVALID_IMAGE_FILE", "The image \"%1\" is invalid, truncated or inconsistent."},
    {"ERR_IMAGE_BAD_PARAM_CALL", "Argument %3 of %1::%2 is not valid."},
    {"ERR_IMAGE_INVALID_IMAGE_DOCUMENT_FILE", "The image document \"%1\" is invalid."},
    {"ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", "The image \"%1\" is too big: the limit is %2."},
    {"ERR_IMAGE_COMPONENT_NOT_AVAILABLE", "The component \"%1\" is not available."},
    {"ERR_IMAGE_ZIP_CODEC_ERROR", "The ZIP data of \"%1\" cannot be decoded."},
    {"ERR_IMAGE_CCITT_CODEC_ERROR", "The CCITT data of \"%1\" cannot be decoded."},
    {"ERR_IMAGE_JPEG_CODEC_ERROR", "The JPEG data of \"%1\" cannot be decoded."},
    {"ERR_BAD_ARCHIVE", "The archive \"%1\" is truncated or malformed."},
    {"ERR_OUT_OF_MEMORY", "Out of memory: %1 bytes cannot be allocated."},
    {"ERR_UNKNOWN_OBJECT", "No object is registered under the name \"%1\"."},
    {"ERR_FILE_OPEN", "The file \"%1\" cannot be opened: %2."},
    {"ERR_FILE_READ", "The file \"%1\" cannot be read: %2."},
    {"ERR_FILE_WRITE", "The file \"%1\" cannot be written: %2."},
    {"ERR_FILE_SEEK", "The file \"%1\" cannot be positioned: %2."},
    {"ERR_MODULE_LOAD", "The module \"%1\" cannot be loaded: %2."},
    {"ERR_NUMBER_OVERFLOW", "The number %1 cannot be represented."},
    {"ERR_INTERNAL", "Internal error in %1 at line %2 (value %3)."},
};

}  // namespace

std::string_view CatalogueText(std::string_view id) noexcept {
  for (const CatalogueEntry& entry : kCatalogue)
    if (entry.id == id) return entry.text;
  return {};
}

}  // namespace Kes
