// Options of the command-line front end.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace parvela {

class Form1;
class WindowHost;
namespace dshow {
class GraphBackend;
}

struct CliOptions {
  std::string output;        // -o / --output
  std::string recode;        // --recode mpeg2|h264|xvid
  int vob = -1;              // --vob 1, --no-vob 0, -1 as saved
  bool safeSync = false;     // --safe-sync
  bool fps25 = false;        // --25fps
  int split = -1;            // --split 1, --no-split 0, -1 as saved
  bool dvd = false;          // --dvd
  std::string subs;          // --subs FILE
  int subTrack = 0;          // --sub-track N: the Nth subtitle track the source lists (1-based), 0 none
  bool srtBeside = false;    // --srt-beside: the SRT file named like the source, beside it
  int audio = 0;             // --audio N: the Nth audio track the source lists (1-based), 0 none
  bool audioNone = false;    // --audio none: the picture alone, without the source's sound
  std::string audioLang;     // --audio-lang CODE: the first audio track of that language
  bool tracks = false;       // --tracks: list every track of each FILE, convert nothing
  bool verbose = false;      // -v / --verbose
  bool help = false;
  bool version = false;
  bool check = false;               // --check: judge the files, convert nothing
  bool plan = false;                // --plan: the plan line of each file, convert nothing
  std::vector<std::string> words;   // the words after the options, as the shell gave them
  std::string argumentText;  // the words after the options, joined with single blanks
};

// False with a message for a usage error.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);
std::string CliUsage();
// Makes the argument, the output folder and the subtitle file absolute against `cwd`, so that
// none of them can reach a tool as an option ("-v name.mkv").
void MakePathsAbsolute(CliOptions& options, const std::string& cwd);
// The process's working folder ("/" when it cannot be read).
std::string CurrentFolder();
// Sets the window's controls as a user's clicks would, so their handlers run. The re-encoding,
// subtitle and audio choices are applied again after every inspection: they are the user's
// explicit choice, and the checker's verdict or a fresh track list must not undo them. An audio
// track the source does not have is a usage error: it is printed, `*usageError` is set and the
// source is not converted.
void ApplyCliOptions(const CliOptions& options, Form1& form, bool* usageError = nullptr);
// --tracks: every track of each file, with the numbers --audio and --sub-track take. 0 when
// every file could be read, 1 otherwise.
int ListTracks(const std::vector<std::string>& files, bool verbose);
// --plan: each file inspected as "Convert" would, with the options applied, and its plan line
// printed ("FILE: H.264 High@5.1 ... · MP4"); nothing is converted. 0 when every file can be
// converted, 1 otherwise (the line then says why).
int PlanFiles(const CliOptions& options, Form1& form);
// An existing file whose name ends in ".mkv" (any letter case), or an existing folder.
bool IsConvertibleArgument(const std::string& argumentText);
// The decoding graph of this platform.
std::shared_ptr<dshow::GraphBackend> MakeDefaultGraphBackend(WindowHost& host);

}  // namespace parvela
