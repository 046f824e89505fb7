#pragma once
#include <string>
#include <vector>

namespace BmpTool {

enum TExitCode : int { ExitOk = 0, ExitRefused = 1, ExitUsage = 2, ExitInternal = 3 };

int RunInfo(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunShow(const std::vector<std::string>& args);

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
