#pragma once
#include "Kes/Errors.h"
#include "Kes/String.h"

namespace Image {

// The format's module-wide texts: the description message and the three
// extensions. Start-up builds each and unload destroys it; using one that does
// not exist is an internal error.
enum class TBmpExtension : int { Bmp, Dib, Rle };
inline constexpr int kBmpExtensionCount = 3;

void CreateFormatDescription();
void DestroyFormatDescription() noexcept;
const Kes::CMessage& FormatDescription();

void CreateExtension(TBmpExtension which);
void DestroyExtension(TBmpExtension which) noexcept;
const Kes::CUnicodeString& Extension(TBmpExtension which);

}  // namespace Image
