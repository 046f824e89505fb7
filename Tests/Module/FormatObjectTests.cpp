#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/HostServices.h"
#include "Kes/Array.h"
#include "LoadedModule.h"
#include "Support/Expect.h"

namespace {

using ModuleTest::Format;

std::string WriteTemp(const std::string& leaf, const std::string& bytes) {
  const std::string path = testing::TempDir() + leaf;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

struct SignatureCase {
  const char* name;
  std::string bytes;
  bool isBmp;
};

class FormatSignature : public testing::TestWithParam<SignatureCase> {};

TEST_P(FormatSignature, LooksOnlyAtTheFirstTwoBytes) {
  const SignatureCase& c = GetParam();
  const std::string path = WriteTemp(std::string("signature-") + c.name, c.bytes);
  const auto name = Kes::CUnicodeString::FromUtf8(path);
  EXPECT_EQ(Format()->IsFormatOf(name), c.isBmp);
  std::ifstream in(path, std::ios::binary);
  const std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Format()->IsFormatOf(Image::CreateMemoryFileSource(held.data(), static_cast<std::int64_t>(held.size()))),
            c.isBmp);
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Format, FormatSignature,
                         testing::Values(SignatureCase{"Empty", "", false}, SignatureCase{"OneByte", "B", false},
                                         SignatureCase{"BM", "BM", true}, SignatureCase{"BrokenAfterBM", "BM\x01", true},
                                         SignatureCase{"LowerCase", "bm", false},
                                         SignatureCase{"Swapped", "MB", false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Format, IsFormatOfAMissingFileRaisesTheFrameworksError) {
  const std::string path = testing::TempDir() + "no-such-file.bmp";
  const KesTest::RaisedError raised = KesTest::Raised([&] { Format()->IsFormatOf(Kes::CUnicodeString::FromUtf8(path)); });
  EXPECT_EQ(raised.id, "ERR_FILE_OPEN");
  EXPECT_EQ(raised.p1, path);
}

TEST(Format, AppendsItsExtensionsAfterTheCallersEntries) {
  Kes::CArray<Kes::CUnicodeString> extensions{u"png", u"tif"};
  Format()->GetExtensions(extensions);
  EXPECT_EQ(std::vector<Kes::CUnicodeString>(extensions.begin(), extensions.end()),
            (std::vector<Kes::CUnicodeString>{u"png", u"tif", u"bmp", u"dib", u"rle"}));
  EXPECT_GE(extensions.GetCapacity(), 8);  // the growth rule grows by at least 8
}

TEST(Format, DescribesItselfAsASinglePageReaderAndWriter) {
  auto format = Format();
  EXPECT_EQ(format->GetFormatId(), 1);
  EXPECT_EQ(format->GetFormatFlags(), 0);
  EXPECT_EQ(format->GetDefaultExtension(), Kes::CUnicodeString(u"bmp"));
  EXPECT_FALSE(format->GetDescription().ToUtf8().empty());
  EXPECT_NE(format->GetDescription().ToUtf8(), "MSG_IMAGE_BMP_FORMAT_DESCRIPTION");
  EXPECT_TRUE(format->CanRead());
  EXPECT_TRUE(format->CanWrite());
  EXPECT_TRUE(format->SupportsPageMode(false));
  EXPECT_FALSE(format->SupportsPageMode(true));
}

TEST(Format, SupportsExactlyTheUncompressedPixelFormats) {
  auto format = Format();
  for (int value = -1; value <= 13; ++value) {
    const bool expected = value == 1 || value == 2 || value == 3 || value == 5 || value == 6 || value == 7 || value == 8;
    EXPECT_EQ(format->IsPixelFormatSupported(static_cast<TBmpPixelFormat>(value)), expected) << value;
  }
}

TEST(Format, CreatesFreshSaveParamsAndAcceptsOnlyThose) {
  auto format = Format();
  auto params = format->CreateSaveParams();
  EXPECT_EQ(params->RefCount(), 1);
  EXPECT_EQ(params->GetPixelFormat(), BPF_Unknown);
  EXPECT_EQ(params->GetAttributes(), 0u);
  format->CheckSaveImageParams(Kes::CPtr<Kes::IObject>(params));
  EXPECT_CHECK(format->CheckSaveImageParams(nullptr), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFileFormat",
               "CheckSaveImageParams", "0");
  EXPECT_CHECK(format->CheckSaveImageParams(format), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFileFormat",
               "CheckSaveImageParams", "0");
}

struct DibArgumentCase {
  const char* name;
  bool nullDib;
  int x, y;
  bool twoResolutions;
  const char* index;
};

class FormatDibArguments : public testing::TestWithParam<DibArgumentCase> {};

TEST_P(FormatDibArguments, ReportsTheFirstFaultyArgument) {
  const DibArgumentCase& c = GetParam();
  const std::uint8_t byte = 0;
  const void* dib = c.nullDib ? nullptr : &byte;
  auto format = Format();
  if (c.twoResolutions) {
    EXPECT_CHECK(format->CreateImageFromDIB(dib, c.x, c.y), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile",
                 "CreateImageFromDIB", c.index);
  } else {
    EXPECT_CHECK(format->CreateImageFromDIB(dib, c.x), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "CreateImageFromDIB",
                 c.index);
  }
}

INSTANTIATE_TEST_SUITE_P(Format, FormatDibArguments,
                         testing::Values(DibArgumentCase{"NullBeforeNegative", true, -1, -1, false, "0"},
                                         DibArgumentCase{"NegativeResolution", false, -1, 0, false, "1"},
                                         DibArgumentCase{"NegativeX", false, -1, -1, true, "1"},
                                         DibArgumentCase{"NegativeY", false, 1, -1, true, "2"}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
