// Helpers for the tests that run parvela-cli through a shell: quoting, the exit status, a look at
// the output with ffprobe, and a folder's names.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace parvela::testing::cli {

inline int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Single quotes for the shell; the paths the tests make hold none.
inline std::string Q(const std::string& s) { return "'" + s + "'"; }

// ffprobe's CSV of the stream entries asked for, without the last line break.
inline std::string Probe(const std::string& file, const std::string& stream, const std::string& entries) {
  TempDir tmp;
  Shell("ffprobe -v error -select_streams " + stream + " -show_entries stream=" + entries + " -of csv=p=0 " + Q(file) +
        " > " + Q(tmp / "probe.txt"));
  std::string out = ReadFile(tmp / "probe.txt");
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace parvela::testing::cli
