// bmptool: describes, checks, converts and previews BMP files through the BMP module,
// loaded exactly as a host loads it. The command line is parsed by CLI11.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <thread>

#include "Commands.h"
#include "Errors.h"
#include "Input.h"

namespace {

using namespace BmpTool;

constexpr const char* kVersion = "bmptool " BMPTOOL_VERSION;
constexpr int kMaxJobs = 1024;

constexpr const char* kToolFooter =
    "Exit status: 0 success, 1 a file was refused, broken, unreadable or unwritable (or too\n"
    "large for the memory budget), 2 wrong usage, 3 internal error.\n"
    "The BMP module is looked for in $BMPTOOL_MODULE_DIR, then in ../lib/kestrel/modules\n"
    "beside the tool, then in the build tree. A FILE, IN or OUT of - is standard input or output.";

constexpr const char* kInfoFooter =
    "Prints each file's size, row order, bits per pixel, compression, pixel format,\n"
    "palette, masks (with the alpha mask when the header declares one), resolution and\n"
    "the kind of image it opens as. Pixels are not decoded. --dib describes packed DIBs\n"
    "(no file header) as the BMP files they would be. --json prints one JSON array:\n"
    "an object per file, or {\"file\", \"error\"} for a file that cannot be read; the keys\n"
    "are listed in the manual page.";

constexpr const char* kConvertFooter =
    "IN is a BMP file, a PNG or a binary PNM (P4, P5, P6), told apart by content; with --dib,\n"
    "a packed DIB (no file header). A BMP is read row by row; a PNG or PNM is decoded whole,\n"
    "and refused when it would take more than --max-memory. Black-and-white images wider\n"
    "than 32767 become gray. A 1-bit gray PNG becomes black-and-white, other gray PNGs gray,\n"
    "the rest RGB; 16-bit samples are reduced to 8. An alpha channel (a PNG's, or a BMP's\n"
    "alpha mask) is dropped with a warning.\n"
    "OUT by extension: .bmp or .dib (1-bit, 8-bit gray or 24-bit, by the\n"
    "image's kind), .png (1-bit gray, 8-bit gray or RGB, by kind, resolution in pHYs),\n"
    ".ppm (P6), .pgm (P5), .pbm (P4), .pnm (by the image's kind); --to names the format\n"
    "whatever OUT's name, and is needed for OUT of -. --as converts the kind\n"
    "first: bw sets a pixel black when its intensity is below half, or with --dither\n"
    "diffuses each pixel's error to its neighbours (Floyd-Steinberg, as ImageMagick and Pillow).\n"
    "OUT is written to a new file beside it and renamed into place: a failure or an\n"
    "interruption leaves OUT as it was. When OUT is a symbolic link, its target is replaced.\n"
    "IN of - is read whole into memory (within --max-memory) first; a BMP written to\n"
    "standard output is laid out in memory, within --max-memory, and then copied out.";

constexpr const char* kCheckFooter =
    "Decodes every row of each file (files ending .bmp, .dib or .rle in directories),\n"
    "prints one line per failing file and a summary (-q: failures only). Results keep the\n"
    "input order. A progress line, as wide as the terminal, is drawn on stderr when it is a\n"
    "terminal; it estimates the time left once a few seconds have given a rate. A folder or file\n"
    "that cannot be read counts as a failure. PNG and PNM files given by name are decoded\n"
    "within --max-memory. --json prints one JSON array of {\"file\", \"ok\"} objects, with\n"
    "\"error\" for the files that failed.";

constexpr const char* kShowFooter =
    "Previews the image with 24-bit colour half-block characters, scaled down to the\n"
    "terminal's width (or --width columns), reading only the rows the preview needs.";

// --max-memory SIZE, checked and turned into bytes while parsing.
CLI::Option* AddMemoryBudget(CLI::App& command, std::uint64_t& budget) {
  budget = DefaultMemoryBudget();
  const CLI::Validator size(
      [](std::string& text) {
        try {
          text = std::to_string(ParseMemorySize(text));
          return std::string();
        } catch (const CUsageError& error) {
          return error.message;
        }
      },
      "SIZE");
  return command
      .add_option("--max-memory", budget,
                  "the most a PNG, PNM, standard input or a BMP for standard output may take: bytes or "
                  "K, M, G; default 1G or half the machine's memory, whichever is smaller")
      ->transform(size);
}

struct COptions {
  CInfoOptions info;
  CConvertOptions convert;
  CCheckOptions check;
  CShowOptions show;
};

void Describe(CLI::App& app, COptions& o) {
  app.set_version_flag("--version", kVersion, "the tool's version");
  app.footer(kToolFooter);
  app.require_subcommand(1);

  CLI::App* info = app.add_subcommand("info", "describe BMP files without decoding their pixels");
  info->footer(kInfoFooter);
  info->add_flag("--json", o.info.json, "one JSON array for all files");
  info->add_flag("--dib", o.info.dib, "each FILE is a packed DIB (no file header)");
  AddMemoryBudget(*info, o.info.budget);
  info->add_option("FILE", o.info.files, "the files to describe")->required();

  CLI::App* convert = app.add_subcommand("convert", "convert between BMP, PNG and binary PNM (P4/P5/P6)");
  convert->footer(kConvertFooter);
  convert->add_option("--as", o.convert.as, "the kind to convert to")->check(CLI::IsMember({"bw", "gray", "rgb"}));
  convert->add_flag("--dither", o.convert.dither, "with --as bw: Floyd-Steinberg error diffusion");
  convert->add_flag("--dib", o.convert.dib, "IN is a packed DIB (no file header)");
  convert->add_option("--to", o.convert.to, "OUT's format, whatever its name (needed for OUT of -)")
      ->check(CLI::IsMember({"bmp", "png", "ppm", "pgm", "pbm", "pnm"}));
  AddMemoryBudget(*convert, o.convert.budget);
  convert->add_option("IN", o.convert.in, "the image to read, or - for standard input")->required();
  convert->add_option("OUT", o.convert.out, "the file to write, or - for standard output")->required();

  CLI::App* check = app.add_subcommand("check", "decode every row of BMP files (directories walked)");
  check->footer(kCheckFooter);
  check->add_flag("-q,--quiet", o.check.quiet, "print failures only");
  check->add_flag("--json", o.check.json, "one JSON array for all files");
  o.check.jobs = std::max(1u, std::thread::hardware_concurrency());
  check->add_option("-j,--jobs", o.check.jobs, "files decoded at once (default: one per core)")
      ->check(CLI::Range(1, kMaxJobs));
  AddMemoryBudget(*check, o.check.budget);
  check->add_option("PATH", o.check.paths, "files and folders to check")->required();

  CLI::App* show = app.add_subcommand("show", "preview a BMP file in a 24-bit colour terminal");
  show->footer(kShowFooter);
  show->add_option("--width", o.show.width, "columns (default: the terminal's)")->check(CLI::Range(1, kMaxPreviewColumns));
  show->add_option("FILE", o.show.file, "the file to preview")->required();
}

// Standard input is read once: a second - would find it empty.
void RequireStandardInputOnce(const std::vector<std::string>& names) {
  if (std::count(names.begin(), names.end(), kStandardStream) > 1) throw CUsageError{"- (standard input) can be given only once"};
}

int Run(const CLI::App& app, const COptions& o) {
  if (o.convert.dither && o.convert.as != "bw") throw CUsageError{"--dither goes with --as bw"};
  RequireStandardInputOnce(o.info.files);
  RequireStandardInputOnce(o.check.paths);
  if (app.got_subcommand("info")) return RunInfo(o.info);
  if (app.got_subcommand("convert")) return RunConvert(o.convert);
  if (app.got_subcommand("check")) return RunCheck(o.check);
  return RunShow(o.show);
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must surface as a failed write, not kill the tool.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app("describe, check, convert and preview BMP files", "bmptool");
  COptions options;
  try {
    Describe(app, options);
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version exit 0 through here; every wrong usage exits 2.
    const int shown = app.exit(error);
    return shown == 0 ? ExitOk : ExitUsage;
  }
  try {
    return Run(app, options);
  } catch (const CUsageError& error) {
    std::fprintf(stderr, "bmptool: %s\n(see bmptool --help)\n", error.message.c_str());
    return ExitUsage;
  } catch (...) {
    // What no command handled, such as a module that cannot be loaded.
    return Report("bmptool", CurrentFailure());
  }
}
