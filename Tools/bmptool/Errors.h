#pragma once
// The tool's one error path: every failure, whatever was thrown, becomes
// "bmptool: NAME: what went wrong[: reason]" and an exit status.
#include <string>

#include "Commands.h"
#include "Json.h"
#include "Kes/Errors.h"

namespace BmpTool {

// ExitInternal for an internal error, ExitRefused for any other.
inline TExitCode ExitCodeOf(const Kes::CException& error) {
  return error.IsInternal() ? ExitInternal : ExitRefused;
}

// "what went wrong: strerror(code)".
std::string WithSystemReason(const std::string& what, int code);

// A failure as the user sees it: the text after "bmptool: NAME: ", the JSON
// form of the error and the exit status it calls for.
struct CFailure {
  std::string text;
  CJson json;
  TExitCode code = ExitRefused;
};

// A refusal the tool itself makes (exit status ExitRefused).
CFailure Refusal(const std::string& text);

// Classifies the exception being handled (call only inside a catch block):
// module errors, the tool's own problems, memory exhaustion, file-system and
// any other exception. Module errors are deleted.
CFailure CurrentFailure();

// Prints the failure of NAME and returns its exit status.
TExitCode Report(const std::string& name, const CFailure& failure);
// Prints "bmptool: NAME: message" (warnings and notes).
void ReportProblem(const std::string& name, const std::string& message);

}  // namespace BmpTool
