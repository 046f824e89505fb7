#pragma once
#include <cstdint>

#include "Kes/File.h"
#include "Kes/String.h"

namespace Kes {

// The system's text for an errno value, the second parameter of file errors.
CUnicodeString SystemReason(int code);

// The position that Seek(offset, from) asks for, or -1 when it lies below 0,
// past the 64-bit range or `from` is no origin. length() is asked only for SeekEnd.
template <class LengthFunction>
std::int64_t SeekTarget(std::int64_t offset, TSeekFrom from, std::int64_t position, LengthFunction length) {
  std::int64_t origin = -1;
  switch (from) {
    case SeekBegin:
      origin = 0;
      break;
    case SeekCurrent:
      origin = position;
      break;
    case SeekEnd:
      origin = length();
      break;
  }
  std::int64_t target = 0;
  if (origin < 0 || __builtin_add_overflow(origin, offset, &target) || target < 0) return -1;
  return target;
}

}  // namespace Kes
