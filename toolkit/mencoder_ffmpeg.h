// FFmpeg's way for the steps of the mencoder role where today's mencoder fails on real files:
// decoding a source its own decoders lose pictures of (or whose rate it would stretch), and
// muxing a program stream without losing the end of the sound. mencoder still encodes, with
// the options it was given.
#pragma once

#include <string>

#include "toolkit.h"

namespace parvela::toolkit {

// The index of the input file among mencoder's arguments (the first word that is neither an
// option nor an option's value), from `from` on; args.size() when there is none.
size_t MencoderInputAt(const Args& args, size_t from = 0);
// The value after `option`, or "" when it is not given.
std::string MencoderOption(const Args& args, const std::string& option);

// The classic program-stream mux: one video file, -audiofile, both copied, -of mpeg.
bool IsProgramStreamMux(const Args& args);
// That mux done by ffmpeg, after saying so on standard error.
int MuxProgramStreamWithFfmpeg(std::string_view role, const Args& args, const OutputGuard& guard);

// The source's first video as ffprobe gives it.
struct VideoStream {
  std::string codec;
  double rate = 0;  // the rate its timestamps run at (r_frame_rate)
};
VideoStream ProbeVideo(std::string_view role, const std::string& source);
// The stream's timestamps run at a rate of pictures (not of a fine time base): repeating and
// dropping pictures by them keeps the film's length.
bool TimestampsGivePictureRate(const VideoStream& video);
// Why FFmpeg should decode `video` for an encode at `ofps` (mencoder's -ofps text, "" when
// none); "" when mencoder's own decoding serves.
std::string WhyFfmpegDecodes(const VideoStream& video, const std::string& ofps);
// Runs `argv` (mencoder's translated command) with its input at `inputAt` read from a pipe of
// YUV4MPEG pictures that ffmpeg decodes from that input: at `ofps` by their timestamps, or
// every picture as it comes.
int RunFedByFfmpeg(std::string_view role, Args argv, size_t inputAt, const std::string& ofps, bool byTimestamps,
                   const OutputGuard& guard);

}  // namespace parvela::toolkit
