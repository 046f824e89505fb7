#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace BmpTool {

enum TExitCode : int { ExitOk = 0, ExitRefused = 1, ExitUsage = 2, ExitInternal = 3 };

// What the command line asked for, as main's option parser fills it in.
struct CInfoOptions {
  bool json = false;
  bool dib = false;
  std::uint64_t budget = 0;
  std::vector<std::string> files;
};

struct CConvertOptions {
  std::string as;  // empty, "bw", "gray" or "rgb"
  bool dib = false;
  bool dither = false;
  std::string to;  // empty (by OUT's extension) or an output format name
  std::uint64_t budget = 0;
  std::string in, out;
};

struct CCheckOptions {
  bool quiet = false;
  bool json = false;
  unsigned jobs = 1;
  std::uint64_t budget = 0;
  std::vector<std::string> paths;
};

constexpr int kMaxPreviewColumns = 10000;

struct CShowOptions {
  int width = 0;  // 0: the terminal's
  std::string file;
};

int RunInfo(const CInfoOptions& options);
int RunConvert(const CConvertOptions& options);
int RunCheck(const CCheckOptions& options);
int RunShow(const CShowOptions& options);

// A path's extension in lower case, with its dot (".bmp"); empty if it has none.
std::string LowerExtension(const std::string& path);

// Wrong usage: the message goes to stderr with a hint, and the tool exits with ExitUsage.
struct CUsageError {
  std::string message;
};

// A file that cannot be used (missing, unreadable, not a format the tool
// reads, too large for the memory budget): the caller reports it with the
// name the user gave, exit status ExitRefused.
struct CFileProblem {
  std::string message;
};

}  // namespace BmpTool
