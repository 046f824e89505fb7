// bmptool driven as a process: started directly, or through the emulator of
// a cross build (BMPTOOL_LAUNCHER, words separated by spaces).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "RawHeader.h"
#include "Support/BmpBuilder.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using BmpTest::BmpBuilder;
using BmpTest::ReadFile;
using BmpTest::ScratchPath;

std::vector<std::string> ToolCommand(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  std::istringstream launcher(BMPTOOL_LAUNCHER);
  for (std::string word; launcher >> word;) words.push_back(word);
  words.push_back(BMPTOOL_PATH);
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// Replaces the calling (child) process with the program the words name.
[[noreturn]] void Exec(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

struct CRun {
  int status = -1;  // the exit status, or 128 + the signal that ended the child
  long peakKiB = 0;
  std::string out, err;
};

// Runs the words as a child with stdout and stderr captured through files;
// whileRunning (if any) gets the child's id before it is waited for. With
// pipedIn, standard input and output are pipes, as in "cat pipedIn | WORDS | cat".
CRun RunChild(std::vector<std::string> words, const std::string& pipedIn = "",
                const std::function<void(pid_t)>& whileRunning = {}) {
  if (!pipedIn.empty()) {
    words.insert(words.begin(), {"/bin/bash", "-c", "cat \"$0\" | \"$@\" | cat; exit ${PIPESTATUS[1]}", pipedIn});
  }
  const std::string outPath = BmpTest::ScratchPath("run-stdout.txt").string();
  const std::string errPath = BmpTest::ScratchPath("run-stderr.txt").string();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    Exec(words);
  }
  if (whileRunning) whileRunning(pid);
  CRun run;
  int raw = 0;
  rusage usage{};
  wait4(pid, &raw, 0, &usage);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.peakKiB = usage.ru_maxrss;
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

CRun RunTool(const std::vector<std::string>& args, const std::string& pipedIn = "") {
  return RunChild(ToolCommand(args), pipedIn);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

std::string Sample(const std::string& name) { return std::string(BMP_SAMPLES_DIR) + "/" + name; }

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = ScratchPath("use-" + name);
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Writes the bytes to a scratch file and returns its path.
template <typename TBytes>
std::string Made(const std::string& name, const TBytes& bytes) {
  const fs::path path = ScratchPath(name);
  BmpTest::WriteFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  return path.string();
}

// The first bytes of the whole.
template <typename TBytes>
std::vector<std::uint8_t> Cut(const TBytes& whole, std::size_t size) {
  return {whole.begin(), whole.begin() + std::ptrdiff_t(size)};
}

// A field of one colour.
BmpBuilder Rgb(int w, int h) {
  return BmpBuilder().SetPixels({w, h, 24, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 0x336699)});
}

std::vector<std::uint8_t> SmallDib() {
  return BmpBuilder().SetPixels({3, 2, 24, {0xFF0101, 0x01FF01, 0x0101FF, 0x404040, 0xFFFFFF, 0x808080}}).BuildDib();
}

// Table rows print as their names, which also name the instances.
template <typename TCase>
  requires requires(const TCase& row) { row.name; }
void PrintTo(const TCase& row, std::ostream* out) { *out << row.name; }

constexpr auto kByName = [](const auto& info) { return std::string(info.param.name); };

struct CCommand {
  const char* name;
  Args args;  // FILE stands for the file that made gives
  int status;
  std::vector<std::string> shown = {};  // on stdout or stderr
  std::function<std::string()> made = {};
  const char* unshown = nullptr;
};

class Command : public testing::TestWithParam<CCommand> {};

// Run in a folder of its own, where "-x.bmp" is a sample that only -- can name
// and d.bmp a folder; a refused command leaves nothing behind there.
TEST_P(Command, ExitsWithItsStatusAndShowsWhatItFound) {
  Args args = GetParam().args;
  if (GetParam().made) std::replace(args.begin(), args.end(), std::string("FILE"), GetParam().made());
  const fs::path here = fs::current_path();
  fs::current_path(FreshFolder("command"));
  fs::copy_file(Sample("rgb24.bmp"), "-x.bmp");
  fs::create_directories("d.bmp");
  const std::vector<std::string> before = Names(".");
  const CRun run = RunTool(args);
  EXPECT_TRUE(run.status == 0 || Names(".") == before);
  fs::current_path(here);
  EXPECT_EQ(run.status, GetParam().status) << run.err;
  for (const std::string& text : GetParam().shown) EXPECT_NE((run.out + run.err).find(text), std::string::npos) << run.out << run.err;
  if (GetParam().unshown) {
    EXPECT_EQ((run.out + run.err).find(GetParam().unshown), std::string::npos) << run.out << run.err;
  }
}

const std::string kRgb = Sample("rgb24.bmp");
INSTANTIATE_TEST_SUITE_P(
    Tool, Command,
    testing::Values(
        CCommand{"NoCommand", {}, 2}, CCommand{"UnknownCommand", {"frobnicate"}, 2}, CCommand{"NoFile", {"info"}, 2},
        CCommand{"UnknownKind", {"convert", "--as", "sepia", kRgb, "x.bmp"}, 2},
        CCommand{"UnknownExtension", {"convert", kRgb, "x.gif"}, 2},
        CCommand{"MissingValue", {"check", kRgb, "--jobs"}, 2},
        CCommand{"NoJobs", {"check", "-j", "0", kRgb}, 2},
        CCommand{"JobsJoined", {"check", "-j2", kRgb}, 0},
        CCommand{"WidthWithEquals", {"show", "--width=20", kRgb}, 0},
        CCommand{"ZeroWidth", {"show", "--width", "0", kRgb}, 2},
        CCommand{"DitherWithoutBlackAndWhite", {"convert", "--dither", kRgb, "x.pbm"}, 2},
        CCommand{"HyphenFileAfterDashes", {"info", "--", "-x.bmp"}, 0},
        CCommand{"HyphenFileWithoutDashes", {"info", "-x.bmp"}, 2},
        CCommand{"UnknownTo", {"convert", "--to", "gif", kRgb, "x.out"}, 2},
        CCommand{"StandardOutputWithoutTo", {"convert", kRgb, "-"}, 2},
        CCommand{"StandardInputTwice", {"check", "-", "-"}, 2},
        CCommand{"FolderIn", {"convert", ".", "x.ppm"}, 1, {".: cannot be read: Is a directory"}},
        CCommand{"FolderOut", {"convert", kRgb, "d.bmp"}, 1, {"d.bmp: cannot be written: Is a directory"}},
        CCommand{"MissingIn", {"info", "nosuch.bmp"}, 1, {"nosuch.bmp: cannot be read: No such file or directory"}},
        CCommand{"OutInAMissingFolder", {"convert", kRgb, "nodir/x.ppm"}, 1,
                 {"nodir/x.ppm: cannot be created: No such file or directory"}},
        CCommand{"InfoOnAGrayPaletteAndTopDownRows", {"info", Sample("palette8-gray.bmp"), Sample("rgb24-topdown.bmp")},
                 0, {"pixel format: Palette8 (3)", "opens as:     gray", "resolution:   96 x 96 dpi", "row order:    top-down"}},
        CCommand{"InfoOnACoreHeader", {"info", "FILE"}, 0,
                 {"header:       OS/2 core header, 12 bytes\n  row order:    bottom-up\n  bits/pixel:   24"},
                 [] { return Made("core.bmp", BmpBuilder().SetInfoHeaderSize(BmpTest::kCoreHeaderSize).SetPixels({1, 1, 24, {0}}).Build()); }},
        // the good file is still described
        CCommand{"InfoOnABrokenHeaderBesideAGoodOne", {"info", kRgb, "FILE"}, 1,
                 {"size:         48 x 32", "cut-header.bmp: ERR_IMAGE_INVALID_IMAGE_FILE: "},
                 [] { return Made("cut-header.bmp", Cut(ReadFile(kRgb), 30)); }},
        CCommand{"InfoOnAPackedDib", {"info", "--dib", "FILE"}, 0,
                 {"format:       DIB\n  size:         3 x 2\n  header:       info header, 40 bytes"},
                 [] { return Made("small.dib", SmallDib()); }},
        CCommand{"InfoOnAHugeRunLengthPageReadsOnlyTheHeader", {"info", "FILE"}, 0, {"size:         32512 x 32512"},
                 [] { return Made("huge-rle8.bmp", BmpBuilder().SetRle(32512, 32512, 8, BmpTest::RleStream().EndOfBitmap().Bytes())
                                                       .SetPalette({{0, 0, 0, 0}, {9, 9, 9, 0}}).SetClrUsed(2).Build()); }},
        CCommand{"InfoOnAConvertedBlackAndWhite", {"info", "FILE"}, 0,
                 {"bits/pixel:   1", "opens as:     black-and-white"},
                 [] { return RunTool({"convert", "--as", "bw", kRgb, ScratchPath("as-bw.bmp").string()}).status == 0
                                 ? ScratchPath("as-bw.bmp").string() : "convert failed"; }},
        CCommand{"DibEndingInsideItsHeader", {"convert", "--dib", "FILE", "x.ppm"}, 1, {"too short for a DIB header"},
                 [] { return Made("short.dib", std::string("\x28\0\0\0\x05\0", 6)); }},
        CCommand{"DibOfAHeaderSizeNoLayoutHas", {"info", "--dib", "FILE"}, 1, {"not a DIB header the module reads (header size 13)"},
                 [] { return Made("thirteen.dib", std::string("\x0D\0\0\0\x05\0\x03\0\x01\0\x08\0\0", 13)); }},
        CCommand{"TruncatedDib", {"convert", "--dib", "FILE", "x.ppm"}, 1, {"the DIB declares"},
                 [] { return Made("truncated.dib", Cut(BmpBuilder().SetPixels({64, 64, 8, std::vector<std::uint32_t>(64 * 64, 1)})
                                                           .SetPalette(std::vector<BmpTest::Rgbq>(256)).BuildDib(), 2580)); }},  // half
        CCommand{"ConvertAPackedDib", {"convert", "--dib", "FILE", "--to", "ppm", "-"}, 0,
                 {"P6\n3 2\n255\n\xFF\x01\x01\x01\xFF\x01\x01\x01\xFF\x40\x40\x40\xFF\xFF\xFF\x80\x80\x80"},
                 [] { return Made("small.dib", SmallDib()); }},
        // Host images have no alpha: a declared alpha mask is dropped with a warning,
        // while the fourth byte of a plain 32-bit pixel is padding.
        CCommand{"ConvertWarnsOfADeclaredAlphaMask", {"convert", "FILE", "--to", "ppm", "-"}, 0,
                 {": warning: its alpha channel is dropped"},
                 [] { return Made("alpha.bmp", BmpBuilder().SetPixels({2, 1, 32, {0x80FF0000, 0x4000FF00}})
                                                   .SetInfoHeaderSize(BmpTest::kV5HeaderSize).SetCompression(BmpTest::kBiBitfields)
                                                   .SetMasks(0xFF0000, 0xFF00, 0xFF, 0xFF000000).Build()); }},
        CCommand{"ConvertKeepsQuietOnPlainThirtyTwoBits", {"convert", Sample("rgb32.bmp"), "--to", "ppm", "-"}, 0, {}, {}, "warning"},
        // Worked by hand: 128 stays white (not below half) and sends -127 on, so the next pixel is black.
        CCommand{"DitherDiffusesTheErrorOfEachPixel", {"convert", "--as", "bw", "--dither", "FILE", "--to", "pbm", "-"}, 0,
                 {"P4\n4 1\n\x50"},
                 [] { return Made("mid-gray.pgm", std::string("P5\n4 1\n255\n\x80\x80\x80\x80")); }},
        CCommand{"ShowDrawsTheStoredPreview", {"show", "--width", "12", Sample("palette4.bmp")}, 0,
                 {ReadFile(std::string(BMP_TOOL_TESTS_DIR) + "/expected/show-palette4-12.txt")}},
        CCommand{"ShowOnABrokenFile", {"show", Sample("broken-truncated.bmp")}, 1}),
    kByName);

struct CStreamCase {
  const char* name;
  const char* sample;
  const char* madeAs;  // the sample converted to this extension first, or nullptr
  std::vector<std::string> args;  // with IN and OUT, which are - when piped
  int status;
};

class StandardStreams : public testing::TestWithParam<CStreamCase> {};

// "cat IN | bmptool ... - ... - | cat" gives byte for byte what the command
// gives on files, messages naming - where they named IN.
TEST_P(StandardStreams, GiveWhatFilesGive) {
  const CStreamCase& streams = GetParam();
  if (!BMPTOOL_HAS_PNG && std::ranges::count(streams.args, "png")) GTEST_SKIP() << "bmptool is built without PNG support";
  std::string in = Sample(streams.sample);
  if (streams.madeAs) {
    const std::string made = ScratchPath(std::string(streams.name) + "." + streams.madeAs).string();
    ASSERT_EQ(RunTool({"convert", in, made}).status, 0);
    in = made;
  }
  const fs::path out = ScratchPath(std::string(streams.name) + ".out");
  fs::remove(out);
  std::vector<std::string> named, piped;
  for (const std::string& arg : streams.args) {
    named.push_back(arg == "IN" ? in : arg == "OUT" ? out.string() : arg);
    piped.push_back(arg == "IN" || arg == "OUT" ? "-" : arg);
  }
  const CRun byName = RunTool(named);
  const CRun byPipe = RunTool(piped, in);
  EXPECT_EQ(byName.status, streams.status) << byName.err;
  EXPECT_EQ(byPipe.status, streams.status) << byPipe.err;
  EXPECT_EQ(byPipe.out, std::ranges::count(streams.args, "OUT") ? ReadFile(out) : Replaced(byName.out, in, "-"));
  EXPECT_EQ(byPipe.err, Replaced(byName.err, in, "-"));
}

INSTANTIATE_TEST_SUITE_P(
    Tool, StandardStreams,
    testing::Values(CStreamCase{"BmpToPng", "rgb24.bmp", nullptr, {"convert", "IN", "--to", "png", "OUT"}, 0},
                    CStreamCase{"PnmToBmp", "palette1-bw.bmp", "pbm", {"convert", "IN", "--to", "bmp", "OUT"}, 0},
                    CStreamCase{"Info", "v5-bitfields32.bmp", nullptr, {"info", "--json", "IN"}, 0},
                    CStreamCase{"CheckBroken", "broken-truncated.bmp", nullptr, {"check", "IN"}, 1}),
    kByName);

// A quarter-intensity field keeps its mean.
TEST(Tool, DitherKeepsTheMeanOfAField) {
  std::string field = "P5\n16 16\n255\n";
  field.resize(field.size() + 256, 64);
  const std::string pbm = ScratchPath("quarter.pbm").string();
  ASSERT_EQ(RunTool({"convert", "--as", "bw", "--dither", Made("quarter.pgm", field), pbm}).status, 0);
  const std::string bits = ReadFile(pbm).substr(std::string("P4\n16 16\n").size());
  int black = 0;
  for (const unsigned char byte : bits) black += std::popcount(byte);
  EXPECT_NEAR(black, 192, 8);
}

// The length the tool hands the module with a packed DIB, worked out by hand
// for each header size and compression: the module must never read past it.
struct CExtentCase {
  const char* name;
  std::uint32_t headerSize;
  std::uint16_t bitCount;
  std::uint32_t compression;
  std::uint32_t colorsUsed;
  std::optional<std::uint64_t> expected;  // for a 5 x 3 image; nothing for a header size no layout has
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
    CExtentCase{"InfoHeaderRgbWithoutPalette", 40, 24, 0, 7, 40 + 48},
    CExtentCase{"InfoHeaderShortPalette", 40, 4, 0, 3, 40 + 12 + 12},
    CExtentCase{"V2HeaderHoldsItsMasks", 52, 16, 3, 0, 52 + 36},
    CExtentCase{"Rle8PaletteOnly", 40, 8, 1, 0, 40 + 1024},
    CExtentCase{"Rle4PaletteCapped", 40, 8, 2, 0, 40 + 16 * 4},
    CExtentCase{"BitFieldsOf24HeaderOnly", 40, 24, 3, 0, 40},
    CExtentCase{"JpegHeaderOnly", 40, 24, 4, 0, 40},
    CExtentCase{"HeaderBelowTheCoreSize", 11, 8, 0, 0, std::nullopt},
    CExtentCase{"HeaderBelowTheOs2Size", 15, 8, 0, 0, std::nullopt}),
    kByName);

// ---- PNG, JSON, parallel checking, the preview ----

// Runs Python with the words, the text (if any) on its standard input; what it prints is in run.out.
CRun Python(Args words, const std::string& input = "") {
  words.insert(words.begin(), "/usr/bin/python3");
  return RunChild(words, input.empty() ? "" : Made("python-input.txt", input));
}

const std::string kPillow = std::string(BMP_TOOL_TESTS_DIR) + "/pillow_png.py";

bool HavePillow() {
  if (!BMPTOOL_HAS_PNG) return false;
  if (Python({"-c", "import PIL"}).status == 0) return true;
  if (std::getenv("CI")) ADD_FAILURE() << "python3-pil is required in CI";
  return false;
}

struct CPngInput {
  const char* name;
  const char* mode;        // what the PNM output of its kind opens as in Pillow
  bool warns;              // an alpha channel is dropped
  const char* resolution;  // as a BMP made from it describes it
};

class PngInput : public testing::TestWithParam<CPngInput> {};

TEST_P(PngInput, BecomesTheImageOfItsKind) {
  if (!HavePillow()) GTEST_SKIP() << "python3-pil is not installed";
  const fs::path folder = FreshFolder("png-inputs");
  ASSERT_EQ(Python({kPillow, "make", folder.string()}).status, 0);
  const std::string png = (folder / (std::string(GetParam().name) + ".png")).string();
  const std::string pnm = ScratchPath(std::string(GetParam().name) + ".pnm").string();
  const CRun run = RunTool({"convert", png, pnm});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("alpha channel is dropped") != std::string::npos, GetParam().warns) << run.err;
  const CRun same = Python({kPillow, "same", png, pnm, GetParam().mode});
  EXPECT_EQ(same.status, 0) << same.out;
  ASSERT_EQ(RunTool({"convert", png, pnm + ".bmp"}).status, 0);
  const CRun info = RunTool({"info", pnm + ".bmp"});
  EXPECT_NE(info.out.find(std::string("resolution:   ") + GetParam().resolution + "\n"), std::string::npos) << info.out;
}

