#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommonServices.h"
#include "ImageHost/HostServices.h"
#include "Support/Expect.h"

namespace {

Kes::CPtrOwnerFO<Kes::CBaseFile> Over(const std::string& bytes) {
  static std::vector<std::string> kept;  // memory sources read the caller's bytes
  kept.push_back(bytes);
  return Image::CreateMemoryFileSource(kept.back().data(), static_cast<std::int64_t>(kept.back().size()), u"f.bmp")->OpenFile();
}

TEST(CommonServices, ReadsLittleEndianFields) {
  auto file = Over(std::string("BM\x36\x00\x00\x00", 6));
  EXPECT_EQ(Image::ReadWord(*file), 0x4D42);
  EXPECT_EQ(Image::ReadDword(*file), 54u);
  EXPECT_EQ(file->GetPosition(), 6);
}

TEST(CommonServices, AShortReadIsAnInvalidFile) {
  auto file = Over("abc");
  EXPECT_CHECK(Image::ReadDword(*file), "ERR_IMAGE_INVALID_IMAGE_FILE", "f.bmp", "", "");
  auto one = Over("a");
  EXPECT_CHECK(Image::ReadWord(*one), "ERR_IMAGE_INVALID_IMAGE_FILE", "f.bmp", "", "");
}

TEST(CommonServices, SignatureIsExactlyBMAtTheStart) {
  const std::pair<const char*, bool> cases[] = {{"", false}, {"B", false}, {"bm", false}, {"MB", false}, {"BM", true}, {"BMxyz", true}};
  for (const auto& [bytes, expected] : cases) {
    auto file = Over(bytes);
    file->Seek(1, Kes::SeekBegin);
    EXPECT_EQ(Image::HasBmpSignature(*file), expected) << bytes;
  }
}

}  // namespace
