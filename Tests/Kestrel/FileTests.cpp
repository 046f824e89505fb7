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

TEST_F(File, CreatingReplacesTheContentUnderANonAsciiName) {
  const std::string path = PathOf("Grüße 画像 😀.bin");
  Put(path, "previous content, longer");
  {
    Kes::CFile out(Name(path), Kes::kFileCreateForWriting);
    out.Write("hello", 5);
    EXPECT_EQ(out.GetFileName(), Name(path));
  }  // the destructor flushes
  EXPECT_EQ(Contents(path), "hello");
}

// What every file kind shares, on disk and in memory.
class AnyFile : public File, public testing::WithParamInterface<bool> {
protected:
  std::unique_ptr<Kes::CBaseFile> Open() {
    if (GetParam()) return std::make_unique<Kes::CFile>(Name(PathOf("any.bin")), kReadWriteCreate);
    return std::make_unique<Kes::CMemoryFile>(16);
  }
};

TEST_P(AnyFile, ReadsBackShortAtTheEndAndLeavesZerosPastIt) {
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
  EXPECT_CHECK(file->Seek(-12, Kes::SeekEnd), "ERR_FILE_SEEK", file->GetFileName().ToUtf8(), Reason(EINVAL), "");
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

TEST_F(File, GatheredAndLargeWritesKeepTheirOrderAndSeekingPastTheEndLeavesZeros) {
  const std::string path = PathOf("gap.bin");
  std::string large(200 * 1024, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 251);
  {
    Kes::CFile file(Name(path), kReadWriteCreate);
    file.Write("abcdef", 6);
    EXPECT_EQ(file.Seek(2, Kes::SeekBegin), 2);
    file.Write("XY", 2);
    EXPECT_EQ(file.GetLength(), 6);
    file.SeekToBegin();
    char buffer[6];
    EXPECT_EQ(file.Read(buffer, 6), 6);
    EXPECT_EQ(Bytes(buffer, 6), "abXYef");
    EXPECT_EQ(file.Seek(4, Kes::SeekEnd), 10);
    EXPECT_EQ(file.GetLength(), 6);
    file.Write("cd", 2);
    file.Write(large.data(), static_cast<std::int64_t>(large.size()));
    file.Write("e", 1);
    EXPECT_EQ(file.GetPosition(), static_cast<std::int64_t>(large.size()) + 13);
    file.Close();
  }
  EXPECT_EQ(Contents(path), std::string("abXYef\0\0\0\0cd", 12) + large + "e");
}

struct BadSeek {
  const char* name;
  std::int64_t offset;
  Kes::TSeekFrom from;
};

class FileBadSeek : public File, public testing::WithParamInterface<BadSeek> {};

TEST_P(FileBadSeek, RaisesWithTheNameAndKeepsThePosition) {
  const std::string path = PathOf("seek.bin");
  Kes::CFile file(Name(path), kReadWriteCreate);
  file.Write("abcd", 4);
  file.Seek(2, Kes::SeekBegin);
  EXPECT_CHECK(file.Seek(GetParam().offset, GetParam().from), "ERR_FILE_SEEK", path, Reason(EINVAL), "");
  EXPECT_EQ(file.GetPosition(), 2);
}

INSTANTIATE_TEST_SUITE_P(File, FileBadSeek,
                         testing::Values(BadSeek{"BeforeBeginFromCurrent", -3, Kes::SeekCurrent},
                                         BadSeek{"BeforeBeginFromEnd", -5, Kes::SeekEnd},
                                         BadSeek{"PastTheSixtyFourBitRange", INT64_MAX, Kes::SeekCurrent},
                                         BadSeek{"NoOrigin", 0, static_cast<Kes::TSeekFrom>(7)}),
                         [](const testing::TestParamInfo<BadSeek>& testInfo) { return testInfo.param.name; });

TEST_F(File, UsesOutsideTheOpenModeRaiseAndChangeNothing) {
  const std::string path = PathOf("readonly.bin");
  Put(path, "keep");
  {
    Kes::CFile in(Name(path), Kes::kFileOpenForReading);
    EXPECT_CHECK(in.Write("x", 1), "ERR_FILE_WRITE", path, Reason(EBADF), "");
    EXPECT_CHECK(in.SetLength(0), "ERR_FILE_WRITE", path, Reason(EBADF), "");
  }
  EXPECT_EQ(Contents(path), "keep");
  const std::string written = PathOf("writeonly.bin");
  Kes::CFile out(Name(written), Kes::kFileCreateForWriting);
  char buffer[1];
  EXPECT_CHECK(out.Read(buffer, 1), "ERR_FILE_READ", written, Reason(EBADF), "");
  out.Close();
  EXPECT_CHECK(out.Write("x", 1), "ERR_FILE_WRITE", written, Reason(EBADF), "");
  EXPECT_CHECK(out.Seek(0, Kes::SeekBegin), "ERR_FILE_SEEK", written, Reason(EBADF), "");
  EXPECT_CHECK(out.GetLength(), "ERR_FILE_READ", written, Reason(EBADF), "");
  EXPECT_CHECK(out.Flush(), "ERR_FILE_WRITE", written, Reason(EBADF), "");
}

TEST_F(File, AbortRemovesOnlyAFileItCreatedAndLeftOpen) {
  const std::string aborted = PathOf("aborted.bin");
  Kes::CFile out(Name(aborted), Kes::kFileCreateForWriting);
  out.Write("partial", 7);
  out.Abort();
  EXPECT_FALSE(fs::exists(aborted));

  const std::string read = PathOf("read.bin");
  Put(read, "r");
  Kes::CFile(Name(read), Kes::kFileOpenForReading).Abort();
  EXPECT_EQ(Contents(read), "r");
  const std::string closed = PathOf("closed.bin");
  Kes::CFile done(Name(closed), Kes::kFileCreateForWriting);
  done.Write("c", 1);
  done.Close();
  done.Abort();
  EXPECT_EQ(Contents(closed), "c");
}

class FileOnAFullDevice : public testing::Test {
protected:
  void SetUp() override {
    if (!fs::exists(kFullDevice)) GTEST_SKIP() << kFullDevice << " is not available";
  }
};

TEST_F(FileOnAFullDevice, WritesRaiseAndTheDestructorAbsorbsTheFailure) {
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
  {
    Kes::CFile out(Kes::CUnicodeString::FromUtf8(kFullDevice), Kes::kFileCreateForWriting);
    out.Write("abc", 3);
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before.liveBlocks);  // the absorbed error was deleted
}

// Memory files.

TEST(MemoryFile, TakesItsBufferInWholeStepsOfGrowBytes) {
  const std::int64_t before = Kes::GetMemoryStats().liveBytes;
  Kes::CMemoryFile file(1000);
  file.Write("x", 1);
  EXPECT_EQ(Kes::GetMemoryStats().liveBytes - before, 1000);
  const std::vector<char> more(1000, 'y');
  file.Write(more.data(), 1000);
  const std::int64_t held = Kes::GetMemoryStats().liveBytes - before;
  EXPECT_GE(held, 1001);
  EXPECT_EQ(held % 1000, 0);
}

// A block of exactly size bytes from doAlloc, so the sanitizer sees any read past it.
class ExactBlock {
public:
  explicit ExactBlock(const std::string& bytes) : m_size(bytes.size()), m_data(Kes::doAlloc(bytes.size())) {
    std::memcpy(m_data, bytes.data(), bytes.size());
  }
  ~ExactBlock() { Kes::doFree(m_data); }
  ExactBlock(const ExactBlock&) = delete;
  ExactBlock& operator=(const ExactBlock&) = delete;

  const void* Data() const { return m_data; }
  std::int64_t Size() const { return static_cast<std::int64_t>(m_size); }
  std::string Text() const { return Bytes(m_data, Size()); }

private:
  std::size_t m_size;
  void* m_data;
};

TEST(MemoryFileEx, ReadsAnAttachedBlockInPlaceNeverPastItsEndAndNeverWritesIt) {
  const ExactBlock block("0123456789");
  Kes::CMemoryFileEx file;
  file.Attach(block.Data(), block.Size(), 1);
  EXPECT_EQ(file.Data(), block.Data());
  char buffer[32];
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 10);
  EXPECT_EQ(Bytes(buffer, 10), "0123456789");
  file.Seek(100, Kes::SeekBegin);
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0);
  EXPECT_CHECK(file.Write("X", 1), "ERR_FILE_WRITE", "", Reason(EROFS), "");
  EXPECT_CHECK(file.SetLength(11), "ERR_FILE_WRITE", "", Reason(EROFS), "");
  file.SetLength(2);  // a shorter length limits reading
  file.SeekToBegin();
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 2);
  EXPECT_EQ(block.Text(), "0123456789");
}

TEST(MemoryFileEx, DetachOrDestroyGivesTheBlockBackUnfreedAndFreesOnlyItsOwnBuffer) {
  const ExactBlock block("payload");
  const Kes::CMemoryStats before = Kes::GetMemoryStats();
  {
    Kes::CMemoryFileEx file;
    file.Write("own bytes", 9);
    file.Attach(block.Data(), block.Size(), 1);
    EXPECT_EQ(Kes::GetMemoryStats().liveBytes, before.liveBytes);
    EXPECT_EQ(file.Detach(), block.Data());
    EXPECT_EQ(file.GetLength(), 0);
    Kes::CMemoryFileEx other;
    other.Attach(block.Data(), block.Size(), 1);
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before.liveBlocks);
  EXPECT_EQ(block.Text(), "payload");
}

}  // namespace