INSTANTIATE_TEST_SUITE_P(Tool, PngInput,
                         testing::Values(CPngInput{"bw", "1", false, "300 x 72 dpi"}, CPngInput{"gray8", "L", false, "not given"},
                                         CPngInput{"gray16", "L", false, "not given"},
                                         CPngInput{"palette", "RGB", false, "not given"},
                                         CPngInput{"rgb", "RGB", false, "150 x 150 dpi"},
                                         CPngInput{"rgba", "RGB", true, "not given"},
                                         CPngInput{"graya", "L", true, "not given"}),
                         kByName);

// Every sample written as PNG reads back in Pillow as the PNM of the same
// kind does, with the sample's resolution.
TEST(Tool, PngOutputMatchesThePnmOfItsKind) {
  if (!HavePillow()) GTEST_SKIP() << "python3-pil is not installed";
  const std::pair<const char*, const char*> samples[] = {
      {"palette1-bw.bmp", "1"}, {"palette8-gray.bmp", "L"}, {"palette4.bmp", "RGB"}, {"rgb24.bmp", "RGB"},
      {"rle8.bmp", "RGB"},      {"bitfields16-565.bmp", "RGB"}};
  for (const auto& [name, mode] : samples) {
    const std::string png = ScratchPath(std::string(name) + ".png").string();
    const std::string pnm = ScratchPath(std::string(name) + ".out.pnm").string();
    ASSERT_EQ(RunTool({"convert", Sample(name), png}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", Sample(name), pnm}).status, 0) << name;
    const CRun same = Python({kPillow, "same", pnm, png, mode});
    EXPECT_EQ(same.status, 0) << name << ": " << same.out;
    EXPECT_EQ(same.out.rfind("(96.0", 0), 0u) << name << ": " << same.out;  // 3780 pixels per metre
  }
}

TEST(Tool, BrokenPngIsRefusedCleanly) {
  if (!BMPTOOL_HAS_PNG) GTEST_SKIP() << "bmptool is built without PNG support";
  const fs::path png = ScratchPath("whole.png");
  ASSERT_EQ(RunTool({"convert", Sample("rgb24.bmp"), png.string()}).status, 0);
  const std::string bytes = ReadFile(png);
  for (const std::size_t keep : {std::size_t{8}, std::size_t{30}, bytes.size() / 2, bytes.size() - 13}) {
    const CRun run = RunTool({"convert", Made("cut.png", Cut(bytes, keep)), ScratchPath("cut-out.bmp").string()});
    EXPECT_EQ(run.status, 1) << keep << ": " << run.err;
    EXPECT_NE(run.err.find("PNG"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(ScratchPath("cut-out.bmp")));
  }
}

// Parses the JSON in Python and prints what the expression gives for it (as d), the file name as sys.argv[1].
CRun JsonQuery(const std::string& json, const std::string& expression, const std::string& name = "") {
  return Python({"-c", "import json, os, sys; d = json.load(sys.stdin); print(" + expression + ")", name}, json);
}

// Any file name opens and prints as its bytes, and comes back from JSON:
// quotes and control characters escaped, bytes that are not UTF-8 through
// Python's surrogate escapes. Each name carries a sample of another kind
// through PNM and back without loss.
TEST(Tool, EveryFileNameOpensAndComesBackFromJson) {
  const std::pair<std::string, const char*> files[] = {{"odd \"name\"\n\t\xC3\xA9", "rgb24.bmp"},
                                                       {"caf\xE9", "palette8-gray.bmp"},
                                                       {"broken \xE2\x82 utf8", "palette1-bw.bmp"}};
  for (const auto& [name, sample] : files) {
    const fs::path bmp = ScratchPath(name + ".bmp");
    fs::copy_file(Sample(sample), bmp, fs::copy_options::overwrite_existing);
    const CRun info = RunTool({"info", bmp.string()});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.rfind(bmp.string() + ":\n", 0), 0u) << info.out;
    const CRun check = RunTool({"check", "--json", bmp.string(), Sample("broken-truncated.bmp")});
    EXPECT_EQ(check.status, 1);
    const CRun back = JsonQuery(check.out, "[e[\"ok\"] for e in d], d[1][\"error\"][\"id\"], "
                                           "os.fsencode(d[0][\"file\"]) == os.fsencode(sys.argv[1])", bmp.string());
    EXPECT_EQ(back.out, "[True, False] ERR_IMAGE_INVALID_IMAGE_FILE True\n") << check.out << back.err;
    const std::string pnm = ScratchPath(name + ".pnm").string(), again = ScratchPath(name + ".again.pnm").string();
    ASSERT_EQ(RunTool({"convert", bmp.string(), pnm}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", pnm, (bmp.string() + ".back.bmp")}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", (bmp.string() + ".back.bmp"), again}).status, 0) << name;
    EXPECT_EQ(ReadFile(pnm), ReadFile(again)) << name;
  }
}

// The keys of the JSON that the manual page does not document with their type.
TEST(Tool, JsonReportsHoldTheirFieldsAsDocumented) {
  const CRun info = RunTool({"info", "--json", kRgb, Sample("palette1-bw.bmp"), Sample("v5-bitfields32.bmp"),
                             Sample("broken-truncated.bmp"), ScratchPath("missing.bmp").string()});
  EXPECT_EQ(info.status, 1);
  const CRun fields = JsonQuery(info.out, "d[0][\"width\"], d[0][\"pixelFormat\"], d[0][\"resolution\"][\"x\"], "
                                          "d[4][\"error\"][\"message\"]");
  EXPECT_EQ(fields.out, "48 Rgb24 96 cannot be read: No such file or directory\n") << info.out << fields.err;
  const CRun check = RunTool({"check", "--json", kRgb, Sample("broken-truncated.bmp")});
  for (const std::string& json : {info.out, check.out}) {
    const CRun schema = Python({std::string(BMP_TOOL_TESTS_DIR) + "/json_schema.py", BMPTOOL_MANUAL}, json);
    EXPECT_EQ(schema.out + schema.err, "") << json;
  }
}

TEST(Tool, ParallelCheckReportsAsTheSerialOneDoes) {
  const fs::path folder = FreshFolder("check");
  const std::string good = ReadFile(kRgb);
  for (int i = 0; i < 24; ++i) {
    const std::size_t keep = i % 3 == 0 ? good.size() / 2 : good.size();  // every third file is cut short
    Made("use-check/f" + std::to_string(100 + i) + ".bmp", Cut(good, keep));
  }
  for (const char* format : {"--quiet", "--json"}) {
    const CRun serial = RunTool({"check", format, "-j", "1", folder.string()});
    const CRun parallel = RunTool({"check", format, "-j", "2", folder.string()});
    EXPECT_EQ(serial.status, 1);
    EXPECT_EQ(std::tie(parallel.status, parallel.out, parallel.err), std::tie(serial.status, serial.out, serial.err));
  }
}

TEST(Tool, ProgressIsDrawnOnlyOnATerminal) {
  // The child's stderr is a new pseudo-terminal, which some machines (a root
  // without /dev/pts, a sandbox) cannot open.
  int terminal = -1;
  winsize narrow{/*ws_row=*/24, /*ws_col=*/30, 0, 0};
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &narrow);
  if (pid < 0) GTEST_SKIP() << "no pseudo-terminal can be opened: " << std::strerror(errno);
  if (pid == 0) Exec(ToolCommand({"check", "-q", BMP_SAMPLES_DIR}));
  std::string seen;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) seen.append(buffer, std::size_t(got));
  close(terminal);
  int status = -1;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status << ": " << seen;  // one broken sample
  EXPECT_NE(seen.find("12/12 files"), std::string::npos) << seen;
  EXPECT_NE(seen.find("MB/s"), std::string::npos) << seen;
  for (std::size_t start = 0, end; (end = seen.find("\x1b[K", start)) != std::string::npos; start = end + 3) {
    const std::size_t line = seen.rfind('\r', end);
    EXPECT_LT(end - (line == std::string::npos ? start : line + 1), narrow.ws_col) << seen;  // the last column stays free
  }
  EXPECT_EQ(RunTool({"check", "-q", BMP_SAMPLES_DIR}).err.find("MB/s"), std::string::npos);  // redirected
  EXPECT_EQ(RunTool({"check", kRgb}).out, "1 file checked, 0 broken or refused\n");
}

