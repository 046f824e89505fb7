#pragma once
#include <string>

#include "Commands.h"
#include "Kes/Errors.h"

namespace BmpTool {

// ExitInternal for an internal error, ExitRefused for any other.
inline TExitCode ExitCodeOf(const Kes::CException& error) {
  return error.IsInternal() ? ExitInternal : ExitRefused;
}

// Prints "bmptool: FILE: ERR_ID: message" and deletes the error; returns the exit code it calls for.
TExitCode ReportError(const std::string& file, Kes::CException* error);
void ReportProblem(const std::string& file, const std::string& message);

}  // namespace BmpTool
