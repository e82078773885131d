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

namespace {

bool Has(const Args& args, const std::string& option) {
  for (const auto& a : args) {
    if (a == option) return true;
  }
  return false;
}

}  // namespace

bool IsProgramStreamMux(const Args& args) {
  const bool sound = MencoderOption(args, "-oac") == "copy" && !MencoderOption(args, "-audiofile").empty();
  return MencoderOption(args, "-ovc") == "copy" && MencoderOption(args, "-of") == "mpeg" &&
         (sound || Has(args, "-nosound")) && !MencoderOption(args, "-o").empty() &&
         MencoderInputAt(args) < args.size();
}

int MuxProgramStreamWithFfmpeg(std::string_view role, const Args& args, const OutputGuard& guard) {
  std::cerr << role << ": muxed by ffmpeg: mencoder's muxer loses the end of the sound, and all of a film of a "
            << "few pictures" << std::endl;
  // mencoder's program stream times only some of its pictures: the others are given theirs (its
  // MPEG-2 has no B pictures, so each is shown one picture after it is decoded). The film starts
  // as early as mencoder's own muxer starts it.
  constexpr const char* kPtsFromDts = "setts=pts=if(eq(PTS\\,NOPTS)\\,DTS+DURATION\\,PTS)";
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
               "-fflags", "+genpts", "-i", args[MencoderInputAt(args)]};
  const std::string audio = Has(args, "-nosound") ? "" : MencoderOption(args, "-audiofile");
  if (!audio.empty()) argv.insert(argv.end(), {"-i", audio, "-map", "0:v:0", "-map", "1:a:0"});
  if (audio.empty()) argv.insert(argv.end(), {"-map", "0:v:0"});
  argv.insert(argv.end(), {"-c", "copy", "-bsf:v", kPtsFromDts, "-muxpreload", "0.2", "-muxdelay", "0.2", "-f", "vob",
                           MencoderOption(args, "-o")});
  return RunProgramLeavingWholeFiles(role, argv, guard);
}

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

bool TimestampsGivePictureRate(const VideoStream& video) {
  // Above this a "rate" is the time base of the timestamps (600/1, 1000/1), not one of pictures.
  constexpr double kHighestPictureRate = 120;
  return video.rate > 0 && video.rate <= kHighestPictureRate;
}

std::string WhyFfmpegDecodes(const VideoStream& video, const std::string& ofps) {
  if (video.codec == "theora") return "mencoder's Theora decoding loses pictures (DRI failure)";
  if (video.codec == "prores") return "mencoder takes none of the ProRes decoder's picture formats";
  const double wanted = RateOf(ofps);
  // With -noskip mencoder keeps every picture and only retimes it: a film at another rate than
  // its source's would run faster or slower than its sound.
  if (wanted > 0 && TimestampsGivePictureRate(video) && std::fabs(video.rate - wanted) > 0.001 * wanted) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.3f", video.rate);
    return "the source's pictures run at " + std::string(rate) + " fps, and -ofps " + ofps +
           " needs pictures repeated or dropped, which mencoder does not do with -noskip";
  }
  return {};
}

int RunFedByFfmpeg(std::string_view role, Args argv, size_t inputAt, const std::string& ofps, bool byTimestamps,
                   const OutputGuard& guard) {
  Args decode = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i", argv[inputAt],
                 "-map",   "0:v:0",   "-an",          "-sn",       "-dn"};
  if (byTimestamps && !ofps.empty()) {
    // The fps filter repeats and drops pictures by their timestamps, so the film keeps its length.
    decode.insert(decode.end(), {"-vf", "fps=" + ofps});
  } else {
    // Timestamps that tell no picture rate: every picture is kept, as mencoder keeps them.
    decode.insert(decode.end(), {"-fps_mode", "passthrough"});
  }
  decode.insert(decode.end(), {"-pix_fmt", "yuv420p", "-f", "yuv4mpegpipe", "-"});
  argv[inputAt] = "-";
  return RunPipedLeavingWholeFiles(role, decode, argv, guard);
}

}  // namespace parvela::toolkit