TEST(Tool, ManualPageNamesEveryCommandAndOptionOfTheHelp) {
  std::string help = RunTool({"--help"}).out;
  for (const char* command : {"info", "convert", "check", "show"}) {
    EXPECT_NE(ReadFile(BMPTOOL_MANUAL).find(std::string(".B bmptool ") + command), std::string::npos) << command;
    help += RunTool({command, "--help"}).out;
  }
  // Options: a hyphen after a space or [ | ( and the letters and hyphens that follow; roff writes hyphens as \-.
  const CRun missing = Python({"-c", R"py(import re, sys; manual = open(sys.argv[1]).read().replace("\\-", "-")
print(sorted({o for o in re.findall(r"(?:^|[ \n\[|(])(-[a-z-]*[a-z])", sys.stdin.read()) if o not in manual})))py",
                               BMPTOOL_MANUAL}, help);
  EXPECT_EQ(missing.out, "[]\n") << missing.err;
}

// ---- Hostile use and hostile files ----
// The tool used as people use it, mistakes included, and in a shared folder
// where others may plant links: refusals by name with the right status,
// nothing written but OUT, bounded memory, and clean-up when interrupted.
// Hostile files get the right error (or lenient decoding for run-length
// data) in bounded peak memory measured in the child.

// AddressSanitizer's shadow memory and its quarantine of freed blocks (up to
// 256 MiB) dwarf the bounds below, so under it only the outcomes are checked.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPeaksAreMeasured = false;
#else
constexpr bool kPeaksAreMeasured = true;
#endif
using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ToolUse, UnreadableSubfolderIsCountedAndTheWalkGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  const fs::path folder = FreshFolder("walk");
  fs::copy_file(kRgb, folder / "good.bmp");
  fs::create_directory(folder / "locked");
  fs::permissions(folder / "locked", fs::perms::none);
  const CRun child = RunTool({"check", folder.string()});
  fs::permissions(folder / "locked", fs::perms::owner_all);
  EXPECT_EQ(child.status, 1);
  EXPECT_NE(child.err.find("locked: cannot be read: Permission denied"), std::string::npos) << child.err;
}

