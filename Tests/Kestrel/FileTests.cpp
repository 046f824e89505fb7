#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Kes/Archive.h"
#include "Kes/File.h"
#include "Kes/Memory.h"
#include "Support/Expect.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFullDevice = "/dev/full";  // every write fails with ENOSPC

std::string Reason(int code) { return std::strerror(code); }

std::string Bytes(const void* data, std::int64_t count) {
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(count));
}

// A fresh directory under the system's temporary directory, removed with everything in it.
class File : public testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestrel-file-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << Reason(errno);
    m_dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  std::string PathOf(const std::string& leaf) const { return (m_dir / leaf).string(); }
  static Kes::CUnicodeString Name(const std::string& path) { return Kes::CUnicodeString::FromUtf8(path); }

  // Read and written with the standard library: an independent route to the bytes.
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path m_dir;
};

constexpr int kReadWriteCreate = Kes::FileRead | Kes::FileWrite | Kes::FileCreate;

TEST_F(File, OpeningRaisesTheNameAndTheSystemsReason) {
  const std::string missing = PathOf("missing.bmp"), dir = m_dir.string();
  EXPECT_CHECK(Kes::CFile(Name(missing), Kes::kFileOpenForReading), "ERR_FILE_OPEN", missing, Reason(ENOENT), "");
  EXPECT_CHECK(Kes::CFile(Name(dir), Kes::kFileOpenForReading), "ERR_FILE_OPEN", dir, Reason(EISDIR), "");
  EXPECT_CHECK(Kes::CFile(Name(dir), Kes::kFileCreateForWriting), "ERR_FILE_OPEN", dir, Reason(EISDIR), "");
  // A name with a NUL is refused rather than shortened to an existing file.
  Put(PathOf("a"), "kept");
  const std::string nul = PathOf("a") + std::string(1, '\0') + "b";
  EXPECT_CHECK(Kes::CFile(Name(nul), Kes::kFileCreateForWriting), "ERR_FILE_OPEN", nul, Reason(EINVAL), "");
  EXPECT_EQ(Contents(PathOf("a")), "kept");
}

// What every file kind shares, on disk and in memory.
class AnyFile : public File, public testing::WithParamInterface<bool> {
protected:
  std::unique_ptr<Kes::CBaseFile> Open() {
    if (GetParam()) return std::make_unique<Kes::CFile>(Name(PathOf("any.bin")), kReadWriteCreate);
    return std::make_unique<Kes::CMemoryFile>(16);
  }
};

TEST_P(AnyFile, ReadsBackShortAtTheEndRefusesSeeksOutsideAndLeavesZerosPastTheEnd) {
  const auto file = Open();
  file->Write("hello ", 6);
  file->Write("world", 5);
  file->SeekToBegin();
  char buffer[10];
  EXPECT_EQ(file->Read(buffer, 8), 8);
  EXPECT_FALSE(file->IsEndOfFile());
  EXPECT_EQ(file->Read(buffer, 8), 3);
  EXPECT_EQ(Bytes(buffer, 3), "rld");
  EXPECT_EQ(file->Read(buffer, 8), 0);
  EXPECT_TRUE(file->IsEndOfFile());
  const std::string name = file->GetFileName().ToUtf8();
  EXPECT_CHECK(file->Seek(-12, Kes::SeekEnd), "ERR_FILE_SEEK", name, Reason(EINVAL), "");
  EXPECT_CHECK(file->Seek(-12, Kes::SeekCurrent), "ERR_FILE_SEEK", name, Reason(EINVAL), "");
  EXPECT_CHECK(file->Seek(INT64_MAX, Kes::SeekCurrent), "ERR_FILE_SEEK", name, Reason(EINVAL), "");
  EXPECT_CHECK(file->Seek(0, static_cast<Kes::TSeekFrom>(7)), "ERR_FILE_SEEK", name, Reason(EINVAL), "");
  EXPECT_EQ(file->GetPosition(), 11);
  file->SetLength(2);
  EXPECT_EQ(file->Seek(8, Kes::SeekBegin), 8);
  EXPECT_EQ(file->GetLength(), 2);
  file->Write("c", 1);
  file->SetLength(10);
  file->SeekToBegin();
  EXPECT_EQ(file->Read(buffer, 10), 10);
  EXPECT_EQ(Bytes(buffer, 10), std::string("he\0\0\0\0\0\0c\0", 10));
}

INSTANTIATE_TEST_SUITE_P(File, AnyFile, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& testInfo) { return testInfo.param ? "OnDisk" : "InMemory"; });

TEST_F(File, CreatingReplacesTheContentAndKeepsGatheredAndLargeWritesInOrderUnderANonAsciiName) {
  const std::string path = PathOf("Grüße 画像 😀.bin");
  Put(path, "previous content, longer than what replaces it");
  std::string large(200 * 1024, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 251);
  {
    Kes::CFile file(Name(path), kReadWriteCreate);
    file.Write("abcdef", 6);
    EXPECT_EQ(file.Seek(2, Kes::SeekBegin), 2);
    file.Write("XY", 2);
    EXPECT_EQ(file.GetLength(), 6);
    EXPECT_EQ(file.Seek(4, Kes::SeekEnd), 10);
    file.Write("cd", 2);
    file.Write(large.data(), static_cast<std::int64_t>(large.size()));
    file.Write("e", 1);
    EXPECT_EQ(file.GetPosition(), static_cast<std::int64_t>(large.size()) + 13);
  }  // the destructor flushes
  EXPECT_EQ(Contents(path), std::string("abXYef\0\0\0\0cd", 12) + large + "e");
}

