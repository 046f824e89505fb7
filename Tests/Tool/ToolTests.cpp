#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Support/BmpBuilder.h"

namespace {

namespace fs = std::filesystem;

struct CRun {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the tool with the arguments; stdout and stderr are captured through files.
CRun RunTool(const std::vector<std::string>& args) {
  const fs::path outPath = BmpTest::ScratchPath("tool-stdout.txt");
  const fs::path errPath = BmpTest::ScratchPath("tool-stderr.txt");
  std::string command = std::string("'") + BMPTOOL_PATH + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >'" + outPath.string() + "' 2>'" + errPath.string() + "'";
  const int raw = std::system(command.c_str());
  CRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

std::string Sample(const std::string& name) { return std::string(BMP_SAMPLES_DIR) + "/" + name; }

fs::path Scratch(const std::string& leaf) {
  return BmpTest::ScratchPath(leaf);
}

void Put(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

TEST(Tool, HelpAndVersionSucceed) {
  EXPECT_EQ(RunTool({"--help"}).status, 0);
  for (const char* command : {"info", "convert", "check"}) {
    const CRun help = RunTool({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find(std::string("usage: bmptool ") + command), std::string::npos);
  }
  const CRun version = RunTool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("bmptool ", 0), 0u);
}

TEST(Tool, WrongUsageExitsWithTwo) {
  EXPECT_EQ(RunTool({}).status, 2);
  EXPECT_EQ(RunTool({"frobnicate"}).status, 2);
  EXPECT_EQ(RunTool({"info"}).status, 2);
  EXPECT_EQ(RunTool({"convert", Sample("rgb24.bmp")}).status, 2);
  EXPECT_EQ(RunTool({"convert", "--as", "sepia", Sample("rgb24.bmp"), Scratch("x.bmp").string()}).status, 2);
  EXPECT_EQ(RunTool({"convert", Sample("rgb24.bmp"), Scratch("x.gif").string()}).status, 2);
}

TEST(Tool, InfoDescribesTheHeader) {
  const CRun run = RunTool({"info", Sample("palette8-gray.bmp"), Sample("rgb24-topdown.bmp")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("pixel format: Palette8 (3)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("opens as:     gray"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("row order:    top-down"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("resolution:   96 x 96 dpi"), std::string::npos) << run.out;
}

TEST(Tool, InfoOnABrokenHeaderNamesTheErrorAndExitsWithOne) {
  const std::string whole = Slurp(Sample("rgb24.bmp"));
  const fs::path cut = Scratch("cut-header.bmp");
  Put(cut, std::vector<std::uint8_t>(whole.begin(), whole.begin() + 30));
  const CRun run = RunTool({"info", Sample("rgb24.bmp"), cut.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("size:         48 x 32"), std::string::npos) << run.out;  // the good file is still described
  EXPECT_NE(run.err.find("cut-header.bmp: ERR_IMAGE_INVALID_IMAGE_FILE: "), std::string::npos) << run.err;
}

TEST(Tool, CheckFindsTheBrokenSampleAndOnlyIt) {
  const CRun run = RunTool({"check", "-q", BMP_SAMPLES_DIR});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("broken-truncated.bmp"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST(Tool, ConvertsBmpToPnmAndBackWithoutLoss) {
  for (const char* name : {"rgb24.bmp", "palette8-gray.bmp", "palette1-bw.bmp"}) {
    const fs::path pnm = Scratch(std::string(name) + ".pnm");
    const fs::path back = Scratch(std::string(name) + ".back.bmp");
    const fs::path again = Scratch(std::string(name) + ".again.pnm");
    ASSERT_EQ(RunTool({"convert", Sample(name), pnm.string()}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", pnm.string(), back.string()}).status, 0) << name;
    ASSERT_EQ(RunTool({"convert", back.string(), again.string()}).status, 0) << name;
    EXPECT_EQ(Slurp(pnm), Slurp(again)) << name;
  }
}

TEST(Tool, PnmOutputsFollowTheirExtension) {
  const fs::path pbm = Scratch("gray.pbm");
  ASSERT_EQ(RunTool({"convert", Sample("palette8-gray.bmp"), pbm.string()}).status, 0);
  EXPECT_EQ(Slurp(pbm).rfind("P4\n", 0), 0u);
  const fs::path pgm = Scratch("bw.pgm");
  ASSERT_EQ(RunTool({"convert", Sample("palette1-bw.bmp"), pgm.string()}).status, 0);
  EXPECT_EQ(Slurp(pgm).rfind("P5\n", 0), 0u);
}

TEST(Tool, ConvertAsChangesTheKindOfTheWrittenBmp) {
  const fs::path out = Scratch("as-bw.bmp");
  ASSERT_EQ(RunTool({"convert", "--as", "bw", Sample("rgb24.bmp"), out.string()}).status, 0);
  const CRun info = RunTool({"info", out.string()});
  EXPECT_NE(info.out.find("bits/pixel:   1"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("opens as:     black-and-white"), std::string::npos) << info.out;
}

TEST(Tool, AFailedConvertLeavesNoOutput) {
  const fs::path out = Scratch("never.bmp");
  fs::remove(out);
  const CRun run = RunTool({"convert", Sample("broken-truncated.bmp"), out.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(out.string() + ".part"));
}

TEST(Tool, ConvertsAPackedDib) {
  BmpTest::BmpBuilder builder;
  const BmpTest::Pixels pixels{3, 2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF, 0x808080}};
  builder.SetPixels(pixels);
  const fs::path dib = Scratch("small.dib");
  Put(dib, builder.BuildDib());
  const fs::path ppm = Scratch("small-from-dib.ppm");
  const CRun run = RunTool({"convert", "--dib", dib.string(), ppm.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string expected = std::string("P6\n3 2\n255\n") +
                               std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\x80\x80\x80", 18);
  EXPECT_EQ(Slurp(ppm), expected);
}

TEST(Tool, ATruncatedDibIsRefusedCleanly) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels({64, 64, 8, std::vector<std::uint32_t>(64 * 64, 1)}).SetPalette(std::vector<BmpTest::Rgbq>(256));
  std::vector<std::uint8_t> dib = builder.BuildDib();
  dib.resize(dib.size() / 2);
  const fs::path path = Scratch("truncated.dib");
  Put(path, dib);
  const CRun run = RunTool({"convert", "--dib", path.string(), Scratch("truncated.ppm").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the DIB declares"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Scratch("truncated.ppm")));
}

TEST(Tool, InfoOnAHugeRunLengthFileIsInstant) {
  BmpTest::BmpBuilder builder;
  builder.SetRle(32512, 32512, 8, BmpTest::RleStream().EndOfBitmap().Bytes()).SetPalette({{0, 0, 0, 0}, {9, 9, 9, 0}}).SetClrUsed(2);
  const fs::path path = Scratch("huge-rle8.bmp");
  Put(path, builder.Build());
  const auto start = std::chrono::steady_clock::now();
  const CRun run = RunTool({"info", path.string()});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("size:         32512 x 32512"), std::string::npos) << run.out;
  EXPECT_LT(elapsed, std::chrono::seconds(1));
}

}  // namespace
