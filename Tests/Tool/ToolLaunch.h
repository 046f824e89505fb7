#pragma once
// How the tests start bmptool: directly, or through the emulator of a cross
// build (BMPTOOL_LAUNCHER, words separated by spaces).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace ToolTest {

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> ToolCommand() {
  std::vector<std::string> words;
  std::istringstream launcher(BMPTOOL_LAUNCHER);
  for (std::string word; launcher >> word;) words.push_back(word);
  words.push_back(BMPTOOL_PATH);
  return words;
}

// Replaces the calling (child) process with bmptool and the arguments.
[[noreturn]] inline void ExecTool(const std::vector<std::string>& args) {
  std::vector<std::string> words = ToolCommand();
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

struct CChild {
  int status = -1;  // the exit status, or 128 + the signal that ended the child
  long peakKiB = 0;
  std::string err;
};

// Runs bmptool as a child with stdout discarded and stderr captured in
// errPath; whileRunning (if any) gets the child's id before it is waited for.
inline CChild RunChild(const std::vector<std::string>& args, const std::filesystem::path& errPath,
                       const std::function<void(pid_t)>& whileRunning = {}) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(err, 2);
    dup2(null, 1);
    ExecTool(args);
  }
  if (whileRunning) whileRunning(pid);
  CChild child;
  int raw = 0;
  rusage usage{};
  wait4(pid, &raw, 0, &usage);
  child.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  child.peakKiB = usage.ru_maxrss;
  child.err = Slurp(errPath);
  return child;
}

}  // namespace ToolTest
