// The tool used as people use it, mistakes included, and in a shared folder
// where others may plant links: refusals by name with the right status,
// nothing written but OUT, bounded memory, and clean-up when interrupted.
// Hostile files get the right error (or lenient decoding for run-length
// data) in bounded peak memory measured in the child.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Support/BmpBuilder.h"
#include "ToolLaunch.h"

namespace {

namespace fs = std::filesystem;

// AddressSanitizer's shadow memory and its quarantine of freed blocks (up to
// 256 MiB) dwarf the bounds below, so under it only the outcomes are checked.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPeaksAreMeasured = false;
#else
constexpr bool kPeaksAreMeasured = true;
#endif
using ToolTest::CRun;
using ToolTest::RunTool;
using ToolTest::Slurp;
using Bytes = std::vector<std::uint8_t>;

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = BmpTest::ScratchPath("use-" + name);
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

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ToolUse, UnreadableSubfolderIsCountedAndTheWalkGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  const fs::path folder = FreshFolder("walk");
  fs::copy_file(std::string(BMP_SAMPLES_DIR) + "/rgb24.bmp", folder / "good.bmp");
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
  const std::string sample = std::string(BMP_SAMPLES_DIR) + "/rgb24.bmp";
  BmpTest::WriteFile(folder / "victim", Text("keep"));
  for (const std::string& kind : kinds) {
    const std::string out = "o." + kind;
    for (const char* suffix : {".part", ".tmp", "~"}) fs::create_symlink("victim", folder / (out + suffix));
    EXPECT_EQ(RunTool({"convert", sample, (folder / out).string()}).status, 0) << out;
  }
  EXPECT_EQ(Slurp(folder / "victim"), "keep");
  BmpTest::WriteFile(folder / "target.ppm", Text("old"));
  fs::create_symlink("target.ppm", folder / "link.ppm");
  EXPECT_EQ(RunTool({"convert", sample, (folder / "link.ppm").string()}).status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "link.ppm"));
  EXPECT_EQ(Slurp(folder / "target.ppm").substr(0, 2), "P6");
  const std::string longest = std::string(255 - 4, 'n') + ".bmp";
  EXPECT_EQ(RunTool({"convert", sample, (folder / longest).string()}).status, 0);
  EXPECT_EQ(RunTool({"convert", (folder / longest).string(), (folder / longest).string()}).status, 0);  // onto itself
  EXPECT_EQ(Slurp(folder / longest), Slurp(folder / "o.bmp"));
  for (const std::string& kind : kinds) {
    const std::string out = "full." + kind;
    fs::create_symlink("/dev/full", folder / out);
    const CRun full = RunTool({"convert", sample, (folder / out).string()});
    EXPECT_EQ(full.status, 1) << out;
    EXPECT_NE(full.err.find(out + ": cannot be written"), std::string::npos) << full.err;
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
  }
  for (const std::string& name : Names(folder)) EXPECT_EQ(name.find("bmptool"), std::string::npos) << name;
}

TEST(ToolUse, InterruptedConvertLeavesNothingBehind) {
  if (!BMPTOOL_HAS_PNG) GTEST_SKIP() << "bmptool is built without PNG support, the one writer slow enough to interrupt";
  const fs::path folder = FreshFolder("interrupt");
  BmpTest::BmpBuilder builder;  // 108 MB: long enough to be interrupted while writing
  builder.SetPixels({6000, 6000, 24, std::vector<std::uint32_t>(6000 * 6000, 0x123456)});
  BmpTest::WriteFile(folder / "big.bmp", builder.Build());
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const CRun child =
        ToolTest::Run(ToolTest::ToolCommand({"convert", (folder / "big.bmp").string(), (folder / "big.png").string()}), "",
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
  const long baselineKiB = RunTool({"info", std::string(BMP_SAMPLES_DIR) + "/rgb24.bmp"}).peakKiB;
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
  EXPECT_EQ(Slurp(folder / "wide.bmp").at(BmpTest::kOffBiBitCount), 8);  // 8-bit gray
  const std::string gray = Slurp(folder / "wide.pgm");
  const std::size_t start = gray.size() - 2 * 70000;
  for (const std::size_t x : {0, 9, 65535, 65546}) EXPECT_EQ(gray[start + x], '\xFF') << x;
  for (const std::size_t x : {65536, 65545}) EXPECT_EQ(gray[start + x], '\0') << x;
}

BmpTest::BmpBuilder Rgb(int w, int h) {
  BmpTest::BmpBuilder b;
  b.SetPixels({w, h, 24, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), 0x336699)});
  return b;
}

Bytes Patched(Bytes bytes, std::size_t at, std::uint32_t value) {
  BmpTest::Patch32(bytes, at, value);
  return bytes;
}

// Pages that a tiny stream declares huge come with a gray or a colour palette.
enum class TPalette { Black, Gray, Color };

Bytes Rle(int w, int h, int bits, const BmpTest::RleStream& stream, TPalette kind = TPalette::Black) {
  std::vector<BmpTest::Rgbq> palette(bits == 4 ? 16 : 256);
  for (std::size_t i = 0; kind != TPalette::Black && i < palette.size(); ++i) {
    palette[i] = {std::uint8_t(i), std::uint8_t(kind == TPalette::Gray ? i : 255 - i), std::uint8_t(i), 0};
  }
  BmpTest::BmpBuilder b;
  b.SetRle(w, h, bits, stream.Bytes()).SetPalette(palette);
  return b.Build();
}

