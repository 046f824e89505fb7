#include "Errors.h"

#include <cstdio>

namespace BmpTool {

TExitCode ReportError(const std::string& file, Kes::CException* error) {
  const TExitCode code = ExitCodeOf(*error);
  std::fprintf(stderr, "bmptool: %s: %s: %s\n", file.c_str(), error->ErrorId(), error->Message().ToUtf8().c_str());
  error->Delete();
  return code;
}

void ReportProblem(const std::string& file, const std::string& message) {
  std::fprintf(stderr, "bmptool: %s: %s\n", file.c_str(), message.c_str());
}

}  // namespace BmpTool
