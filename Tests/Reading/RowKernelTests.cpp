// Each read filter's fast inner loop gives what its portable loop gives.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <vector>

#include "RowKernels.h"

namespace {

using Image::TKernel;
using Bytes = std::vector<std::uint8_t>;

// Deterministic bytes below `limit`.
Bytes Noise(std::size_t count, unsigned limit) {
  std::minstd_rand random(12345);
  Bytes bytes(count);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random() % limit);
  return bytes;
}

Bytes Unpacked(int bits, std::int64_t firstBit, int count, TKernel kernel) {
  const Bytes row = Noise(64, 256);
  Bytes out(std::size_t(count), 0xEE);
  Image::UnpackPixels(row.data(), firstBit, bits, count, out.data(), kernel);
  return out;
}

Bytes LookedUp(int indexLimit, int count, TKernel kernel) {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[std::size_t(i)] = static_cast<std::uint8_t>(255 - 3 * i);
  Bytes bytes = Noise(std::size_t(count), indexLimit);
  Image::LookUp(table.data(), bytes.data(), count, kernel);
  return bytes;
}

struct KernelCase {
  const char* name;
  std::function<Bytes(TKernel)> run;
};

class RowKernel : public testing::TestWithParam<KernelCase> {};

TEST_P(RowKernel, FastPathMatchesThePortableLoop) {
  EXPECT_EQ(GetParam().run(TKernel::Fastest), GetParam().run(TKernel::Portable));
}

INSTANTIATE_TEST_SUITE_P(
    Reading, RowKernel,
    testing::Values(KernelCase{"Unpack1BitFromAByte", [](TKernel k) { return Unpacked(1, 16, 203, k); }},
                    KernelCase{"Unpack1BitFromInsideAByte", [](TKernel k) { return Unpacked(1, 5, 200, k); }},
                    KernelCase{"Unpack4BitFromAByte", [](TKernel k) { return Unpacked(4, 8, 61, k); }},
                    KernelCase{"LookUpIndicesBelow16", [](TKernel k) { return LookedUp(16, 67, k); }},
                    KernelCase{"LookUpMostlyBelow16", [](TKernel k) { return LookedUp(18, 99, k); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
