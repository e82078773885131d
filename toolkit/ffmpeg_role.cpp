// FFmpeg: Debian's ffmpeg, with what it no longer accepts from the classic command lines
// translated. It always overwrites and never asks, since nobody can answer.
#include <iostream>
#include <map>
#include <regex>
#include <set>

#include "aac_parallel.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "FFmpeg";

const std::set<std::string> kFlags = {
    "-copyts", "-shortest", "-vn", "-an", "-sn", "-dn", "-nostdin", "-stdin", "-hide_banner", "-stats",
    "-nostats", "-re", "-benchmark", "-benchmark_all", "-xerror", "-ignore_unknown", "-accurate_seek",
    "-noaccurate_seek", "-start_at_zero", "-copyinkf", "-dump", "-hex", "-debug_ts", "-psnr",
    "-vstats", "-qphist", "-copy_unknown", "-autorotate", "-noautorotate"};

// Options ffmpeg dropped over the years, with the number of values each takes.
const std::map<std::string, int> kRemoved = {
    {"-sameq", 0},     {"-same_quant", 0}, {"-deinterlace", 0}, {"-isync", 0},      {"-newaudio", 0},
    {"-newvideo", 0},  {"-newsubtitle", 0}, {"-vhook", 1},      {"-croptop", 1},    {"-cropbottom", 1},
    {"-cropleft", 1},  {"-cropright", 1},  {"-padtop", 1},      {"-padbottom", 1},  {"-padleft", 1},
    {"-padright", 1},  {"-padcolor", 1},   {"-title", 1},       {"-author", 1},     {"-comment", 1},
    {"-copyright", 1}, {"-album", 1},      {"-track", 1},       {"-year", 1},       {"-genre", 1}};

// Encoders that are gone, and the native one that does their job.
const std::map<std::string, std::string> kCodecs = {
    {"libfaac", "aac"}, {"libvo_aacenc", "aac"}, {"libaacplus", "aac"}};

const std::set<std::string> kCodecOptions = {"-acodec", "-c:a", "-codec:a", "-c", "-codec"};
const std::set<std::string> kRateOptions = {"-ab", "-b", "-b:a", "-ba", "-b:v", "-vb",
                                            "-maxrate", "-minrate", "-bufsize"};

std::string TranslateValue(const std::string& option, const std::string& value) {
  if (kCodecOptions.count(option)) {
    auto it = kCodecs.find(value);
    return it == kCodecs.end() ? value : it->second;
  }
  // "224kb" meant kilobits; today's ffmpeg reads "224k".
  static const std::regex kKiloBits("([0-9]+(\\.[0-9]+)?)kb");
  if (kRateOptions.count(option)) return std::regex_replace(value, kKiloBits, "$1k");
  return value;
}

bool IsUrl(const std::string& input) {
  return input.find("://") != std::string::npos || StartsWith(input, "pipe:") || input == "-";
}

struct Translation {
  Args argv;               // without the program and the fixed options in front
  size_t lastOutput = 0;   // index of the last output file in argv, argv.size() when none
  std::vector<std::string> inputs, dropped;
};

Translation Translate(const Args& args) {
  Translation t;
  t.lastOutput = std::string::npos;
  std::string format;  // the last -f, which tells a lavfi graph from a file
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool option = a.size() > 1 && a[0] == '-';
    bool hasValue = i + 1 < args.size();
    if (!option) {
      t.lastOutput = t.argv.size();
      t.argv.push_back(a);
    } else if (a == "-y" || a == "-n") {
      // -y is always given in front.
    } else if (auto removed = kRemoved.find(a); removed != kRemoved.end()) {
      t.dropped.push_back(a);
      i += static_cast<size_t>(removed->second);
    } else if (kFlags.count(a) || !hasValue) {
      t.argv.push_back(a);
    } else {
      std::string value = TranslateValue(a, args[++i]);
      if (a == "-f") format = value;
      if (a == "-i" && format != "lavfi" && !IsUrl(value)) t.inputs.push_back(value);
      t.argv.push_back(a);
      t.argv.push_back(value);
    }
  }
  if (t.lastOutput == std::string::npos) t.lastOutput = t.argv.size();
  return t;
}

// Options after the last output file were once applied to it; ffmpeg now ignores them.
void MoveTrailingOptions(Translation& t) {
  if (t.lastOutput + 1 >= t.argv.size()) return;
  std::string output = t.argv[t.lastOutput];
  t.argv.erase(t.argv.begin() + static_cast<std::ptrdiff_t>(t.lastOutput));
  t.argv.push_back(output);
  t.lastOutput = t.argv.size() - 1;
}

}  // namespace

int FfmpegMain(const Args& args) {
  Translation t = Translate(args);
  if (t.lastOutput >= t.argv.size()) return Fail(kRole, "no output file given");
  for (const auto& input : t.inputs) {
    if (!IsFile(input)) return FailMissing(kRole, input);
  }
  MoveTrailingOptions(t);
  for (const auto& option : t.dropped) {
    std::cerr << kRole << ": dropped " << option << ", which ffmpeg no longer knows" << std::endl;
  }
  if (std::optional<int> code = EncodeAacInPieces(kRole, t.argv)) return *code;
  // As ffmpeg itself tells a reader: the input's duration first, then "time=" as it goes.
  if (!t.inputs.empty()) TellFfmpegDuration(MediaDuration(kRole, t.inputs.front(), false));
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-y"};
  argv.insert(argv.end(), t.argv.begin(), t.argv.end());
  OutputGuard guard{{}, t.inputs};
  if (const std::string& output = t.argv[t.lastOutput]; !IsUrl(output)) guard.outputs.push_back(output);
  return RunProgramLeavingWholeFiles(kRole, argv, guard);
}

}  // namespace parvela::toolkit
