#include "Kes/Rational.h"

#include <cstdint>

#include "Kes/Errors.h"
#include "Kes/String.h"

namespace Kes {
namespace {

using Wide = __int128;

// An exact fraction in 128 bits, reduced with a positive denominator; the
// products of two 64-bit values always fit.
struct WideFraction {
  Wide num;
  Wide den;
};

Wide Magnitude(Wide v) { return v < 0 ? -v : v; }

Wide GreatestCommonDivisor(Wide a, Wide b) {
  a = Magnitude(a);
  b = Magnitude(b);
  while (b != 0) {
    const Wide rest = a % b;
    a = b;
    b = rest;
  }
  return a;
}

// den must not be 0.
WideFraction Reduced(Wide num, Wide den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  const Wide divisor = GreatestCommonDivisor(num, den);
  return {num / divisor, den / divisor};
}

bool FitsInt64(Wide v) { return v >= INT64_MIN && v <= INT64_MAX; }
bool Fits(const WideFraction& f) { return FitsInt64(f.num) && FitsInt64(f.den); }

CUnicodeString Decimal(Wide v) {
  char16_t digits[48];
  std::size_t at = sizeof(digits) / sizeof(digits[0]);
  const bool negative = v < 0;
  // Work on the negative side: its range includes the positive one's.
  Wide rest = negative ? v : -v;
  do {
    digits[--at] = static_cast<char16_t>(u'0' - static_cast<int>(rest % 10));
    rest /= 10;
  } while (rest != 0);
  if (negative) digits[--at] = u'-';
  return CUnicodeString(digits + at, sizeof(digits) / sizeof(digits[0]) - at);
}

[[noreturn]] void RaiseOverflow(Wide num, Wide den) {
  CUnicodeString text = Decimal(num);
  if (den != 1) {
    text += u'/';
    text += Decimal(den);
  }
  GenerateCheck(ERR_NUMBER_OVERFLOW, text);
}

// For results computed from data: an unrepresentable one is raised, not wrapped.
rational CheckedResult(Wide num, Wide den) {
  if (den == 0) RaiseOverflow(num, den);
  const WideFraction f = Reduced(num, den);
  if (!Fits(f)) RaiseOverflow(f.num, f.den);
  return rational::make(static_cast<std::int64_t>(f.num), static_cast<std::int64_t>(f.den));
}

Wide FloorDivide(Wide num, Wide den) {
  const Wide quotient = num / den;
  return (num % den != 0 && num < 0) ? quotient - 1 : quotient;
}

}  // namespace

rational::rational(std::int64_t numerator, std::int64_t denominator) {
  if (denominator == 0) RaiseInternal(Sites::RationalZeroDenominator, numerator);
  const WideFraction f = Reduced(numerator, denominator);
  if (!Fits(f)) RaiseInternal(Sites::RationalOverflow, numerator);
  m_num = static_cast<std::int64_t>(f.num);
  m_den = static_cast<std::int64_t>(f.den);
}

rational rational::make(std::int64_t numerator, std::int64_t denominator) { return rational(numerator, denominator); }

rational rational::safeMake(std::int64_t numerator, std::int64_t denominator) {
  return CheckedResult(numerator, denominator);
}

rational operator*(const rational& a, const rational& b) {
  return CheckedResult(Wide{a.m_num} * b.m_num, Wide{a.m_den} * b.m_den);
}

rational operator/(const rational& a, const rational& b) {
  return CheckedResult(Wide{a.m_num} * b.m_den, Wide{a.m_den} * b.m_num);
}

std::int64_t rational::Floor() const noexcept {
  // |quotient| <= |numerator| because the denominator is at least 1.
  return static_cast<std::int64_t>(FloorDivide(m_num, m_den));
}

std::int64_t rational::RoundHalfUp() const noexcept {
  // In 128 bits the sum cannot overflow; the result stays within n/d + 1/2,
  // which for d >= 2 is far inside the 64-bit range and for d = 1 is n.
  return static_cast<std::int64_t>(FloorDivide(Wide{m_num} + m_den / 2, m_den));
}

}  // namespace Kes
