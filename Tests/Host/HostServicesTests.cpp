#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "HostTestSupport.h"
#include "ImageHost/Metadata.h"
#include "Support/Expect.h"

namespace {

using HostTest::Services;

constexpr const char16_t* kServiceNames[] = {u"Image.ImageServices", u"Image.RgbColorMap", u"Image.RgbColorMask",
                                            u"Image.RootMetadata"};

TEST(HostServices, AreKnownByNameOnlyWhileRegistered) {
  {
    Image::CHostServicesScope host;
    for (const char16_t* name : kServiceNames) {
      auto first = Kes::DoCreateObject(name);
      EXPECT_NE(first.Get(), Kes::DoCreateObject(name).Get());
    }
  }
  for (const char16_t* name : kServiceNames) {
    EXPECT_CHECK(Kes::DoCreateObject(name), "ERR_UNKNOWN_OBJECT", Kes::CUnicodeString(name).ToUtf8(), "", "");
  }
}

class HostFiles : public HostTest::HostFixture {};

TEST_F(HostFiles, FileSourcesOpenANewFileEachTime) {
  const std::string path = testing::TempDir() + "host-source.bin";
  std::ofstream(path, std::ios::binary) << "BMxyz";
  auto source = Services()->CreateFileSource(Kes::CUnicodeString::FromUtf8(path));
  EXPECT_EQ(source->GetFileName().ToUtf8(), path);
  auto first = source->OpenFile();
  auto second = source->OpenFile();
  char bytes[3] = {};
  EXPECT_EQ(first->Read(bytes, 2), 2);
  EXPECT_EQ(second->Read(bytes + 2, 1), 1);
  EXPECT_EQ(std::string(bytes, 3), "BMB");
  std::remove(path.c_str());
}

TEST_F(HostFiles, MemorySourcesReadTheCallersBytesUnderTheirName) {
  const std::string bytes = "0123456789";
  auto source = Image::CreateMemoryFileSource(bytes.data(), 4, u"in-memory.bmp");
  auto file = source->OpenFile();
  EXPECT_EQ(file->GetFileName(), Kes::CUnicodeString(u"in-memory.bmp"));
  EXPECT_EQ(file->GetLength(), 4);
  char out[8] = {};
  EXPECT_EQ(file->Read(out, 8), 4);  // never past the bytes given
  EXPECT_EQ(std::string(out, 4), "0123");
  file.Reset();
  EXPECT_EQ(bytes, "0123456789");
}

TEST_F(HostFiles, RootMetadataKeepsEntriesByKey) {
  auto root = Kes::CreateObject<Image::IMetadata>(u"Image.RootMetadata");
  EXPECT_FALSE(root->GetEntry(u"img/sourceFileFormat"));
  EXPECT_EQ(root->GetKeys().GetCount(), 0);
}

}  // namespace
