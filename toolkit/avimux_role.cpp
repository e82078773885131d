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

#include <iostream>

#include "role_files.h"
#include "drive_paths.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "avimux_gui";

bool ReadScript(const std::string& path, MuxScript& s, std::string& error) {
  if (!IsFile(path)) {
    error = "cannot read the script " + path;
    return false;
  }
  return ParseMuxScript(LinuxPaths(ReadHead(path, kOrderFileLimit)), s, error);
}

uint64_t SizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

std::string PieceName(const std::string& output, const std::string& number) {
  const std::string stem = EndsWithNoCase(output, ".avi") ? output.substr(0, output.size() - 4) : output;
  return stem + "-" + number + ".avi";
}

// Cuts at key frames after a share of the running time that keeps each piece below the cap;
// the byte count of a piece follows its share of the time closely enough with a tenth to spare.
Args PieceOptions(const MuxScript& s, uint64_t totalBytes, double seconds) {
  const double share = static_cast<double>(s.maxBytes) / static_cast<double>(totalBytes) * 0.9;
  return {"-f", "segment", "-segment_format", "avi", "-segment_time", std::to_string(seconds * share),
          "-segment_start_number", "1", "-reset_timestamps", "1", PieceName(s.output, "%d")};
}

}  // namespace

int AvimuxMain(const Args& args) {
  if (args.size() != 1) return Fail(kRole, "usage: avimux_gui SCRIPT");
  MuxScript s;
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
    const Args pieces = PieceOptions(s, totalBytes, MediaDuration(kRole, s.files[s.video - 1]));
    argv.insert(argv.end(), pieces.begin(), pieces.end());
    std::cerr << kRole << ": " << totalBytes << " bytes do not fit in " << s.maxBytes << ": writing pieces "
              << PieceName(s.output, "N") << std::endl;
    return RunProgram(kRole, argv);
  }
  argv.insert(argv.end(), {"-f", "avi", s.output});
  return RunProgramLeavingWholeFiles(kRole, argv, {{s.output}, s.files});
}

}  // namespace parvela::toolkit
