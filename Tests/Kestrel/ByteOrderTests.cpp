#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "Kes/ByteOrder.h"

namespace {

// Every byte distinct, the top bit set in some: a load or store in the
// machine's own order, or one that drops or sign-extends a byte, shows.
constexpr std::array<std::uint8_t, 4> kBytes = {0x81, 0x02, 0xC3, 0x74};

TEST(ByteOrder, LoadsTheFirstByteAsTheLeastSignificant) {
  EXPECT_EQ(Kes::LoadLe16(kBytes.data()), 0x0281);
  EXPECT_EQ(Kes::LoadLe32(kBytes.data()), 0x74C30281u);
}

TEST(ByteOrder, StoresTheLeastSignificantByteFirst) {
  std::array<std::uint8_t, 4> stored{};
  Kes::StoreLe32(stored.data(), 0x74C30281u);
  EXPECT_EQ(stored, kBytes);
  Kes::StoreLe16(stored.data() + 2, 0x0281);
  EXPECT_EQ(stored, (std::array<std::uint8_t, 4>{0x81, 0x02, 0x81, 0x02}));
}

}  // namespace
