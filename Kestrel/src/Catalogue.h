#pragma once
#include <string_view>

namespace Kes {

// The text of a catalogued identifier (UTF-8, with %1..%3 placeholders), or
// empty when the identifier has none.
std::string_view CatalogueText(std::string_view id) noexcept;

}  // namespace Kes
