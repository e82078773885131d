// avimux_gui: runs a muxer script. The script loads files, picks the video and audio stream from
// them, may cap the size of the output files, and ends with START and the output path:
//
//   LOAD <file>            numbered from 1 in the order loaded
//   ADD VIDEO <n>          the first video stream of file n
//   ADD AUDIO <n>          the first audio stream of file n
//   MAXFILESIZE <MB>|OFF   pieces of at most this many MiB (OFF: one file, no limit)
//   START <output.avi>
//
// Words are matched in any letter case; an empty line or one starting with '#' is skipped.
// The streams are copied, not re-encoded (ffmpeg does the muxing). Output beyond the size cap
// goes into pieces named <output>-1.avi, <output>-2.avi, ...
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "avimux_gui";
constexpr uint64_t kMiB = 1024 * 1024;

struct Script {
  std::vector<std::string> files;
  size_t video = 0, audio = 0;  // 1-based file numbers, 0 when not chosen
  uint64_t maxBytes = 0;        // 0: no limit
  std::string output;
};

std::string Rest(std::istringstream& words) {
  std::string rest;
  std::getline(words, rest);
  size_t first = rest.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : rest.substr(first);
}

bool ParseLine(const std::string& line, Script& s, std::string& error) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  command = ToLower(command);
  if (command.empty() || command[0] == '#') return true;
  if (command == "clear") {
    s = Script{};
  } else if (command == "load") {
    s.files.push_back(Rest(words));
  } else if (command == "add") {
    std::string kind;
    size_t number = 0;
    words >> kind >> number;
    kind = ToLower(kind);
    if ((kind != "video" && kind != "audio") || number == 0 || number > s.files.size()) {
      error = "ADD wants VIDEO or AUDIO and the number of a loaded file: " + line;
      return false;
    }
    (kind == "video" ? s.video : s.audio) = number;
  } else if (command == "maxfilesize") {
    std::string size = Rest(words);
    if (ToLower(size) == "off") {
      s.maxBytes = 0;
    } else {
      try {
        s.maxBytes = std::stoull(size) * kMiB;
      } catch (const std::exception&) {
        error = "MAXFILESIZE wants a number of MiB or OFF: " + line;
        return false;
      }
    }
  } else if (command == "start") {
    s.output = Rest(words);
  } else {
    error = "unknown command: " + line;
    return false;
  }
  return true;
}

bool ReadScript(const std::string& path, Script& s, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the script " + path;
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ParseLine(line, s, error)) return false;
  }
  if (s.output.empty()) error = "the script has no START line";
  return error.empty();
}

uint64_t SizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

double DurationOf(const std::string& path) {
  std::string text;
  RunProgramCapture(kRole, {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path},
                    text);
  try {
    return std::stod(text);
  } catch (const std::exception&) {
    return 0;
  }
}

std::string PieceName(const std::string& output, const std::string& number) {
  const std::string stem = EndsWithNoCase(output, ".avi") ? output.substr(0, output.size() - 4) : output;
  return stem + "-" + number + ".avi";
}

// Cuts at key frames after a share of the running time that keeps each piece below the cap;
// the byte count of a piece follows its share of the time closely enough with a tenth to spare.
Args PieceOptions(const Script& s, uint64_t totalBytes, double seconds) {
  const double share = static_cast<double>(s.maxBytes) / static_cast<double>(totalBytes) * 0.9;
  return {"-f", "segment", "-segment_format", "avi", "-segment_time", std::to_string(seconds * share),
          "-segment_start_number", "1", "-reset_timestamps", "1", PieceName(s.output, "%d")};
}

}  // namespace

int AvimuxMain(const Args& args) {
  if (args.size() != 1) return Fail(kRole, "usage: avimux_gui SCRIPT");
  Script s;
  std::string error;
  if (!ReadScript(args[0], s, error)) return Fail(kRole, error);
  if (s.video == 0) return Fail(kRole, "the script adds no video stream");
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
  uint64_t totalBytes = 0;
  std::vector<size_t> used = {s.video};
  if (s.audio != 0) used.push_back(s.audio);
  for (size_t number : used) {
    const std::string& file = s.files[number - 1];
    if (!IsFile(file)) return FailMissing(kRole, file);
    totalBytes += SizeOf(file);
    argv.insert(argv.end(), {"-i", file});
  }
  argv.insert(argv.end(), {"-map", "0:v:0"});
  if (s.audio != 0) argv.insert(argv.end(), {"-map", "1:a:0"});
  argv.insert(argv.end(), {"-c", "copy"});
  if (s.maxBytes != 0 && totalBytes > s.maxBytes) {
    const Args pieces = PieceOptions(s, totalBytes, DurationOf(s.files[s.video - 1]));
    argv.insert(argv.end(), pieces.begin(), pieces.end());
    std::cerr << kRole << ": " << totalBytes << " bytes do not fit in " << s.maxBytes << ": writing pieces "
              << PieceName(s.output, "N") << std::endl;
  } else {
    argv.insert(argv.end(), {"-f", "avi", s.output});
  }
  return RunProgram(kRole, argv);
}

}  // namespace parvela::toolkit