TEST_F(File, UsesOutsideTheOpenModeRaiseAndAbortRemovesOnlyAFileItCreatedAndLeftOpen) {
  const std::string path = PathOf("readonly.bin");
  Put(path, "keep");
  {
    Kes::CFile in(Name(path), Kes::kFileOpenForReading);
    // A refusal of an archive on disk names its file.
    EXPECT_CHECK([&] { std::int64_t v; Kes::CArchive(in, Kes::CArchive::Loading) >> v; }(), "ERR_BAD_ARCHIVE", path, "", "");
    EXPECT_CHECK(in.Write("x", 1), "ERR_FILE_WRITE", path, Reason(EBADF), "");
    EXPECT_CHECK(in.SetLength(0), "ERR_FILE_WRITE", path, Reason(EBADF), "");
    in.Abort();
  }
  EXPECT_EQ(Contents(path), "keep");
  const std::string written = PathOf("writeonly.bin");
  Kes::CFile out(Name(written), Kes::kFileCreateForWriting);
  char buffer[1];
  EXPECT_CHECK(out.Read(buffer, 1), "ERR_FILE_READ", written, Reason(EBADF), "");
  out.Write("c", 1);
  out.Close();
  out.Abort();
  EXPECT_EQ(Contents(written), "c");
  Kes::CFile(Name(PathOf("aborted.bin")), Kes::kFileCreateForWriting).Abort();
  EXPECT_FALSE(fs::exists(PathOf("aborted.bin")));
  EXPECT_CHECK(out.Write("x", 1), "ERR_FILE_WRITE", written, Reason(EBADF), "");
  EXPECT_CHECK(out.Seek(0, Kes::SeekBegin), "ERR_FILE_SEEK", written, Reason(EBADF), "");
  EXPECT_CHECK(out.GetLength(), "ERR_FILE_READ", written, Reason(EBADF), "");
  EXPECT_CHECK(out.Flush(), "ERR_FILE_WRITE", written, Reason(EBADF), "");
}

TEST(FileOnAFullDevice, WritesRaiseAndTheDestructorAbsorbsTheFailure) {
  if (!fs::exists(kFullDevice)) GTEST_SKIP() << kFullDevice << " is not available";
  const Kes::CMemoryStats before = Kes::GetMemoryStats();
  {
    Kes::CFile out(Kes::CUnicodeString::FromUtf8(kFullDevice), Kes::kFileCreateForWriting);
    const std::vector<char> large(256 * 1024, 'x');
    EXPECT_CHECK(out.Write(large.data(), static_cast<std::int64_t>(large.size())), "ERR_FILE_WRITE", kFullDevice,
                 Reason(ENOSPC), "");
    out.Write("abc", 3);
    EXPECT_CHECK(out.Flush(), "ERR_FILE_WRITE", kFullDevice, Reason(ENOSPC), "");
    EXPECT_CHECK(out.Close(), "ERR_FILE_WRITE", kFullDevice, Reason(ENOSPC), "");
  }
  Kes::CFile(Kes::CUnicodeString::FromUtf8(kFullDevice), Kes::kFileCreateForWriting).Write("abc", 3);
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before.liveBlocks);  // the absorbed error was deleted
}

// The block holds exactly its bytes, so the sanitizer sees any read past it.
TEST(MemoryFileEx, GrowsInWholeStepsThenReadsAnAttachedBlockInPlaceAndGivesItBackUnwrittenAndUnfreed) {
  const std::string text = "0123456789";
  const std::vector<char> block(text.begin(), text.end());
  const Kes::CMemoryStats before = Kes::GetMemoryStats();
  {
    Kes::CMemoryFileEx file(1000);
    const std::vector<char> more(1001, 'y');
    file.Write(more.data(), 1001);
    EXPECT_EQ(Kes::GetMemoryStats().liveBytes - before.liveBytes, 2000);
    file.Attach(block.data(), static_cast<std::int64_t>(block.size()), 1);
    EXPECT_EQ(Kes::GetMemoryStats().liveBytes, before.liveBytes);
    EXPECT_EQ(static_cast<const void*>(file.Data()), block.data());
    char buffer[32];
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 10);
    EXPECT_EQ(Bytes(buffer, 10), text);
    file.Seek(100, Kes::SeekBegin);
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0);
    EXPECT_CHECK(file.Write("X", 1), "ERR_FILE_WRITE", "", Reason(EROFS), "");
    EXPECT_CHECK(file.SetLength(11), "ERR_FILE_WRITE", "", Reason(EROFS), "");
    file.SetLength(2);
    file.SetLength(10);  // within the block the length only limits reading: nothing is zeroed
    EXPECT_EQ(file.Detach(), static_cast<const void*>(block.data()));
    EXPECT_EQ(file.GetLength(), 0);
    Kes::CMemoryFileEx other;
    other.Attach(block.data(), static_cast<std::int64_t>(block.size()), 1);
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before.liveBlocks);
  EXPECT_EQ(std::string(block.begin(), block.end()), text);
}

}  // namespace
