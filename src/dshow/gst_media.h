// GStreamer's side of the decoding graph: what a Matroska file holds, and which elements decode
// which kind of audio.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parvela::dshow::gst {

struct CapsUnref {
  void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
using CapsPtr = std::shared_ptr<GstCaps>;
inline CapsPtr AdoptCaps(GstCaps* caps) { return CapsPtr(caps, CapsUnref{}); }

struct SourceStream {
  std::string padName;  // the demuxer's pad: "audio_0", "video_0", "subtitle_0", ...
  CapsPtr caps;         // what the stream carries, as the demuxer announces it
};

struct SourceLayout {
  std::vector<SourceStream> streams;  // in the file's track order
  double duration = 0;                // seconds; 0 when the file does not say
};

// Reads just enough of the file to learn its streams; nothing when it is no Matroska file.
std::optional<SourceLayout> ProbeMatroska(const std::string& path);

// The parser and decoder that turn one kind of compressed audio into PCM.
struct DecoderRoute {
  std::string parser;
  std::string decoder;
};

// The route for the stream's caps; nothing for audio the decoder filter does not take.
std::optional<DecoderRoute> FindDecoderRoute(const GstCaps* caps);
// True when at least one kind of audio can be decoded to 16-bit PCM.
bool DecodersInstalled();
bool ElementExists(const char* factoryName);

}  // namespace parvela::dshow::gst
