#include <gtest/gtest.h>

#include "Kes/Array.h"
#include "Kes/String.h"
#include "Support/Expect.h"

namespace Kes {
// Test seam: puts an array into a state that would take gigabytes to reach.
struct CArrayTestAccess {
  template <class T>
  static void Pretend(CArray<T>& array, T* storage, std::int32_t count, std::int32_t capacity) {
    array.m_data = storage;
    array.m_count = count;
    array.m_capacity = capacity;
  }
  template <class T>
  static void Forget(CArray<T>& array) {
    array.m_data = nullptr;
    array.m_count = array.m_capacity = 0;
  }
};
}  // namespace Kes

namespace {

struct GrowthCase {
  std::int32_t capacity;
  std::int64_t needed;
  std::int32_t expected;
};

class ArrayGrowth : public testing::TestWithParam<GrowthCase> {};

TEST_P(ArrayGrowth, GrowsByHalfAtLeastEightNeverPastTheMaximum) {
  EXPECT_EQ(Kes::GrownArrayCapacity(GetParam().capacity, GetParam().needed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rule, ArrayGrowth,
                         testing::Values(GrowthCase{0, 1, 8}, GrowthCase{100, 101, 150}, GrowthCase{10, 40, 40},
                                         GrowthCase{2000000000, 2000000001, 2147483647}, GrowthCase{5, 5, 5}));

TEST(ArrayGrowth, CapacityAtTheMaximumIsInternalErrorAndWritesNothing) {
  Kes::CArray<int> array;
  int storage[2] = {11, 22};
  Kes::CArrayTestAccess::Pretend(array, storage, 2147483647, 2147483647);
  EXPECT_INTERNAL(array.Add(5), Kes::Sites::ArrayCapacity);
  EXPECT_EQ(storage[0], 11);
  EXPECT_EQ(storage[1], 22);
  Kes::CArrayTestAccess::Forget(array);
}

TEST(Array, AddingAnElementOfItselfWhileGrowingKeepsEveryValue) {
  Kes::CArray<Kes::CUnicodeString> strings{u"first"};
  for (int i = 0; i < 20; ++i) strings.Add(strings[0]);
  ASSERT_EQ(strings.GetCount(), 21);
  for (const Kes::CUnicodeString& moved : strings) {
    EXPECT_EQ(moved, u"first");
  }
}

TEST(Array, IndexOutsideIsInternalError) {
  Kes::CArray<int> array{1, 2};
  EXPECT_INTERNAL(array[2], Kes::Sites::ArrayIndex);
  EXPECT_INTERNAL(array[-1], Kes::Sites::ArrayIndex);
}

}  // namespace
