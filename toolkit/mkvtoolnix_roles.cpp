// mkvextract and mkvmerge: Parvela counts tracks from 1 in report order, as the classic tools
// did; today's tools number the same tracks from 0. Everything else is passed on unchanged.
#include <algorithm>
#include <set>

#include "ffmpeg_extract.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "3" -> "2"; false for 0 or a text that is no track number.
bool ToTrackId(std::string_view number, std::string& id) {
  if (!IsDigits(number) || number.size() > 9) return false;
  long n = std::stol(std::string(number));
  if (n < 1) return false;
  id = std::to_string(n - 1);
  return true;
}

// A track selection such as "2", "1,3" or "!2": each number shifted, anything else kept.
std::string ShiftTrackList(const std::string& list) {
  std::string out;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
    std::string bang = StartsWith(item, "!") ? "!" : "";
    std::string id;
    out += ToTrackId(std::string_view(item).substr(bang.size()), id) ? bang + id : item;
    if (comma == std::string::npos) return out;
    out += ',';
    start = comma + 1;
  }
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

// mkvextract tracks "<source>" [options] N:"<target>" ...
//   -> mkvextract "<source>" tracks [options] N-1:"<target>" ...
int MkvextractMain(const Args& args) {
  constexpr const char* kRole = "mkvextract";
  std::vector<std::string> bare;
  for (const auto& a : args) {
    if (!IsOption(a)) bare.push_back(a);
  }
  if (bare.size() < 2) return Fail(kRole, "usage: mkvextract tracks <source> N:<target> ...");
  const std::string& mode = bare[0];
  const std::string& source = bare[1];
  if (!IsFile(source)) return FailMissing(kRole, source);
  static const std::set<std::string> kTrackModes = {"tracks", "timecodes_v2", "timestamps_v2", "cues"};
  bool numbered = kTrackModes.count(mode) > 0;

  Args argv = {"mkvextract", source, mode};
  OutputGuard guard{{}, {source}, 2};
  std::vector<TrackTarget> targets;
  bool modeSeen = false, sourceSeen = false;
  for (const auto& a : args) {
    if (!modeSeen && a == mode) {
      modeSeen = true;
      continue;
    }
    if (modeSeen && !sourceSeen && a == source) {
      sourceSeen = true;
      continue;
    }
    size_t colon = a.find(':');
    std::string id;
    if (numbered && !IsOption(a) && colon != std::string::npos && ToTrackId(std::string_view(a).substr(0, colon), id)) {
      argv.push_back(id + a.substr(colon));
      guard.outputs.push_back(a.substr(colon + 1));
      targets.push_back({static_cast<unsigned>(std::stoul(id)) + 1, a.substr(colon + 1)});
    } else {
      argv.push_back(a);
    }
  }
  // mkvextract exits 1 for warnings, with its files written.
  const int code = RunProgramLeavingWholeFiles(kRole, argv, guard);
  return mode == "tracks" ? ExtractMissingWithFfmpeg(kRole, source, targets, code) : code;
}

// mkvmerge: the numbers after -d, -a and -s (and their long forms) are shifted.
int MkvmergeMain(const Args& args) {
  constexpr const char* kRole = "mkvmerge";
  static const std::set<std::string> kTrackLists = {"-d", "-a", "-s", "--video-tracks", "--audio-tracks",
                                                    "--subtitle-tracks"};
  // Options that take a value, so that the value is not taken for an input file.
  static const std::set<std::string> kWithValue = {
      "-o", "--output", "-b", "--button-tracks", "-m", "--attachments", "--track-tags", "--split",
      "--split-max-files", "--title", "--chapters", "--chapter-language", "--chapter-charset",
      "--global-tags", "--language", "--track-name", "--default-track", "--forced-track",
      "--default-duration", "--sync", "-y", "--cues", "--compression", "--timestamp-scale",
      "--timestamps", "--timecodes", "--aspect-ratio", "--aspect-ratio-factor", "--display-dimensions",
      "--cropping", "--fourcc", "--tags", "-t", "--sub-charset", "--track-order", "--append-to",
      "--append-mode", "--attach-file", "--attachment-name", "--attachment-mime-type",
      "--attachment-description", "--link-to-previous", "--link-to-next", "--segment-uid",
      "--command-line-charset", "--output-charset", "--ui-language", "--priority", "--engage",
      "--default-language", "--generate-chapters", "--generate-chapters-name-template"};
  Args argv = {"mkvmerge"};
  std::vector<std::string> inputs;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    argv.push_back(a);
    bool list = kTrackLists.count(a) > 0;
    if ((list || kWithValue.count(a) > 0) && i + 1 < args.size()) {
      argv.push_back(list ? ShiftTrackList(args[++i]) : args[++i]);
    } else if (!IsOption(a) && a != "(" && a != ")" && a != "+" && !StartsWith(a, "@")) {
      inputs.push_back(StartsWith(a, "+") ? a.substr(1) : a);
    }
  }
  for (const auto& input : inputs) {
    if (!IsFile(input)) return FailMissing(kRole, input);
  }
  if (inputs.empty()) return Fail(kRole, "no input file given");
  return RunProgram(kRole, argv);
}

}  // namespace parvela::toolkit