// Every way OUT can be given in a folder that others may write to.
TEST(ToolUse, OutputTouchesNothingButOut) {
  // PNG has its own writer; a build without it checks the other two.
  std::vector<std::string> kinds = {"bmp", "ppm"};
  if (BMPTOOL_HAS_PNG) kinds.push_back("png");
  const fs::path folder = FreshFolder("output");
  BmpTest::WriteFile(folder / "victim", Text("keep"));
  for (const std::string& kind : kinds) {
    const std::string out = "o." + kind;
    for (const char* suffix : {".part", ".tmp", "~"}) fs::create_symlink("victim", folder / (out + suffix));
    EXPECT_EQ(RunTool({"convert", kRgb, (folder / out).string()}).status, 0) << out;
  }
  EXPECT_EQ(ReadFile(folder / "victim"), "keep");
  BmpTest::WriteFile(folder / "target.ppm", Text("old"));
  fs::create_symlink("target.ppm", folder / "link.ppm");
  EXPECT_EQ(RunTool({"convert", kRgb, (folder / "link.ppm").string()}).status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "link.ppm"));
  EXPECT_EQ(ReadFile(folder / "target.ppm").substr(0, 2), "P6");
  const std::string longest = std::string(255 - 4, 'n') + ".bmp";
  EXPECT_EQ(RunTool({"convert", kRgb, (folder / longest).string()}).status, 0);
  EXPECT_EQ(RunTool({"convert", (folder / longest).string(), (folder / longest).string()}).status, 0);  // onto itself
  EXPECT_EQ(ReadFile(folder / longest), ReadFile(folder / "o.bmp"));
  for (const std::string& kind : kinds) {
    const std::string out = "full." + kind;
    fs::create_symlink("/dev/full", folder / out);
    const CRun full = RunTool({"convert", kRgb, (folder / out).string()});
    EXPECT_EQ(full.status, 1) << out;
    EXPECT_NE(full.err.find(out + ": cannot be written"), std::string::npos) << full.err;
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
  }
  for (const std::string& name : Names(folder)) EXPECT_EQ(name.find("bmptool"), std::string::npos) << name;
}

