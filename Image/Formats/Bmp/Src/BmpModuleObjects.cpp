#include "BmpModuleObjects.h"

#include <array>
#include <optional>

#include "ErrorSites.h"

namespace Image {
namespace {

constexpr const char* kDescriptionId = "MSG_IMAGE_BMP_FORMAT_DESCRIPTION";
constexpr std::array<const char16_t*, kBmpExtensionCount> kExtensionTexts = {u"bmp", u"dib", u"rle"};

// Written only while the module attaches or detaches, read from any thread between.
std::optional<Kes::CMessage> g_description;
std::array<std::optional<Kes::CUnicodeString>, kBmpExtensionCount> g_extensions;

std::size_t Slot(TBmpExtension which) { return static_cast<std::size_t>(which); }

}  // namespace

void CreateFormatDescription() { g_description.emplace(kDescriptionId); }
void DestroyFormatDescription() noexcept { g_description.reset(); }

const Kes::CMessage& FormatDescription() {
  if (!g_description) Kes::RaiseInternal(Sites::ModuleObjectMissing);
  return *g_description;
}

void CreateExtension(TBmpExtension which) { g_extensions[Slot(which)].emplace(kExtensionTexts[Slot(which)]); }
void DestroyExtension(TBmpExtension which) noexcept { g_extensions[Slot(which)].reset(); }

const Kes::CUnicodeString& Extension(TBmpExtension which) {
  const auto& extension = g_extensions[Slot(which)];
  if (!extension) Kes::RaiseInternal(Sites::ModuleObjectMissing, static_cast<int>(which) + 1);
  return *extension;
}

}  // namespace Image
