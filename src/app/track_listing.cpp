// --tracks: what a user needs to pick the audio and the subtitles from the command line. mkvinfo
// describes each file, as inspection has it do, and every track is listed with its format,
// channels and name, and the number --audio or --sub-track takes for it.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "analysis/analysis.h"
#include "app/application.h"
#include "app/cli_options.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion_job.h"
#include "process/process.h"

namespace parvela {

namespace {

std::string SubtitleFormat(const ReportTrack& t) {
  if (t.codecId == "S_TEXT/UTF8") return "SRT text";
  if (t.codecId == "S_TEXT/SSA") return "SSA text";
  if (t.codecId == "S_TEXT/ASS") return "ASS text";
  return t.codecId;
}

std::string TrackLine(const ReportTrack& t) {
  std::string line = "  track " + std::to_string(t.ordinal) + ": " + (t.type.empty() ? "unknown" : t.type) + ", " +
                     (t.language.empty() ? "und" : t.language) + ", ";
  if (t.type == "audio") return line + AudioTrackSummary(t.codecId, t.channels, t.name) + " (--audio " +
                                std::to_string(t.audioNumber) + ")";
  line += t.type == "subtitles" ? SubtitleFormat(t) : CodecNameOf(t.codecId, t.fourcc);
  if (!t.name.empty()) line += " \u00B7 " + t.name;
  if (t.type == "subtitles") {
    line += t.subtitleNumber ? " (--sub-track " + std::to_string(t.subtitleNumber) + ")" : " (cannot be burnt in)";
  }
  return line;
}

// False when mkvinfo could not read the file.
bool ListFile(ProcessRunner& runner, const std::string& mkvinfo, const std::string& report, const std::string& file) {
  DeleteFile(report);
  runner.RunAndWait(Quoted(mkvinfo) + " " + Quoted(file) + " -o " + Quoted(report));
  std::vector<std::string> lines;
  const bool read = ReadTextLines(report, lines);
  DeleteFile(report);
  const std::vector<ReportTrack> tracks = ReadTrackList(lines);
  if (!read || tracks.empty()) {
    const std::string why = !lines.empty() && lines.front().rfind("Error: ", 0) == 0 ? lines.front().substr(7)
                                                                                   : "no Matroska track list";
    std::printf("%s: cannot be read (%s)\n", file.c_str(), why.c_str());
    return false;
  }
  std::printf("%s:\n", file.c_str());
  for (const ReportTrack& t : tracks) std::printf("%s\n", TrackLine(t).c_str());
  return true;
}

}  // namespace

int ListTracks(const std::vector<std::string>& files, bool verbose) {
  PosixProcessRunner runner(verbose);
  ToolPaths tools;
  tools.Fill(ExecutableFolder());
  // Its own report, so that listing never disturbs a conversion's.
  const std::string report =
      (std::filesystem::temp_directory_path() / ("parvela-tracks-" + std::to_string(getpid()) + ".txt")).string();
  bool all = true;
  for (const std::string& file : files) {
    all = ListFile(runner, tools.strMKVInfo, report, file) && all;
    std::fflush(stdout);
  }
  return all ? 0 : 1;
}

}  // namespace parvela
