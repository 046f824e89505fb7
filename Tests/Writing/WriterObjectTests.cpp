#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "BmpImageFileImpl.h"
#include "BmpImageSaveParams.h"
#include "ErrorSites.h"
#include "HostImages.h"
#include "Support/Expect.h"

namespace {

namespace fs = std::filesystem;
using namespace WritingTest;

std::string TempPath(const std::string& leaf) { return (fs::path(testing::TempDir()) / leaf).string(); }
Kes::CUnicodeString Wide(const std::string& s) { return Kes::CUnicodeString::FromUtf8(s); }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Kes::CPtr<Image::IImageFileWriter> WriterFor(const std::string& path) {
  return Image::CBmpImageFileFormat().CreateImageFileWriter(Wide(path));
}

// Refusals before anything is written leave the writer ready for a retry; once
// its one page is written, a second is refused and the file stays as it was.
TEST(WriterObject, RefusesBadPagesUntilItsOnePageIsWrittenThenASecond) {
  const std::string path = TempPath("one-page.bmp");
  auto writer = WriterFor(path);
  EXPECT_EQ(writer->GetFileName().ToUtf8(), path);
  EXPECT_EQ(writer->GetFormatId(), 1);
  const auto image = GrayImage(3, 2, 0, [](int x, int) { return x; });
  Kes::CPtr<Kes::IObject> notParams = Kes::MakeObject<Image::CBmpImageFileFormat>();
  EXPECT_CHECK(writer->AddImagePage(image, notParams), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "AddImagePage", "1");
  auto unsuited = Kes::MakeObject<Image::CBmpImageSaveParams>();
  unsuited->SetPixelFormat(BPF_Rgb24);
  EXPECT_CHECK(writer->AddImagePage(image, unsuited), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "AddImagePage", "1");
  // 40000 x 40000 x 3 bytes: the image is never read, only its size.
  const auto huge = Services()->CreateBlankRGBImage(Kes::MakeObject<CInfo>(40000, 40000, 0), 4);
  EXPECT_CHECK(writer->AddImagePage(huge, nullptr), "ERR_IMAGE_SIZE_OF_IMAGE_TOO_BIG", path, "4294967295 bytes", "");
  EXPECT_INTERNAL(writer->AddImagePage(nullptr, nullptr), Image::Sites::WriterPageRefused);
  EXPECT_EQ(writer->GetPageCount(), 0);
  writer->AddImagePage(image, nullptr);
  EXPECT_EQ(writer->GetPageCount(), 1);
  const std::string written = Slurp(path);
  EXPECT_INTERNAL(writer->AddImagePage(GrayImage(3, 2, 0, [](int, int) { return 9; }), nullptr),
                  Image::Sites::WriterPageRefused);
  writer.Reset();
  EXPECT_EQ(Slurp(path), written);
  EXPECT_EQ(written.size(), 1078u + 2 * 4);
  std::remove(path.c_str());
}

TEST(WriterObject, WritesIntoTheCallersFileFromItsStartAndLeavesItOpen) {
  Kes::CMemoryFile file(1024);
  const std::uint8_t junk[100] = {};
  file.Write(junk, sizeof junk);
  Image::CBmpImageFileFormat format;
  {
    auto writer = format.CreateImageFileWriter(&file);
    EXPECT_EQ(writer->GetFileName(), Kes::CUnicodeString());
    writer->AddImagePage(RgbImage(1, 1, 0, [](int, int) { return 0xFFFFFFu; }), nullptr);
  }
  EXPECT_EQ(file.GetLength(), 100);  // still open and usable; the longer old contents stay past the image
  file.SeekToBegin();
  std::uint8_t signature[2] = {};
  file.Read(signature, 2);
  EXPECT_EQ(signature[0], 'B');
  EXPECT_INTERNAL(format.CreateImageFileWriter(static_cast<Kes::CBaseFile*>(nullptr)), Image::Sites::NullWriterFile);
}

// A file-size limit makes the writes fail part way; the page must fail and
// leave no file that looks complete. Run in a child so the limit stays there.
TEST(WriterObject, AFullDiskFailsThePageAndRemovesTheFile) {
  const std::string path = TempPath("disk-full.bmp");
  std::remove(path.c_str());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 << 10, 64 << 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    auto writer = WriterFor(path);
    const KesTest::RaisedError raised =
        KesTest::Raised([&] { writer->AddImagePage(RgbImage(300, 300, 0, [](int x, int) { return x; }), nullptr); });
    const bool ok = raised.raised && raised.id == "ERR_FILE_WRITE" && writer->GetPageCount() == 0 && !fs::exists(path);
    std::_Exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
