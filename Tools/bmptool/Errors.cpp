#include "Errors.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace BmpTool {
namespace {

CJsonObject MessageJson(const std::string& message) { return CJsonObject().Add("message", message); }

}  // namespace

std::string WithSystemReason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

CFailure CurrentFailure() {
  try {
    throw;
  } catch (Kes::CException* error) {
    CFailure failure{std::string(error->ErrorId()) + ": " + error->Message().ToUtf8(), ErrorJson(*error),
                     ExitCodeOf(*error)};
    error->Delete();
    return failure;
  } catch (const CFileProblem& problem) {
    return {problem.message, MessageJson(problem.message), ExitRefused};
  } catch (const std::bad_alloc&) {
    return {"not enough memory", MessageJson("not enough memory"), ExitRefused};
  } catch (const std::filesystem::filesystem_error& error) {
    const std::string text = WithSystemReason("cannot be read", error.code().value());
    return {text, MessageJson(text), ExitRefused};
  } catch (const std::exception& error) {
    const std::string text = std::string("internal error: ") + error.what();
    return {text, MessageJson(text), ExitInternal};
  } catch (...) {
    return {"internal error", MessageJson("internal error"), ExitInternal};
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
