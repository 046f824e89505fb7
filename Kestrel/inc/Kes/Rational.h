#pragma once
#include <cstdint>

#include "Kes/Export.h"

namespace Kes {

// An exact fraction, always reduced, the denominator positive.
class KES_API rational {
public:
  constexpr rational() noexcept = default;
  // A zero denominator, or a value that cannot be held after reduction, is an internal error.
  rational(std::int64_t numerator, std::int64_t denominator);

  // Same as the constructor: for values the caller knows to be sound.
  static rational make(std::int64_t numerator, std::int64_t denominator);
  // For values that come from data: an unrepresentable result raises
  // ERR_NUMBER_OVERFLOW instead of wrapping, a zero denominator too.
  static rational safeMake(std::int64_t numerator, std::int64_t denominator);

  std::int64_t Numerator() const noexcept { return m_num; }
  std::int64_t Denominator() const noexcept { return m_den; }

  // Exact products and quotients; a result that cannot be held raises ERR_NUMBER_OVERFLOW.
  friend KES_API rational operator*(const rational& a, const rational& b);
  friend KES_API rational operator/(const rational& a, const rational& b);
  bool operator==(const rational& other) const noexcept = default;

  // Largest integer not above the value.
  std::int64_t Floor() const noexcept;
  // Nearest integer, exact halves rounded up (also below zero):
  // floor((n + trunc(d / 2)) / d).
  std::int64_t RoundHalfUp() const noexcept;

private:
  std::int64_t m_num = 0;
  std::int64_t m_den = 1;
};

}  // namespace Kes
