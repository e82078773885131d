// Helpers for the tool-folder tests: run a role the way Parvela's runner does (the command line
// split by the Microsoft C runtime rules), make media with ffmpeg, look at it with ffprobe.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fsutil/fsutil.h"
#include "process/process.h"
#include "test_support.h"

extern char** environ;

namespace parvela::testing::toolkit {

inline std::string AppTool(const std::string& relative) { return std::string(PARVELA_APP_DIR) + "/" + relative; }

struct Ran {
  int code = -1;
  std::string out, err;
};

inline Ran Spawn(std::vector<std::string> argv) {
  Ran ran;
  TempDir capture;
  std::string outPath = capture / "out", errPath = capture / "err";
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int err = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) return ran;
  int status = 0;
  waitpid(pid, &status, 0);
  ran.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ran.out = ReadFile(outPath);
  ran.err = ReadFile(errPath);
  return ran;
}

// A composed command line, as Parvela hands it to its runner.
inline Ran RunLine(const std::string& commandLine) { return Spawn(SplitCommandLine(commandLine)); }

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The lines a role wrote about itself (tools it runs may add their own chatter).
inline std::vector<std::string> RoleLines(const Ran& ran, const std::string& role) {
  std::vector<std::string> mine;
  for (const auto& line : Lines(ran.err)) {
    if (line.rfind(role + ": ", 0) == 0) mine.push_back(line);
  }
  return mine;
}

// Runs ffmpeg quietly to make a test input; false (with its message) when it failed.
inline ::testing::AssertionResult Ffmpeg(std::vector<std::string> args) {
  args.insert(args.begin(), {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"});
  Ran ran = Spawn(args);
  if (ran.code == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "ffmpeg failed: " << ran.err;
}

// The entries asked for, in the order asked, comma-joined: one line per selected stream.
inline std::string Probe(const std::string& file, const std::string& entries, const std::string& streams = "") {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  if (!streams.empty()) argv.insert(argv.end(), {"-select_streams", streams});
  argv.insert(argv.end(), {"-show_entries", "stream=" + entries, "-of", "compact=p=0", file});
  std::vector<std::string> keys;
  std::istringstream wanted(entries);
  for (std::string key; std::getline(wanted, key, ',');) keys.push_back(key);
  std::string result;
  for (const auto& line : Lines(Spawn(argv).out)) {
    if (line.empty()) continue;
    std::string row;
    for (const auto& key : keys) {
      // In "a=1|b=2", the key starts where "|key=" starts in "|a=1|b=2".
      size_t at = ("|" + line).find("|" + key + "=");
      std::string value = "?";
      if (at != std::string::npos) {
        size_t start = at + key.size() + 1, end = line.find('|', start);
        value = line.substr(start, end == std::string::npos ? end : end - start);
      }
      row += (row.empty() ? "" : ",") + value;
    }
    result += (result.empty() ? "" : "\n") + row;
  }
  return result;
}

inline double ProbeDuration(const std::string& file) {
  std::string text = Spawn({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file}).out;
  return text.empty() ? -1 : std::stod(text);
}

inline std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A one-second H.264 + AC-3 5.1 source. `inputs` follow the picture and the tone; `options`
// (maps, codecs, languages) stand before the output.
inline ::testing::AssertionResult MakeSource(const std::string& path, const std::string& size, const std::string& rate,
                                              std::vector<std::string> inputs = {},
                                              std::vector<std::string> options = {}) {
  std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=" + rate,
                                   "-f", "lavfi", "-i", "sine=sample_rate=48000"};
  args.insert(args.end(), inputs.begin(), inputs.end());
  for (const char* a : {"-t", "1", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "ac3", "-ac", "6"}) {
    args.push_back(a);
  }
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {"-fflags", "+bitexact", path});
  return Ffmpeg(args);
}

}  // namespace parvela::testing::toolkit