TEST(ToolUse, InterruptedConvertLeavesNothingBehind) {
  if (!BMPTOOL_HAS_PNG) GTEST_SKIP() << "bmptool is built without PNG support, the one writer slow enough to interrupt";
  const fs::path folder = FreshFolder("interrupt");
  BmpTest::WriteFile(folder / "big.bmp", Rgb(6000, 6000).Build());  // 108 MB: long enough to be interrupted while writing
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const CRun child =
        RunChild(ToolCommand({"convert", (folder / "big.bmp").string(), (folder / "big.png").string()}), "",
                 [&](pid_t pid) {
                   const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                   while (Names(folder).size() < 2 && std::chrono::steady_clock::now() < deadline) {
                     std::this_thread::sleep_for(std::chrono::milliseconds(5));
                   }
                   kill(pid, signal);
                 });
    EXPECT_EQ(child.status, 128 + signal);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"big.bmp"});
  }
}

// Inputs that ask for far more memory than their size: made here from PNM
// by the tool itself, so that the PNGs are tiny.
TEST(ToolUse, DecompressionBombsStayWithinTheBudget) {
  if (!BMPTOOL_HAS_PNG) GTEST_SKIP() << "bmptool is built without PNG support";
  const fs::path folder = FreshFolder("bombs");
  const long baselineKiB = RunTool({"info", kRgb}).peakKiB;
  {  // released before the tool is started, so that no child inherits them
    std::string tall = "P5\n1 10000000\n255\n";
    tall.resize(tall.size() + 10'000'000, '\x80');
    BmpTest::WriteFile(folder / "tall.pgm", Text(tall));
    std::string square = "P4\n16000 16000\n";
    square.resize(square.size() + 2000 * 16000, '\x55');
    BmpTest::WriteFile(folder / "square.pbm", Text(square));
  }
  for (const char* name : {"tall.pgm", "square.pbm"}) {
    const std::string png = fs::path(folder / name).replace_extension(".png").string();
    ASSERT_EQ(RunTool({"convert", (folder / name).string(), png}).status, 0) << name;
    const CRun child = RunTool({"convert", png, (folder / "back.pnm").string()});
    EXPECT_EQ(child.status, 0) << child.err;
    if (kPeaksAreMeasured) {
      EXPECT_LT(child.peakKiB - baselineKiB, 64 * 1024) << name;  // the 32 MB raster and a few rows
    }
    const CRun refused = RunTool({"convert", "--max-memory", "8M", png, (folder / "x.pnm").string()});
    EXPECT_EQ(refused.status, 1) << name;
    EXPECT_NE(refused.err.find("more than the memory budget"), std::string::npos) << refused.err;
    if (kPeaksAreMeasured) {
      EXPECT_LT(refused.peakKiB - baselineKiB, 16 * 1024) << name;
    }
  }
}

