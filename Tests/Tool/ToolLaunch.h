#pragma once
// How the tests start bmptool (directly, or through the emulator of a cross
// build: BMPTOOL_LAUNCHER, words separated by spaces) and its helpers.
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

#include "Support/BmpBuilder.h"

namespace ToolTest {

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> ToolCommand(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  std::istringstream launcher(BMPTOOL_LAUNCHER);
  for (std::string word; launcher >> word;) words.push_back(word);
  words.push_back(BMPTOOL_PATH);
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// Replaces the calling (child) process with the program the words name.
[[noreturn]] inline void Exec(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

struct CRun {
  int status = -1;  // the exit status, or 128 + the signal that ended the child
  long peakKiB = 0;
  std::string out, err;
};

// Runs the words as a child with stdout and stderr captured through files;
// whileRunning (if any) gets the child's id before it is waited for. With
// pipedIn, standard input and output are pipes, as in "cat pipedIn | WORDS | cat".
inline CRun Run(std::vector<std::string> words, const std::string& pipedIn = "",
                const std::function<void(pid_t)>& whileRunning = {}) {
  if (!pipedIn.empty()) {
    words.insert(words.begin(), {"/bin/bash", "-c", "cat \"$0\" | \"$@\" | cat; exit ${PIPESTATUS[1]}", pipedIn});
  }
  const std::string outPath = BmpTest::ScratchPath("run-stdout.txt").string();
  const std::string errPath = BmpTest::ScratchPath("run-stderr.txt").string();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    Exec(words);
  }
  if (whileRunning) whileRunning(pid);
  CRun run;
  int raw = 0;
  rusage usage{};
  wait4(pid, &raw, 0, &usage);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.peakKiB = usage.ru_maxrss;
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

inline CRun RunTool(const std::vector<std::string>& args, const std::string& pipedIn = "") {
  return Run(ToolCommand(args), pipedIn);
}

}  // namespace ToolTest
