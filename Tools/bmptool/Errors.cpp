#include "Errors.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "Kes/ExceptionOwner.h"

namespace BmpTool {
namespace {

// The tool's own failures have no module error identifier.
CJson MessageJson(const std::string& message, TExitCode code) {
  return {{"message", message}, {"internal", code == ExitInternal}};
}

}  // namespace

CFailure Refusal(const std::string& text) { return {text, MessageJson(text, ExitRefused), ExitRefused}; }

std::string WithSystemReason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

CFailure CurrentFailure() {
  try {
    throw;
  } catch (Kes::CException* raised) {
    const Kes::CExceptionOwner error(raised);
    return {std::string(error->ErrorId()) + ": " + error->Message().ToUtf8(), ErrorJson(*error), ExitCodeOf(*error)};
  } catch (const CFileProblem& problem) {
    return Refusal(problem.message);
  } catch (const std::bad_alloc&) {
    return Refusal("not enough memory");
  } catch (const std::filesystem::filesystem_error& error) {
    return Refusal(WithSystemReason("cannot be read", error.code().value()));
  } catch (const std::exception& error) {
    const std::string text = std::string("internal error: ") + error.what();
    return {text, MessageJson(text, ExitInternal), ExitInternal};
  } catch (...) {
    return {"internal error", MessageJson("internal error", ExitInternal), ExitInternal};
  }
}

TExitCode Report(const std::string& name, const CFailure& failure) {
  ReportProblem(name, failure.text);
  return failure.code;
}

void ReportProblem(const std::string& name, const std::string& message) {
  std::fprintf(stderr, "bmptool: %s: %s\n", name.c_str(), message.c_str());
}

}  // namespace BmpTool