// Wider than 16-bit stroke positions reach: every black pixel stays in place.
TEST(ToolUse, WideBlackAndWhiteKeepsEveryPixel) {
  const fs::path folder = FreshFolder("wide");
  std::string pbm = "P4\n70000 2\n";
  const std::size_t data = pbm.size();
  pbm.resize(data + 2 * 8750, '\0');
  pbm[data + 65536 / 8] = '\xFF', pbm[data + 65544 / 8] = '\xC0';  // black at x = 65536..65545 of row 0
  BmpTest::WriteFile(folder / "wide.pbm", Text(pbm));
  for (const char* out : {"wide.bmp", "wide.pgm"}) {
    const CRun child = RunTool({"convert", (folder / "wide.pbm").string(), (folder / out).string()});
    EXPECT_EQ(child.status, 0) << child.err;
    EXPECT_NE(child.err.find("carried as gray"), std::string::npos) << child.err;
  }
  EXPECT_EQ(ReadFile(folder / "wide.bmp").at(BmpTest::kOffBiBitCount), 8);  // 8-bit gray
  const std::string gray = ReadFile(folder / "wide.pgm");
  const std::size_t start = gray.size() - 2 * 70000;
  for (const std::size_t x : {0, 9, 65535, 65546}) EXPECT_EQ(gray[start + x], '\xFF') << x;
  for (const std::size_t x : {65536, 65545}) EXPECT_EQ(gray[start + x], '\0') << x;
}

