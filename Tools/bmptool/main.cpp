// bmptool: describes, checks, converts and previews BMP files through the BMP module,
// loaded exactly as a host loads it.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "Errors.h"

namespace {

constexpr const char* kVersion = "bmptool " BMPTOOL_VERSION;

constexpr const char* kUsage =
    "usage: bmptool COMMAND [OPTIONS] ARGS\n"
    "\n"
    "commands:\n"
    "  info [--json] FILE...                 describe BMP files without decoding their pixels\n"
    "  convert [--as bw|gray|rgb] [--dib] IN OUT\n"
    "                                        convert between BMP, PNG and binary PNM (P4/P5/P6)\n"
    "  check [-q] [--json] [-j N] PATH...    decode every row of BMP files (directories walked)\n"
    "  show [--width N] FILE                 preview a BMP file in a 24-bit colour terminal\n"
    "\n"
    "options:\n"
    "  --help                                this text, or a command's with COMMAND --help\n"
    "  --version                             the tool's version\n"
    "\n"
    "  --max-memory SIZE                     (convert, check) the most a PNG or PNM input may\n"
    "                                        take decoded: bytes or K, M, G; default 1G or half\n"
    "                                        the machine's memory, whichever is smaller\n"
    "\n"
    "exit status: 0 success, 1 a file was refused, broken, unreadable or unwritable (or too\n"
    "large for the memory budget), 2 wrong usage, 3 internal error\n"
    "The BMP module is looked for in $BMPTOOL_MODULE_DIR, then in ../lib/kestrel/modules\n"
    "beside the tool, then in the build tree.\n";

constexpr const char* kInfoUsage =
    "usage: bmptool info [--json] FILE...\n"
    "Prints each file's size, row order, bits per pixel, compression, pixel format,\n"
    "palette, masks, resolution and the kind of image it opens as. Pixels are not decoded.\n"
    "--json prints one JSON array: an object per file, or {\"file\", \"error\"} for a file\n"
    "that cannot be read, the error with its \"id\", \"parameters\" and \"message\".\n";

constexpr const char* kConvertUsage =
    "usage: bmptool convert [--as bw|gray|rgb] [--dib] [--max-memory SIZE] IN OUT\n"
    "IN is a BMP file, a PNG or a binary PNM (P4, P5, P6), told apart by content; with --dib,\n"
    "a packed DIB (no file header). A BMP is read row by row; a PNG or PNM is decoded whole,\n"
    "and refused when it would take more than --max-memory (default: 1G or half the machine's\n"
    "memory, whichever is smaller). Black-and-white images wider than 32767 become gray.\n"
    "A 1-bit gray PNG becomes black-and-white, other gray PNGs gray, the rest RGB;\n"
    "16-bit samples are reduced to 8 and an alpha channel is dropped with a warning.\n"
    "OUT by extension: .bmp or .dib (1-bit, 8-bit gray or 24-bit, by the image's kind),\n"
    ".png (1-bit gray, 8-bit gray or RGB, by kind, resolution in pHYs), .ppm (P6), .pgm (P5),\n"
    ".pbm (P4), .pnm (by the image's kind). --as converts the kind first.\n"
    "OUT is written to a new file beside it and renamed into place: a failure or an\n"
    "interruption leaves OUT as it was. When OUT is a symbolic link, its target is replaced.\n";

constexpr const char* kCheckUsage =
    "usage: bmptool check [-q] [--json] [-j N] [--max-memory SIZE] PATH...\n"
    "Decodes every row of each file (files ending .bmp, .dib or .rle in directories),\n"
    "prints one line per failing file and a summary (-q: failures only). -j N decodes N\n"
    "files at once (default: one per core); results keep the input order. A progress line\n"
    "is drawn on stderr when it is a terminal. A folder or file that cannot be read counts\n"
    "as a failure. PNG and PNM files given by name are decoded within --max-memory. --json prints one JSON array of\n"
    "{\"file\", \"ok\"} objects, with \"error\" for the files that failed.\n";

constexpr const char* kShowUsage =
    "usage: bmptool show [--width N] FILE\n"
    "Previews the image with 24-bit colour half-block characters, scaled down to the\n"
    "terminal's width (or N columns), reading only the rows the preview needs.\n";

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int Dispatch(const std::string& command, const std::vector<std::string>& args) {
  struct CCommand {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&);
  };
  static constexpr CCommand kCommands[] = {
      {"info", kInfoUsage, BmpTool::RunInfo},
      {"convert", kConvertUsage, BmpTool::RunConvert},
      {"check", kCheckUsage, BmpTool::RunCheck},
      {"show", kShowUsage, BmpTool::RunShow},
  };
  for (const CCommand& c : kCommands) {
    if (command != c.name) continue;
    if (WantsHelp(args)) {
      std::fputs(c.usage, stdout);
      return BmpTool::ExitOk;
    }
    return c.run(args);
  }
  throw BmpTool::CUsageError{"unknown command " + command};
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must surface as a failed write, not kill the tool.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return BmpTool::ExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return BmpTool::ExitOk;
  }
  if (args[0] == "--version") {
    std::puts(kVersion);
    return BmpTool::ExitOk;
  }
  try {
    return Dispatch(args[0], {args.begin() + 1, args.end()});
  } catch (const BmpTool::CUsageError& error) {
    std::fprintf(stderr, "bmptool: %s\n(see bmptool --help)\n", error.message.c_str());
    return BmpTool::ExitUsage;
  } catch (...) {
    // What no command handled, such as a module that cannot be loaded.
    return BmpTool::Report(args[0], BmpTool::CurrentFailure());
  }
}
