#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "Support/BmpBuilder.h"
#include "ToolLaunch.h"

namespace {

namespace fs = std::filesystem;
using BmpTest::ScratchPath;
using ToolTest::Slurp;

struct CRun {
  int status = -1;
  std::string out, err;
};

// Runs the tool with the arguments; stdout and stderr are captured through
// files. With pipedIn, standard input and output are pipes, as in
// "cat pipedIn | bmptool ARGS | cat".
CRun RunTool(const std::vector<std::string>& args, const std::string& pipedIn = "") {
  const fs::path outPath = ScratchPath("tool-stdout.txt");
  const fs::path errPath = ScratchPath("tool-stderr.txt");
  const fs::path statusPath = ScratchPath("tool-status.txt");
  std::string tool;
  for (const std::string& word : ToolTest::ToolCommand()) tool += "'" + word + "' ";
  for (const std::string& arg : args) tool += " '" + arg + "'";
  const std::string command = pipedIn.empty()
                                  ? tool + " >'" + outPath.string() + "' 2>'" + errPath.string() + "'"
                                  : "(cat '" + pipedIn + "' | " + tool + " 2>'" + errPath.string() + "'; echo $? >'" +
                                        statusPath.string() + "') | cat >'" + outPath.string() + "'";
  const int raw = std::system(command.c_str());
  CRun run;
  run.status = !WIFEXITED(raw) ? -1 : pipedIn.empty() ? WEXITSTATUS(raw) : std::atoi(Slurp(statusPath).c_str());
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

std::string Sample(const std::string& name) { return std::string(BMP_SAMPLES_DIR) + "/" + name; }

struct CUsage {
  const char* name;
  std::vector<std::string> args;
  int status;
};

void PrintTo(const CUsage& usage, std::ostream* out) { *out << usage.name; }

class Usage : public testing::TestWithParam<CUsage> {};

// Run in the scratch folder, where "-x.bmp" is a sample that only -- can name.
TEST_P(Usage, ExitsWithItsStatus) {
  const fs::path here = fs::current_path();
  fs::current_path(ScratchPath(""));
  fs::copy_file(Sample("rgb24.bmp"), "-x.bmp", fs::copy_options::overwrite_existing);
  const CRun run = RunTool(GetParam().args);
  fs::current_path(here);
  EXPECT_EQ(run.status, GetParam().status) << run.err;
}

const std::string kRgb = Sample("rgb24.bmp");
INSTANTIATE_TEST_SUITE_P(
    Tool, Usage,
    testing::Values(CUsage{"NoCommand", {}, 2}, CUsage{"UnknownCommand", {"frobnicate"}, 2},
                    CUsage{"NoFile", {"info"}, 2}, CUsage{"NoOut", {"convert", kRgb}, 2},
                    CUsage{"UnknownKind", {"convert", "--as", "sepia", kRgb, "x.bmp"}, 2},
                    CUsage{"UnknownExtension", {"convert", kRgb, "x.gif"}, 2},
                    CUsage{"UnknownOption", {"info", "--frobnicate", kRgb}, 2},
                    CUsage{"MissingValue", {"check", kRgb, "--jobs"}, 2},
                    CUsage{"JobsJoined", {"check", "-j2", kRgb}, 0},
                    CUsage{"WidthWithEquals", {"show", "--width=20", kRgb}, 0},
                    CUsage{"HyphenFileAfterDashes", {"info", "--", "-x.bmp"}, 0},
                    CUsage{"HyphenFileWithoutDashes", {"info", "-x.bmp"}, 2},
                    CUsage{"UnknownTo", {"convert", "--to", "gif", kRgb, "x.out"}, 2},
                    CUsage{"StandardOutputWithoutTo", {"convert", kRgb, "-"}, 2},
                    CUsage{"StandardInputTwice", {"check", "-", "-"}, 2}),
    [](const auto& param) { return std::string(param.param.name); });

struct CStreamCase {
  const char* name;
  const char* sample;
  const char* madeAs;  // the sample converted to this extension first, or nullptr
  std::vector<std::string> args;  // with IN and OUT, which are - when piped
  int status;
};

void PrintTo(const CStreamCase& streams, std::ostream* out) { *out << streams.name; }

class StandardStreams : public testing::TestWithParam<CStreamCase> {};

// "cat IN | bmptool ... - ... - | cat" gives byte for byte what the command
// gives on files, messages naming - where they named IN.
TEST_P(StandardStreams, GiveWhatFilesGive) {
  const CStreamCase& streams = GetParam();
  const bool wantsPng = std::find(streams.args.begin(), streams.args.end(), "png") != streams.args.end();
  if (!BMPTOOL_HAS_PNG && wantsPng) GTEST_SKIP() << "bmptool is built without PNG support";
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
  const bool writes = std::find(streams.args.begin(), streams.args.end(), "OUT") != streams.args.end();
  EXPECT_EQ(byPipe.out, writes ? Slurp(out) : Replaced(byName.out, in, "-"));
  EXPECT_EQ(byPipe.err, Replaced(byName.err, in, "-"));
}

INSTANTIATE_TEST_SUITE_P(
    Tool, StandardStreams,
    testing::Values(CStreamCase{"BmpToPng", "rgb24.bmp", nullptr, {"convert", "IN", "--to", "png", "OUT"}, 0},
                    CStreamCase{"PnmToBmp", "palette1-bw.bmp", "pbm", {"convert", "IN", "--to", "bmp", "OUT"}, 0},
                    CStreamCase{"Info", "v5-bitfields32.bmp", nullptr, {"info", "--json", "IN"}, 0},
                    CStreamCase{"CheckBroken", "broken-truncated.bmp", nullptr, {"check", "IN"}, 1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Tool, InfoDescribesTheHeader) {
  const CRun run = RunTool({"info", Sample("palette8-gray.bmp"), Sample("rgb24-topdown.bmp")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("pixel format: Palette8 (3)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("opens as:     gray"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("row order:    top-down"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("resolution:   96 x 96 dpi"), std::string::npos) << run.out;
  const fs::path core = ScratchPath("core.bmp");
  BmpTest::WriteFile(core, BmpTest::BmpBuilder().SetInfoHeaderSize(BmpTest::kCoreHeaderSize).SetPixels({1, 1, 24, {0}}).Build());
  const CRun coreRun = RunTool({"info", core.string()});
  EXPECT_NE(coreRun.out.find("header:       OS/2 core header, 12 bytes\n  row order:    bottom-up\n  bits/pixel:   24"),
            std::string::npos) << coreRun.out;
}

TEST(Tool, InfoOnABrokenHeaderNamesTheErrorAndExitsWithOne) {
  const std::string whole = Slurp(Sample("rgb24.bmp"));
  const fs::path cut = ScratchPath("cut-header.bmp");
  BmpTest::WriteFile(cut, std::vector<std::uint8_t>(whole.begin(), whole.begin() + 30));
  const CRun run = RunTool({"info", Sample("rgb24.bmp"), cut.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("size:         48 x 32"), std::string::npos) << run.out;  // the good file is still described
  EXPECT_NE(run.err.find("cut-header.bmp: ERR_IMAGE_INVALID_IMAGE_FILE: "), std::string::npos) << run.err;
}

TEST(Tool, ConvertsBmpToPnmAndBackWithoutLoss) {
  for (const char* name : {"rgb24.bmp", "palette8-gray.bmp", "palette1-bw.bmp"}) {
    const fs::path pnm = ScratchPath(std::string(name) + ".pnm");
    const fs::path back = ScratchPath(std::string(name) + ".back.bmp");
    const fs::path again = ScratchPath(std::string(name) + ".again.pnm");
    ASSERT_EQ(RunTool({"convert", Sample(name), pnm.string()}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", pnm.string(), back.string()}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", back.string(), again.string()}).status, 0) << name;
    EXPECT_EQ(Slurp(pnm), Slurp(again)) << name;
  }
}

TEST(Tool, ConvertAsChangesTheKindOfTheWrittenBmp) {
  const fs::path out = ScratchPath("as-bw.bmp");
  ASSERT_EQ(RunTool({"convert", "--as", "bw", Sample("rgb24.bmp"), out.string()}).status, 0);
  const CRun info = RunTool({"info", out.string()});
  EXPECT_NE(info.out.find("bits/pixel:   1"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("opens as:     black-and-white"), std::string::npos) << info.out;
}

// Worked by hand: 128 stays white (not below half) and sends -127 on, so the
// next pixel is black, and so on. A quarter-intensity field keeps its mean.
TEST(Tool, DitherDiffusesTheErrorOfEachPixel) {
  const fs::path row = ScratchPath("mid-gray.pgm");
  BmpTest::WriteFile(row, {'P', '5', '\n', '4', ' ', '1', '\n', '2', '5', '5', '\n', 128, 128, 128, 128});
  const fs::path pbm = ScratchPath("mid-gray.pbm");
  ASSERT_EQ(RunTool({"convert", "--as", "bw", "--dither", row.string(), pbm.string()}).status, 0);
  EXPECT_EQ(Slurp(pbm), std::string("P4\n4 1\n\x50"));
  std::string field = "P5\n16 16\n255\n";
  field.resize(field.size() + 256, 64);
  const fs::path quarter = ScratchPath("quarter.pgm");
  BmpTest::WriteFile(quarter, std::vector<std::uint8_t>(field.begin(), field.end()));
  ASSERT_EQ(RunTool({"convert", "--as", "bw", "--dither", quarter.string(), pbm.string()}).status, 0);
  const std::string bits = Slurp(pbm).substr(std::string("P4\n16 16\n").size());
  int black = 0;
  for (const unsigned char byte : bits) black += std::popcount(byte);
  EXPECT_NEAR(black, 192, 8);
  EXPECT_EQ(RunTool({"convert", "--dither", quarter.string(), pbm.string()}).status, 2);  // only with --as bw
}

TEST(Tool, ConvertsAndDescribesAPackedDib) {
  BmpTest::BmpBuilder builder;
  const BmpTest::Pixels pixels{3, 2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF, 0x808080}};
  builder.SetPixels(pixels);
  const fs::path dib = ScratchPath("small.dib");
  BmpTest::WriteFile(dib, builder.BuildDib());
  const fs::path ppm = ScratchPath("small-from-dib.ppm");
  const CRun run = RunTool({"convert", "--dib", dib.string(), ppm.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string expected = std::string("P6\n3 2\n255\n") +
                               std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\x80\x80\x80", 18);
  EXPECT_EQ(Slurp(ppm), expected);
  const CRun info = RunTool({"info", "--dib", dib.string()});
  EXPECT_NE(info.out.find("format:       DIB\n  size:         3 x 2\n  header:       info header, 40 bytes"),
            std::string::npos) << info.out << info.err;
}

TEST(Tool, ATruncatedDibIsRefusedCleanly) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels({64, 64, 8, std::vector<std::uint32_t>(64 * 64, 1)}).SetPalette(std::vector<BmpTest::Rgbq>(256));
  std::vector<std::uint8_t> dib = builder.BuildDib();
  dib.resize(dib.size() / 2);
  const fs::path path = ScratchPath("truncated.dib");
  BmpTest::WriteFile(path, dib);
  const CRun run = RunTool({"convert", "--dib", path.string(), ScratchPath("truncated.ppm").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the DIB declares"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(ScratchPath("truncated.ppm")));
}

TEST(Tool, InfoOnAHugeRunLengthFileReadsOnlyTheHeader) {
  BmpTest::BmpBuilder builder;
  builder.SetRle(32512, 32512, 8, BmpTest::RleStream().EndOfBitmap().Bytes()).SetPalette({{0, 0, 0, 0}, {9, 9, 9, 0}}).SetClrUsed(2);
  const fs::path path = ScratchPath("huge-rle8.bmp");
  BmpTest::WriteFile(path, builder.Build());
  const CRun run = RunTool({"info", path.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("size:         32512 x 32512"), std::string::npos) << run.out;
}

// ---- PNG, JSON, parallel checking, the preview ----

constexpr const char* kPython = "/usr/bin/python3";

bool HavePillow() {
  if (!BMPTOOL_HAS_PNG) return false;
  if (std::system((std::string(kPython) + " -c 'import PIL' 2>/dev/null").c_str()) == 0) return true;
  if (std::getenv("CI")) ADD_FAILURE() << "python3-pil is required in CI";
  return false;
}

// Runs the Pillow helper; its stdout is returned through run.out.
CRun Pillow(const std::vector<std::string>& args) {
  std::string command = std::string(kPython) + " '" + BMP_TOOL_TESTS_DIR + "/pillow_png.py'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  const fs::path out = ScratchPath("pillow-out.txt");
  const int raw = std::system((command + " >'" + out.string() + "' 2>&1").c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), ""};
}

struct CPngInput {
  const char* name;
  const char* mode;  // what the PNM output of its kind opens as in Pillow
  bool warns;        // an alpha channel is dropped
};

void PrintTo(const CPngInput& input, std::ostream* out) { *out << input.name; }

class PngInput : public testing::TestWithParam<CPngInput> {};

TEST_P(PngInput, BecomesTheImageOfItsKind) {
  if (!HavePillow()) GTEST_SKIP() << "python3-pil is not installed";
  const fs::path folder = ScratchPath("png-inputs");
  fs::create_directories(folder);
  ASSERT_EQ(Pillow({"make", folder.string()}).status, 0);
  const std::string png = (folder / (std::string(GetParam().name) + ".png")).string();
  const std::string pnm = ScratchPath(std::string(GetParam().name) + ".pnm").string();
  const CRun run = RunTool({"convert", png, pnm});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("alpha channel is dropped") != std::string::npos, GetParam().warns) << run.err;
  const CRun same = Pillow({"same", png, pnm, GetParam().mode});
  EXPECT_EQ(same.status, 0) << same.out;
}

INSTANTIATE_TEST_SUITE_P(Tool, PngInput,
                         testing::Values(CPngInput{"bw", "1", false}, CPngInput{"gray8", "L", false},
                                         CPngInput{"gray16", "L", false}, CPngInput{"palette", "RGB", false},
                                         CPngInput{"rgb", "RGB", false}, CPngInput{"rgba", "RGB", true},
                                         CPngInput{"graya", "L", true}),
                         [](const auto& param) { return std::string(param.param.name); });

struct CAlphaCase {
  const char* name;
  std::vector<std::uint8_t> bmp;
  bool warns;
};

void PrintTo(const CAlphaCase& alpha, std::ostream* out) { *out << alpha.name; }

class BmpAlpha : public testing::TestWithParam<CAlphaCase> {};

// Host images have no alpha: a declared alpha mask is dropped with a warning,
// while the fourth byte of a plain 32-bit pixel is padding.
TEST_P(BmpAlpha, IsDroppedWithAWarningOnlyWhenDeclared) {
  const fs::path bmp = ScratchPath(std::string(GetParam().name) + ".bmp");
  BmpTest::WriteFile(bmp, GetParam().bmp);
  const CRun run = RunTool({"convert", bmp.string(), ScratchPath(std::string(GetParam().name) + ".ppm").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find(": warning: its alpha channel is dropped") != std::string::npos, GetParam().warns) << run.err;
}

const BmpTest::Pixels kRgba32{2, 1, 32, {0x80FF0000, 0x4000FF00}};
INSTANTIATE_TEST_SUITE_P(
    Tool, BmpAlpha,
    testing::Values(CAlphaCase{"V5WithAlphaMask",
                               BmpTest::BmpBuilder()
                                   .SetInfoHeaderSize(BmpTest::kV5HeaderSize)
                                   .SetCompression(BmpTest::kBiBitfields)
                                   .SetMasks(0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                                   .SetPixels(kRgba32)
                                   .Build(),
                               true},
                    CAlphaCase{"Plain32Bit", BmpTest::BmpBuilder().SetPixels(kRgba32).Build(), false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Tool, PngInputKeepsItsResolution) {
  if (!HavePillow()) GTEST_SKIP() << "python3-pil is not installed";
  const fs::path folder = ScratchPath("png-dpi");
  fs::create_directories(folder);
  ASSERT_EQ(Pillow({"make", folder.string()}).status, 0);
  const fs::path bmp = ScratchPath("png-dpi.bmp");
  ASSERT_EQ(RunTool({"convert", (folder / "bw.png").string(), bmp.string()}).status, 0);
  EXPECT_NE(RunTool({"info", bmp.string()}).out.find("resolution:   300 x 72 dpi"), std::string::npos);
}

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
    const CRun same = Pillow({"same", pnm, png, mode});
    EXPECT_EQ(same.status, 0) << name << ": " << same.out;
    EXPECT_EQ(same.out.rfind("(96.0", 0), 0u) << name << ": " << same.out;  // 3780 pixels per metre
  }
}

TEST(Tool, BrokenPngIsRefusedCleanly) {
  if (!BMPTOOL_HAS_PNG) GTEST_SKIP() << "bmptool is built without PNG support";
  const std::string whole = Slurp(Sample("rgb24.bmp"));
  const fs::path png = ScratchPath("whole.png");
  ASSERT_EQ(RunTool({"convert", Sample("rgb24.bmp"), png.string()}).status, 0);
  const std::string bytes = Slurp(png);
  for (const std::size_t keep : {std::size_t{8}, std::size_t{30}, bytes.size() / 2, bytes.size() - 13}) {
    const fs::path cut = ScratchPath("cut.png");
    BmpTest::WriteFile(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(keep)));
    const CRun run = RunTool({"convert", cut.string(), ScratchPath("cut-out.bmp").string()});
    EXPECT_EQ(run.status, 1) << keep << ": " << run.err;
    EXPECT_NE(run.err.find("PNG"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(ScratchPath("cut-out.bmp")));
  }
}

// Runs Python with the JSON on stdin; its output is returned through run.out.
CRun PythonOnJson(const std::string& json, const std::string& arguments) {
  const fs::path in = ScratchPath("query.json");
  BmpTest::WriteFile(in, std::vector<std::uint8_t>(json.begin(), json.end()));
  const fs::path out = ScratchPath("query-out.txt");
  const std::string command = std::string(kPython) + " " + arguments + " <'" + in.string() + "' >'" + out.string() + "' 2>&1";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), ""};
}

// Parses the JSON in Python and prints what the expression gives for it (as d).
CRun JsonQuery(const std::string& json, const std::string& expression) {
  return PythonOnJson(json, "-c 'import json, sys; d = json.load(sys.stdin); print(" + expression + ")'");
}

// The keys of the JSON that the manual page does not document with their type.
CRun JsonSchemaCheck(const std::string& json) {
  return PythonOnJson(json, std::string("'") + BMP_TOOL_TESTS_DIR + "/json_schema.py' '" + BMPTOOL_MANUAL + "'");
}

TEST(Tool, JsonReportsParseBackForAnyFileName) {
  // Quotes, a newline, a tab and an accent.
  const fs::path odd = ScratchPath("odd \"name\"\n\t\xC3\xA9.bmp");
  fs::copy_file(Sample("rgb24.bmp"), odd, fs::copy_options::overwrite_existing);
  const CRun info = RunTool({"info", "--json", odd.string(), ScratchPath("missing.bmp").string()});
  EXPECT_EQ(info.status, 1);
  const CRun fields = JsonQuery(info.out, "d[0][\"width\"], d[0][\"pixelFormat\"], d[0][\"resolution\"][\"x\"], "
                                          "d[1][\"error\"][\"message\"]");
  EXPECT_EQ(fields.out, "48 Rgb24 96 cannot be read: No such file or directory\n") << info.out;
  const CRun check = RunTool({"check", "--json", odd.string(), Sample("broken-truncated.bmp")});
  EXPECT_EQ(check.status, 1);
  const CRun results = JsonQuery(check.out, "[e[\"ok\"] for e in d], d[1][\"error\"][\"id\"], \"\\n\" in d[0][\"file\"]");
  EXPECT_EQ(results.out, "[True, False] ERR_IMAGE_INVALID_IMAGE_FILE True\n") << check.out;
  const CRun samples = RunTool({"info", "--json", BMP_SAMPLES_DIR "/rgb24.bmp", BMP_SAMPLES_DIR "/palette1-bw.bmp",
                                BMP_SAMPLES_DIR "/v5-bitfields32.bmp", BMP_SAMPLES_DIR "/broken-truncated.bmp"});
  for (const std::string& json : {samples.out, info.out, check.out}) EXPECT_EQ(JsonSchemaCheck(json).out, "") << json;
}

// Names that are not UTF-8 open, print as their bytes and come back from JSON
// through Python's surrogate escapes.
TEST(Tool, NamesThatAreNotUtf8OpenEverywhere) {
  for (const std::string name : {"caf\xE9", "broken \xE2\x82 utf8"}) {
    const fs::path bmp = ScratchPath(name + ".bmp");
    fs::copy_file(Sample("rgb24.bmp"), bmp, fs::copy_options::overwrite_existing);
    const CRun info = RunTool({"info", bmp.string()});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.rfind(bmp.string() + ":\n", 0), 0u) << info.out;
    const CRun check = RunTool({"check", "--json", bmp.string()});
    const CRun back = JsonQuery(check.out, "d[0][\"ok\"], __import__(\"os\").fsencode(d[0][\"file\"]).hex()");
    std::string hex;
    for (const unsigned char c : bmp.string()) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    EXPECT_EQ(back.out, "True " + hex + "\n") << check.out;
    const fs::path ppm = ScratchPath(name + ".ppm");
    EXPECT_EQ(RunTool({"convert", bmp.string(), ppm.string()}).status, 0) << name;
    EXPECT_EQ(RunTool({"convert", ppm.string(), ScratchPath(name + ".back.bmp").string()}).status, 0) << name;
  }
}

TEST(Tool, ParallelCheckReportsAsTheSerialOneDoes) {
  const fs::path folder = ScratchPath("check-folder");
  fs::create_directories(folder);
  const std::string good = Slurp(Sample("rgb24.bmp"));
  for (int i = 0; i < 24; ++i) {
    const std::size_t keep = i % 3 == 0 ? good.size() / 2 : good.size();  // every third file is cut short
    BmpTest::WriteFile(folder / ("f" + std::to_string(100 + i) + ".bmp"), std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(keep)));
  }
  for (const char* format : {"--quiet", "--json"}) {
    const CRun serial = RunTool({"check", format, "-j", "1", folder.string()});
    const CRun parallel = RunTool({"check", format, "-j", "2", folder.string()});
    EXPECT_EQ(serial.status, 1);
    EXPECT_EQ(parallel.status, serial.status);
    EXPECT_EQ(parallel.out, serial.out);
    EXPECT_EQ(parallel.err, serial.err);
  }
  EXPECT_EQ(RunTool({"check", "-j", "0", folder.string()}).status, 2);
}

TEST(Tool, ProgressIsDrawnOnlyOnATerminal) {
  // The child's stderr is a new pseudo-terminal, which some machines (a root
  // without /dev/pts, a sandbox) cannot open.
  int terminal = -1;
  winsize narrow{};
  narrow.ws_row = 24;
  narrow.ws_col = 30;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &narrow);
  if (pid < 0) GTEST_SKIP() << "no pseudo-terminal can be opened: " << std::strerror(errno);
  if (pid == 0) ToolTest::ExecTool({"check", "-q", BMP_SAMPLES_DIR});
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
  const CRun redirected = RunTool({"check", "-q", BMP_SAMPLES_DIR});
  EXPECT_EQ(redirected.err.find("MB/s"), std::string::npos) << redirected.err;
  EXPECT_EQ(RunTool({"check", kRgb}).out, "1 file checked, 0 broken or refused\n");
}

TEST(Tool, ShowDrawsTheStoredPreview) {
  const CRun run = RunTool({"show", "--width", "12", Sample("palette4.bmp")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Slurp(std::string(BMP_TOOL_TESTS_DIR) + "/expected/show-palette4-12.txt"));
  EXPECT_EQ(RunTool({"show", "--width", "0", Sample("palette4.bmp")}).status, 2);
  EXPECT_EQ(RunTool({"show", Sample("broken-truncated.bmp")}).status, 1);
}

TEST(Tool, ManualPageNamesEveryCommandAndOptionOfTheHelp) {
  std::string manual = Slurp(BMPTOOL_MANUAL);
  for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.erase(at, 1);  // roff's hyphens
  // Options: a hyphen after a space or [ | ( and the letters and hyphens that follow.
  const auto options = [](const std::string& help) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i + 1 < help.size(); ++i) {
      const bool starts = help[i] == '-' && (i == 0 || std::string(" \n[|(").find(help[i - 1]) != std::string::npos);
      if (!starts) continue;
      std::size_t end = i + 1;
      while (end < help.size() && (std::islower(static_cast<unsigned char>(help[end])) || help[end] == '-')) ++end;
      if (end > i + 1 && help[end - 1] != '-') found.push_back(help.substr(i, end - i));
      i = end;
    }
    return found;
  };
  for (const char* command : {"info", "convert", "check", "show"}) {
    EXPECT_NE(manual.find(std::string(".B bmptool ") + command), std::string::npos) << command;
    const std::string help = RunTool({command, "--help"}).out + RunTool({"--help"}).out;
    for (const std::string& option : options(help)) {
      EXPECT_NE(manual.find(option), std::string::npos) << command << ": " << option;
    }
  }
}

}  // namespace
