#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "BmpImageSaveParams.h"
#include "ErrorSites.h"
#include "Support/ArchiveBytes.h"
#include "Support/Expect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SaveParams, RoundTripsAttributesAndPixelFormat) {
  Image::CBmpImageSaveParams stored;
  EXPECT_EQ(KesTest::StoredBytes(stored), (Bytes{0x00, 0, 0, 0, 0, 0x00}));
  stored.SetAttributes(0xFF, 0x05);
  stored.SetAttributes(0x0F, 0x30);  // replaces the masked bits and sets all given bits
  EXPECT_EQ(stored.GetAttributes(), 0x30u);
  stored.SetAttributes(0xFFFFFFFF, 0x12345678);
  stored.SetPixelFormat(BPF_Png);
  const Bytes bytes = KesTest::StoredBytes(stored);
  EXPECT_EQ(bytes, (Bytes{0x00, 0x78, 0x56, 0x34, 0x12, 0x0C}));
  Image::CBmpImageSaveParams loaded;
  KesTest::LoadBytes(loaded, bytes);
  EXPECT_EQ(loaded.GetAttributes(), 0x12345678u);
  EXPECT_EQ(loaded.GetPixelFormat(), BPF_Png);
}

class SaveParamsBadFormat : public testing::TestWithParam<std::int32_t> {};

TEST_P(SaveParamsBadFormat, LoadIsRefusedAndLeavesTheObjectAsItWas) {
  const Bytes bytes = KesTest::Stored([&](Kes::CArchive& archive) {
    archive.SerializeVersion(0);
    archive << std::uint32_t{0xAAAA};
    archive.WriteSmallValue(GetParam());
  });
  Image::CBmpImageSaveParams params;
  params.SetAttributes(0xFFFFFFFF, 7);
  params.SetPixelFormat(BPF_Rgb24);
  EXPECT_CHECK(KesTest::LoadBytes(params, bytes), "ERR_BAD_ARCHIVE", "", "", "");
  EXPECT_EQ(params.GetAttributes(), 7u);
  EXPECT_EQ(params.GetPixelFormat(), BPF_Rgb24);
}

INSTANTIATE_TEST_SUITE_P(SaveParams, SaveParamsBadFormat, testing::Values(13, -1, INT32_MIN));

TEST(SaveParams, StoringAFormatOutsideTheNumbersIsInternalError) {
  Image::CBmpImageSaveParams params;
  params.SetPixelFormat(static_cast<TBmpPixelFormat>(40));
  EXPECT_EQ(params.GetPixelFormat(), 40);
  EXPECT_INTERNAL(KesTest::StoredBytes(params), Image::Sites::SaveParamsStoreFormat);
}

TEST(SaveParams, ALoadedObjectCanBeReadFromManyThreads) {
  Image::CBmpImageSaveParams params;
  KesTest::LoadBytes(params, {0x00, 1, 0, 0, 0, 0x06});
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) ASSERT_EQ(KesTest::StoredBytes(params), (Bytes{0x00, 1, 0, 0, 0, 0x06}));
    });
  }
  for (auto& reader : readers) reader.join();
}

}  // namespace