Bytes Patched(Bytes bytes, std::size_t at, std::uint32_t value) {
  BmpTest::Patch32(bytes, at, value);
  return bytes;
}

// Pages that a tiny stream declares huge come with a gray or a colour palette.
enum class TPalette { Gray, Color };

Bytes Rle(int w, int h, int bits, const BmpTest::RleStream& stream, TPalette kind) {
  std::vector<BmpTest::Rgbq> palette(bits == 4 ? 16 : 256);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = {std::uint8_t(i), std::uint8_t(kind == TPalette::Gray ? i : 255 - i), std::uint8_t(i), 0};
  }
  return BmpBuilder().SetRle(w, h, bits, stream.Bytes()).SetPalette(palette).Build();
}

Bytes Masks(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return BmpBuilder().SetPixels({8, 8, 16, std::vector<std::uint32_t>(64, 0xABCD)}).SetCompression(BmpTest::kBiBitfields)
      .SetMasks(r, g, b).Build();
}

struct CHostile {
  const char* name;
  std::function<Bytes()> make;
  const char* message;        // after "bmptool: FILE: "; empty: decoded without error
  bool everyCommand = false;  // refused alike by info and convert, not only by check
};

constexpr const char* kInvalid = "ERR_IMAGE_INVALID_IMAGE_FILE: ";
constexpr const char* kUnsupported = "ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT: ";
constexpr const char* kNotAnImage = "not a BMP, PNG or PNM file";
using BmpTest::kOffBiBitCount, BmpTest::kOffBiCompression, BmpTest::kOffBiHeight, BmpTest::kOffBiSize, BmpTest::kOffBiWidth;
using BmpTest::RleStream;

