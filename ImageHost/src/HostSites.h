#pragma once
// Every internal-error site of the host services, in one table.
#include "Kes/Errors.h"

namespace Image::HostSites {
inline constexpr Kes::CSourceLine ColorIndex{"ImageHost\\src\\ColorMap", 40};
inline constexpr Kes::CSourceLine ColorMapSize{"ImageHost\\src\\ColorMap", 41};
inline constexpr Kes::CSourceLine MaskPixelSize{"ImageHost\\src\\ColorMask", 30};
inline constexpr Kes::CSourceLine RowIndex{"ImageHost\\src\\Images", 50};
inline constexpr Kes::CSourceLine RowNotFetched{"ImageHost\\src\\Images", 51};
inline constexpr Kes::CSourceLine RowNotHeld{"ImageHost\\src\\Images", 52};
inline constexpr Kes::CSourceLine RowEndOutsideBuffer{"ImageHost\\src\\Images", 53};
inline constexpr Kes::CSourceLine RowEndWithoutEndStroke{"ImageHost\\src\\Images", 54};
inline constexpr Kes::CSourceLine MissingArgument{"ImageHost\\src\\Images", 54};
inline constexpr Kes::CSourceLine ImageTooLarge{"ImageHost\\src\\Images", 55};
inline constexpr Kes::CSourceLine NotBlackAndWhite{"ImageHost\\src\\Images", 56};
}  // namespace Image::HostSites
