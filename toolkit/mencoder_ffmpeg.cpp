// FFmpeg's way for the mencoder role's failing steps: see mencoder_ffmpeg.h. Each switch is named
// on standard error, as the role's translations are.
#include "mencoder_ffmpeg.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>

namespace parvela::toolkit {

namespace {

// The options of the classic command lines that take the next word as their value.
const std::set<std::string>& ValuedOptions() {
  static const std::set<std::string> options = {
      "-o",      "-of",     "-ovc",       "-oac",        "-lavcopts",         "-x264encopts",        "-xvidencopts",
      "-ofps",   "-vf",     "-mc",        "-font",       "-sub",              "-audiofile",          "-lavdopts",
      "-endpos", "-ss",     "-mpegopts",  "-subwidth",   "-subfont-autoscale", "-subfont-text-scale", "-subpos",
      "-aid",    "-sid",    "-vid",       "-subcp",      "-fps",              "-demuxer",            "-audio-demuxer"};
  return options;
}

// "30000/1001", "25" or "29.833" as a number; 0 when it is none.
double RateOf(const std::string& text) {
  char* end = nullptr;
  double rate = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return 0;
  if (*end == '/') {
    const double divisor = std::strtod(end + 1, nullptr);
    rate = divisor > 0 ? rate / divisor : 0;
  }
  return std::isfinite(rate) && rate > 0 ? rate : 0;
}

struct VideoStream {
  std::string codec;
  double rate = 0;  // the rate its timestamps run at (ffprobe's r_frame_rate)
};

VideoStream ProbeVideo(std::string_view role, const std::string& source) {
  std::string text;
  RunProgramCapture(role,
                    {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                     "stream=codec_name,r_frame_rate", "-of", "json", source},
                    text);
  const auto info = nlohmann::json::parse(text, nullptr, false);
  VideoStream video;
  if (info.is_discarded() || !info.contains("streams") || info["streams"].empty()) return video;
  const auto& stream = info["streams"][0];
  video.codec = stream.value("codec_name", "");
  video.rate = RateOf(stream.value("r_frame_rate", ""));
  return video;
}

}  // namespace

size_t MencoderInputAt(const Args& args, size_t from) {
  for (size_t i = from; i < args.size(); ++i) {
    if (ValuedOptions().count(args[i])) {
      ++i;
    } else if (!StartsWith(args[i], "-")) {
      return i;
    }
  }
  return args.size();
}

std::string MencoderOption(const Args& args, const std::string& option) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == option) return args[i + 1];
  }
  return {};
}

bool IsProgramStreamMux(const Args& args) {
  return MencoderOption(args, "-ovc") == "copy" && MencoderOption(args, "-oac") == "copy" &&
         MencoderOption(args, "-of") == "mpeg" && !MencoderOption(args, "-audiofile").empty() &&
         !MencoderOption(args, "-o").empty() && MencoderInputAt(args) < args.size();
}

int MuxProgramStreamWithFfmpeg(std::string_view role, const Args& args, const OutputGuard& guard) {
  std::cerr << role << ": muxed by ffmpeg: mencoder's muxer ends the sound well before its last frame" << std::endl;
  const Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                     "-i", args[MencoderInputAt(args)], "-i", MencoderOption(args, "-audiofile"),
                     "-map", "0:v:0", "-map", "1:a:0", "-c", "copy", "-f", "vob", MencoderOption(args, "-o")};
  return RunProgramLeavingWholeFiles(role, argv, guard);
}

std::string WhyFfmpegDecodes(std::string_view role, const std::string& source, const std::string& ofps) {
  const VideoStream video = ProbeVideo(role, source);
  if (video.codec == "theora") return "mencoder's Theora decoding loses pictures (DRI failure)";
  if (video.codec == "prores") return "mencoder takes none of the ProRes decoder's picture formats";
  const double wanted = RateOf(ofps);
  // With -noskip mencoder keeps every picture and only retimes it: a film at another rate than
  // its source's would run faster or slower than its sound.
  if (wanted > 0 && video.rate > 0 && std::fabs(video.rate - wanted) > 0.001 * wanted) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.3f", video.rate);
    return "the source's pictures run at " + std::string(rate) + " fps, and -ofps " + ofps +
           " needs pictures repeated or dropped, which mencoder does not do with -noskip";
  }
  return {};
}

int RunFedByFfmpeg(std::string_view role, Args argv, size_t inputAt, const std::string& ofps,
                   const OutputGuard& guard) {
  Args decode = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i", argv[inputAt],
                 "-map",   "0:v:0",   "-an",          "-sn",       "-dn"};
  // The fps filter repeats and drops pictures by their timestamps, so the film keeps its length.
  if (!ofps.empty()) decode.insert(decode.end(), {"-vf", "fps=" + ofps});
  decode.insert(decode.end(), {"-pix_fmt", "yuv420p", "-f", "yuv4mpegpipe", "-"});
  argv[inputAt] = "-";
  return RunPipedLeavingWholeFiles(role, decode, argv, guard);
}

}  // namespace parvela::toolkit