class HostileFile : public testing::TestWithParam<CHostile> {};

// Whatever the name says, the content decides the reader; no command here
// leaves a file behind.
TEST_P(HostileFile, IsRefusedByNameInBoundedMemory) {
  static const long baselineKiB = RunTool({"check", "-q", kRgb}).peakKiB;
  const CHostile& c = GetParam();
  const fs::path folder = FreshFolder(std::string("hostile-") + c.name);
  const std::string in = (folder / "input.bmp").string();
  BmpTest::WriteFile(in, c.make());
  std::vector<std::vector<std::string>> commands = {{"check", "-q", in}};
  if (c.everyCommand) commands.insert(commands.end(), {{"info", in}, {"convert", in, (folder / "o.ppm").string()}});
  for (const std::vector<std::string>& args : commands) {
    const CRun run = RunTool(args);
    EXPECT_EQ(run.status, *c.message ? 1 : 0) << args[0] << ": " << run.err;
    if (*c.message) {
      EXPECT_NE(run.err.find("bmptool: " + in + ": " + c.message), std::string::npos) << args[0] << ": " << run.err;
    }
    // A block of at most 512 KiB, a few rows and a fixed allowance, also for a
    // run-length page, which costs what its stream writes.
    EXPECT_LT(run.peakKiB - baselineKiB, 16 * 1024) << "peak " << run.peakKiB << " KiB, baseline " << baselineKiB;
  }
  EXPECT_EQ(Names(folder), std::vector<std::string>{"input.bmp"});
}

INSTANTIATE_TEST_SUITE_P(Tool, HostileFile, testing::ValuesIn(std::vector<CHostile>{
      {"Jpeg", [] { return Text("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01"); }, kNotAnImage, true},
      {"Empty", [] { return Bytes{}; }, kNotAnImage, true},
      {"OneByte", [] { return Text("B"); }, kNotAnImage, true},
      {"PlainPbm", [] { return Text("P1\n2 2\n0 1 1 0\n"); }, "not a binary PNM", true},
      {"Pam", [] { return Text("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\0\0\0\0"); },
       "not a binary PNM", true},
      {"DibWithoutFileHeader", [] { return Rgb(2, 2).BuildDib(); },
       "not a BMP, PNG or PNM file (it starts like a DIB header: try --dib)", true},
      {"CutInPixels", [] { return Cut(Rgb(64, 64).Build(), 5000); }, kInvalid},
      {"ZeroWidth", [] { return Patched(Rgb(4, 4).Build(), kOffBiWidth, 0); }, kInvalid},
      {"HugeDimensionsTinyFile", [] { return Patched(Patched(Rgb(4, 4).Build(), kOffBiWidth, 32512), kOffBiHeight, 32512); }, kInvalid},
      {"HugeClrUsedFullPalette",
       [] {
         BmpBuilder full = BmpBuilder().SetPixels({4, 4, 8, std::vector<std::uint32_t>(16, 7)});
         return Patched(full.SetPalette(std::vector<BmpTest::Rgbq>(256)).Build(), BmpTest::kOffBiClrUsed, 0xFFFFFFFFu);
       },
       ""},
      {"HugeBiSizeWithoutTables", [] { return Patched(Rgb(4, 4).Build(), kOffBiSize, 0xFFFFFFF0u); }, ""},
      {"HeaderSizeThirteen", [] { return Patched(Rgb(4, 4).Build(), kOffBiSize, 13); }, kUnsupported},
      {"ZeroMasks", [] { return Masks(0, 0, 0); }, ""},
      {"OverlappingMasks", [] { return Masks(0xFF00, 0x0FF0, 0x00FF); }, ""},
      {"BitCountSixtyFour", [] { return Patched(Rgb(4, 4).Build(), kOffBiBitCount, 64); }, kUnsupported},
      {"BitFieldsOf24", [] { return Patched(Rgb(4, 4).Build(), kOffBiCompression, 3); }, kUnsupported},
      {"PngCompression", [] { return Patched(Rgb(4, 4).Build(), kOffBiCompression, 5); }, kUnsupported},
      {"CompressionSeven", [] { return Patched(Rgb(4, 4).Build(), kOffBiCompression, 7); }, kUnsupported},
      {"RleGrayPageFromATinyStream", [] { return Rle(32512, 8192, 8, RleStream().EndOfBitmap(), TPalette::Gray); }, ""},
      {"RleColorPageFromATinyStream",
       [] { return Rle(32512, 8192, 8, RleStream().EncodedRun(255, 1).EndOfBitmap(), TPalette::Color); }, ""},
      {"Rle4PageFromATinyStream", [] { return Rle(32512, 8192, 4, RleStream().EndOfLine().EndOfBitmap(), TPalette::Color); }, ""},
  }), kByName);

}  // namespace