Bytes Masks(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  BmpTest::BmpBuilder builder;
  builder.SetPixels({8, 8, 16, std::vector<std::uint32_t>(64, 0xABCD)}).SetCompression(BmpTest::kBiBitfields).SetMasks(r, g, b);
  return builder.Build();
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

const std::vector<CHostile>& Cases() {
  static const std::vector<CHostile> cases = {
      {"Jpeg", [] { return Text("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01"); }, kNotAnImage, true},
      {"Random", [] { return Text("\x9d\x13\xe7\x42\x88\x01\xfe\x5a\x33\xc4\x70\x0b\x91\x2f"); }, kNotAnImage, true},
      {"Empty", [] { return Bytes{}; }, kNotAnImage, true},
      {"OneByte", [] { return Text("B"); }, kNotAnImage, true},
      {"PlainPbm", [] { return Text("P1\n2 2\n0 1 1 0\n"); }, "not a binary PNM", true},
      {"Pam", [] { return Text("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\0\0\0\0"); },
       "not a binary PNM", true},
      {"DibWithoutFileHeader", [] { return Rgb(2, 2).BuildDib(); },
       "not a BMP, PNG or PNM file (it starts like a DIB header: try --dib)", true},
      {"CutInPixels", [] { const Bytes whole = Rgb(64, 64).Build(); return Bytes(whole.begin(), whole.begin() + 5000); }, kInvalid},
      {"ZeroWidth", [] { return Patched(Rgb(4, 4).Build(), kOffBiWidth, 0); }, kInvalid},
      {"HugeDimensionsTinyFile", [] { return Patched(Patched(Rgb(4, 4).Build(), kOffBiWidth, 32512), kOffBiHeight, 32512); }, kInvalid},
      {"HugeClrUsedFullPalette",
       [] {
         BmpTest::BmpBuilder b;
         b.SetPixels({4, 4, 8, std::vector<std::uint32_t>(16, 7)}).SetPalette(std::vector<BmpTest::Rgbq>(256));
         return Patched(b.Build(), BmpTest::kOffBiClrUsed, 0xFFFFFFFFu);
       },
       ""},
      {"HugeBiSizeWithoutTables", [] { return Patched(Rgb(4, 4).Build(), kOffBiSize, 0xFFFFFFF0u); }, ""},
      {"HeaderSizeThirteen", [] { return Patched(Rgb(4, 4).Build(), kOffBiSize, 13); }, kUnsupported},
      {"ZeroMasks", [] { return Masks(0, 0, 0); }, ""},
      {"OverlappingMasks", [] { return Masks(0xFF00, 0x0FF0, 0x00FF); }, ""},
      {"NonContiguousMasks", [] { return Masks(0xA000, 0x0505, 0x0050); }, ""},
      {"AllOnesMask", [] { return Masks(0xFFFFFFFF, 0x07E0, 0x001F); }, ""},
      {"BitCountSixtyFour", [] { return Patched(Rgb(4, 4).Build(), kOffBiBitCount, 64); }, kUnsupported},
      {"BitFieldsOf24", [] { return Patched(Rgb(4, 4).Build(), kOffBiCompression, 3); }, kUnsupported},
      {"PngCompression", [] { return Patched(Rgb(4, 4).Build(), kOffBiCompression, 5); }, kUnsupported},
      {"CompressionSeven", [] { return Patched(Rgb(4, 4).Build(), kOffBiCompression, 7); }, kUnsupported},
      {"RleRunsOverrunRows", [] { return Rle(5, 3, 8, RleStream().EncodedRun(255, 1).EncodedRun(255, 2).EndOfLine()); }, ""},
      {"RleDeltaPastTheImage", [] { return Rle(5, 3, 4, RleStream().Delta(255, 255).EncodedRun(9, 0x12)); }, ""},
      {"RleAbsoluteRunPastTheData", [] { return Rle(9, 2, 8, RleStream().Raw({0, 200, 1, 2, 3})); }, ""},
      {"RleGrayPageFromATinyStream", [] { return Rle(32512, 8192, 8, RleStream().EndOfBitmap(), TPalette::Gray); }, ""},
      {"RleColorPageFromATinyStream",
       [] { return Rle(32512, 8192, 8, RleStream().EncodedRun(255, 1).EndOfBitmap(), TPalette::Color); }, ""},
      {"Rle4PageFromATinyStream", [] { return Rle(32512, 8192, 4, RleStream().EndOfLine().EndOfBitmap(), TPalette::Color); }, ""},
  };
  return cases;
}

class HostileFile : public testing::TestWithParam<CHostile> {};

// Whatever the name says, the content decides the reader; a refusal leaves
// no file behind.
TEST_P(HostileFile, IsRefusedByNameInBoundedMemory) {
  static const long baselineKiB = RunTool({"check", "-q", std::string(BMP_SAMPLES_DIR) + "/rgb24.bmp"}).peakKiB;
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
  if (*c.message) {
    EXPECT_EQ(Names(folder), std::vector<std::string>{"input.bmp"});
  }
}

INSTANTIATE_TEST_SUITE_P(Tool, HostileFile, testing::ValuesIn(Cases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
