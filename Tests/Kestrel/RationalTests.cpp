#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "Kes/Rational.h"
#include "Support/Expect.h"

namespace {

using Parts = std::pair<std::int64_t, std::int64_t>;
constexpr std::int64_t kMin = INT64_MIN;
constexpr std::int64_t kMax = INT64_MAX;

Parts PartsOf(const Kes::rational& r) { return {r.Numerator(), r.Denominator()}; }

// A representable fraction gives its reduced parts; one that is not gives the
// site the constructor and make raise at, and the number safeMake names.
struct MakingCase {
  const char* name;
  std::int64_t num, den;
  Parts expected;
  const Kes::CSourceLine* site = nullptr;
  const char* number = nullptr;
};

class RationalMaking : public testing::TestWithParam<MakingCase> {};

TEST_P(RationalMaking, ReducesWithAPositiveDenominatorOrRefusesWhatCannotBeHeld) {
  const MakingCase& c = GetParam();
  if (c.site) {
    EXPECT_INTERNAL(Kes::rational(c.num, c.den), *c.site);
    EXPECT_INTERNAL(Kes::rational::make(c.num, c.den), *c.site);
    EXPECT_CHECK(Kes::rational::safeMake(c.num, c.den), "ERR_NUMBER_OVERFLOW", c.number, "", "");
    return;
  }
  EXPECT_EQ(PartsOf(Kes::rational(c.num, c.den)), c.expected);
  EXPECT_EQ(PartsOf(Kes::rational::make(c.num, c.den)), c.expected);
  EXPECT_EQ(PartsOf(Kes::rational::safeMake(c.num, c.den)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rational, RationalMaking,
    testing::Values(MakingCase{"BothNegative", -6, -4, {3, 2}}, MakingCase{"NegativeDenominator", 6, -4, {-3, 2}},
                    MakingCase{"ZeroOverMin", 0, kMin, {0, 1}},
                    MakingCase{"MinOverMinusTwo", kMin, -2, {4611686018427387904, 1}},
                    MakingCase{"FourOverMin", 4, kMin, {-1, 2305843009213693952}},
                    MakingCase{"Coprime", kMax, kMax - 1, {kMax, kMax - 1}},
                    MakingCase{"ZeroDenominator", 5, 0, {}, &Kes::Sites::RationalZeroDenominator, "5/0"},
                    MakingCase{"ZeroOverZero", 0, 0, {}, &Kes::Sites::RationalZeroDenominator, "0/0"},
                    MakingCase{"MinOverMinusOne", kMin, -1, {}, &Kes::Sites::RationalOverflow, "9223372036854775808"},
                    MakingCase{"OddOverMin", 5, kMin, {}, &Kes::Sites::RationalOverflow, "-5/9223372036854775808"}),
    [](const testing::TestParamInfo<MakingCase>& testInfo) { return testInfo.param.name; });

struct ArithmeticCase {
  const char* name;
  Parts a;
  char op;
  Parts b;
  Parts expected;
};

class RationalArithmetic : public testing::TestWithParam<ArithmeticCase> {};

TEST_P(RationalArithmetic, IsExactEvenWhenTheIntermediatesPassSixtyFourBits) {
  const ArithmeticCase& c = GetParam();
  const Kes::rational a(c.a.first, c.a.second), b(c.b.first, c.b.second);
  EXPECT_EQ(PartsOf(c.op == '*' ? a * b : a / b), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rational, RationalArithmetic,
    testing::Values(ArithmeticCase{"MaxTimesItsInverse", {kMax, 2}, '*', {2, kMax}, {1, 1}},
                    ArithmeticCase{"MinTimesThreeHalves", {kMin, 3}, '*', {3, 2}, {-4611686018427387904, 1}},
                    ArithmeticCase{"TinyByTiny", {1, kMax}, '/', {2, kMax}, {1, 2}},
                    ArithmeticCase{"ByNegative", {1, 2}, '/', {-1, 4}, {-2, 1}}),
    [](const testing::TestParamInfo<ArithmeticCase>& testInfo) { return testInfo.param.name; });

struct RoundingCase {
  const char* name;
  std::int64_t num, den;
  std::int64_t floor, roundHalfUp;
};

class RationalRounding : public testing::TestWithParam<RoundingCase> {};

TEST_P(RationalRounding, FloorsAndRoundsHalvesUpWithoutOverflow) {
  const RoundingCase& c = GetParam();
  const Kes::rational r(c.num, c.den);
  EXPECT_EQ(r.Floor(), c.floor);
  EXPECT_EQ(r.RoundHalfUp(), c.roundHalfUp);
}

INSTANTIATE_TEST_SUITE_P(
    Rational, RationalRounding,
    testing::Values(RoundingCase{"PlusHalf", 1, 2, 0, 1}, RoundingCase{"MinusHalf", -1, 2, -1, 0},
                    RoundingCase{"Min", kMin, 1, kMin, kMin},
                    RoundingCase{"MaxHalf", kMax, 2, 4611686018427387903, 4611686018427387904},
                    RoundingCase{"JustBelowMinusOne", kMin, kMax, -2, -1}),
    [](const testing::TestParamInfo<RoundingCase>& testInfo) { return testInfo.param.name; });

}  // namespace
