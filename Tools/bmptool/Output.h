#pragma once
// OUT written so that nothing but OUT is touched: the bytes go to a file
// created exclusively under an unpredictable name beside OUT's target, which
// is renamed over the target only when everything is written. A failure, or
// SIGINT, SIGTERM or SIGHUP, removes it. A device or pipe is written in place.
#include <cstdio>
#include <string>

#include "Input.h"

namespace BmpTool {

class COutputFile {
public:
  // Failures are CFileProblem with the system's reason.
  explicit COutputFile(const std::string& out);
  ~COutputFile();
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;

  // The stream that PNG and PNM writers use.
  std::FILE* Stream();
  bool IsStandardOutput() const { return m_target == kStandardStream; }
  // A name under which the module opens this very file, whatever happens to
  // the temporary name meanwhile; empty for standard output.
  const std::string& NameForModule() const { return m_nameForModule; }
  // Checks that every byte was written, then puts the file in OUT's place.
  void Commit();

private:
  void Discard() noexcept;

  std::string m_target;     // OUT, or the file OUT links to
  std::string m_temporary;  // empty when the target is written in place
  std::string m_nameForModule;
  int m_fd = -1;
  std::FILE* m_stream = nullptr;
};

}  // namespace BmpTool
