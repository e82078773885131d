#include "analysis/video_codecs.h"

#include <algorithm>
#include <cmath>

namespace parvela {

namespace {

// mencoder decodes every format below through libavcodec. Cover pictures (Motion JPEG, PNG) are
// here too: a source whose only video is a picture is still converted.
constexpr VideoCodec kVideoCodecs[] = {
    {"V_MPEG4/ISO/AVC", "H.264", "avc"},
    {"V_MPEG2", "MPEG-2", "mpeg2"},
    {"WVC1", "VC-1", "vc1"},
    {"V_MS/VC1", "VC-1", "vc1"},
    {"V_MPEGH/ISO/HEVC", "HEVC", ""},
    {"V_AV1", "AV1", ""},
    {"V_VP9", "VP9", ""},
    {"V_VP8", "VP8", ""},
    {"V_MPEG4/ISO/", "MPEG-4 Visual", ""},  // SP, ASP and AP
    {"XVID", "MPEG-4 Visual", ""},
    {"DIVX", "MPEG-4 Visual", ""},
    {"DX50", "MPEG-4 Visual", ""},
    {"FMP4", "MPEG-4 Visual", ""},
    {"MP4V", "MPEG-4 Visual", ""},
    {"H264", "H.264", ""},  // H.264 in VfW mode: no avcC record to extract, so re-encoded
    {"AVC1", "H.264", ""},
    {"V_MPEG1", "MPEG-1", ""},
    {"V_THEORA", "Theora", ""},
    {"V_PRORES", "ProRes", ""},
    {"V_FFV1", "FFV1", ""},
    {"FFV1", "FFV1", ""},
    {"V_MJPEG", "Motion JPEG", ""},
    {"MJPG", "Motion JPEG", ""},
    {"MPNG", "PNG", ""},
    {"PNG ", "PNG", ""},
    {"V_REAL/", "RealVideo", ""},
    {"V_DIRAC", "Dirac", ""},
    {"V_UNCOMPRESSED", "uncompressed video", ""},
};

}  // namespace

const VideoCodec* FindVideoCodec(const std::string& codec) {
  for (const VideoCodec& c : kVideoCodecs) {
    const std::string id = c.id;
    if (codec == id || (id.back() == '/' && codec.compare(0, id.size(), id) == 0)) return &c;
  }
  return nullptr;
}

bool ReencodedOnly(const std::string& codec) {
  const VideoCodec* c = FindVideoCodec(codec);
  return c && !*c->kind;
}

FrameSize ReencodedFrame(int width, int height, double fps, FrameLimit limit) {
  if (width <= 0 || height <= 0) return {width, height};
  auto factorFor = [&](FrameLimit l) {
    return std::min({1.0, double(l.maxWidth) / width, double(l.maxHeight) / height});
  };
  double factor = factorFor(limit);
  const double macroblocks = std::ceil(width * factor / 16) * std::ceil(height * factor / 16);
  // Above level 4.1's rate at this size: fewer pixels, every frame kept (halving the rate would
  // drop motion and retime the film for the muxers).
  if (fps > 0 && macroblocks * fps > kLevel41MacroblocksPerSecond) factor = std::min(factor, factorFor(kFastMotionFrame));
  if (factor >= 1) return {width, height};
  auto even = [](double v) { return std::max(2, static_cast<int>(std::floor(v / 2)) * 2); };
  return {even(width * factor), even(height * factor)};
}

}  // namespace parvela
