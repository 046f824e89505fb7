#pragma once
// How the tests start bmptool: directly, or through the emulator of a cross
// build (BMPTOOL_LAUNCHER, words separated by spaces).
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace ToolTest {

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

}  // namespace ToolTest
