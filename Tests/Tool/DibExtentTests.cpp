// The length the tool hands the module with a packed DIB, worked out by hand
// for each header size and compression: the module must never read past it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "RawHeader.h"

namespace {

struct CExtentCase {
  const char* name;
  std::uint32_t headerSize;
  std::uint16_t bitCount;
  std::uint32_t compression;
  std::uint32_t colorsUsed;
  std::uint64_t expected;  // for a 5 x 3 image
};

class DibExtent : public testing::TestWithParam<CExtentCase> {};

TEST_P(DibExtent, CoversWhatTheModuleReads) {
  const CExtentCase& c = GetParam();
  std::vector<std::uint8_t> dib(c.headerSize, 0);
  const auto put = [&](std::size_t at, std::uint32_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes && at + i < dib.size(); ++i) dib[at + i] = std::uint8_t(value >> (8 * i));
  };
  put(0, c.headerSize, 4);
  if (c.headerSize == 12) {
    put(4, 5, 2), put(6, 3, 2), put(10, c.bitCount, 2);
  } else {
    put(4, 5, 4), put(8, 3, 4), put(14, c.bitCount, 2), put(16, c.compression, 4), put(32, c.colorsUsed, 4);
  }
  const auto header = BmpTool::ReadRawHeader(dib, 0);
  ASSERT_TRUE(header);
  EXPECT_EQ(BmpTool::DibBytesNeeded(*header), c.expected);
}

// Rows of 5 pixels: 1 bit 4 bytes, 8 bits 8, 16 bits 12, 24 bits 16, 32 bits 20; 3 rows.
INSTANTIATE_TEST_SUITE_P(Tool, DibExtent, testing::Values(
    CExtentCase{"CoreHeaderPaletteOfThreeByteEntries", 12, 8, 0, 0, 12 + 256 * 3 + 24},
    CExtentCase{"Os2HeaderWithoutCompressionField", 16, 1, 0, 0, 16 + 2 * 4 + 12},
    CExtentCase{"Os2HeaderBitFieldsMasksAfterIt", 20, 16, 3, 0, 20 + 12 + 36},
    CExtentCase{"InfoHeaderRgb", 40, 24, 0, 0, 40 + 48},
    CExtentCase{"InfoHeaderShortPalette", 40, 4, 0, 3, 40 + 12 + 12},
    CExtentCase{"InfoHeaderBitFields", 40, 32, 3, 0, 40 + 12 + 60},
    CExtentCase{"OddHeaderBitFieldsMasksAfterIt", 41, 16, 3, 0, 41 + 12 + 36},
    CExtentCase{"V2HeaderHoldsItsMasks", 52, 16, 3, 0, 52 + 36},
    CExtentCase{"V3HeaderHoldsItsMasks", 56, 32, 3, 0, 56 + 60},
    CExtentCase{"V4HeaderPalette", 108, 8, 0, 2, 108 + 8 + 24},
    CExtentCase{"V5HeaderRgb", 124, 24, 0, 7, 124 + 48},
    CExtentCase{"Rle8PaletteOnly", 40, 8, 1, 0, 40 + 1024},
    CExtentCase{"Rle4PaletteCapped", 40, 8, 2, 0, 40 + 16 * 4},
    CExtentCase{"BitFieldsOf24HeaderOnly", 40, 24, 3, 0, 40},
    CExtentCase{"JpegHeaderOnly", 40, 24, 4, 0, 40},
    CExtentCase{"PngHeaderOnly", 124, 24, 5, 0, 124},
    CExtentCase{"UnknownCompressionHeaderOnly", 40, 8, 9, 0, 40}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DibExtentRefusal, UnknownHeaderSizesAndShortHeadersGiveNothing) {
  for (const std::uint32_t size : {0u, 11u, 13u, 15u}) {
    const std::vector<std::uint8_t> dib = {std::uint8_t(size), 0, 0, 0, 5, 0, 3, 0, 1, 0, 8, 0, 0, 0, 0, 0};
    const auto header = BmpTool::ReadRawHeader(dib, 0);
    EXPECT_FALSE(header && BmpTool::DibBytesNeeded(*header)) << size;
  }
  EXPECT_FALSE(BmpTool::ReadRawHeader({40, 0, 0, 0, 5, 0}, 0));  // ends inside its 40 bytes
}

}  // namespace
