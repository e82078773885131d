// The codec table. Extensions are those of the files mkvextract writes for each codec (an Opus
// track comes out in Ogg, ALAC in CAF, PCM as WAV, which is named "movie.pcm" so that it never
// meets the decoded "movie.wav"); mkvextract refuses float PCM, which FFmpeg takes out instead.
#include "analysis/codecs.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>

#include "streams/h264_sps.h"

namespace parvela {

namespace {

using enum CodecKind;
using enum AudioDecoder;
constexpr Extractor kMkv = Extractor::Mkvextract;
constexpr const char* kVfw = "V_MS/VFW/FOURCC";

// kind, Matroska ID, FourCC, ffprobe, name, report test, button, video kind, extension,
// FFmpeg demuxer, decoder, extractor, a console decodes it
constexpr CodecInfo kCodecs[] = {
    // The five audio formats with a button, in button order.
    {Audio, "A_AC3", "", "ac3", "AC-3", "A_AC3", 0, "", "ac3", "ac3", Graph, kMkv, true},
    {Audio, "A_DTS", "", "dts", "DTS", "DTS", 1, "", "dts", "dts", Graph, kMkv, false},
    {Audio, "A_VORBIS", "", "vorbis", "Vorbis", "A_VORBIS", 2, "", "ogg", "ogg", Ffmpeg, kMkv, false},
    {Audio, "A_MPEG/L3", "", "mp3", "MP3", "A_MPEG/L3", 3, "", "mp3", "mp3", Graph, kMkv, true},
    {Audio, "A_AAC", "", "aac", "AAC", "A_AAC", 4, "", "aac", "aac", Graph, kMkv, true},
    // The video kinds with roads of their own, in the order the classic tests ran.
    {Video, kVfw, "WVC1", "vc1", "VC-1", "FourCC: WVC1", -1, "vc1", "vc1", "vc1", None, kMkv, false},
    {Video, "V_MPEG2", "", "mpeg2video", "MPEG-2", "Codec ID: V_MPEG2", -1, "mpeg2", "m2v", "mpegvideo", None, kMkv,
     true},
    {Video, "V_MPEG4/ISO/AVC", "", "h264", "H.264", "Codec ID: V_MPEG4/ISO/AVC", -1, "avc", "h264", "h264", None,
     kMkv, true},
    // Audio without a button: FFmpeg decodes the extracted track.
    {Audio, "A_AAC/MPEG4/LC/SBR", "", "aac", "HE-AAC", "", 4, "", "aac", "aac", Graph, kMkv, false},
    {Audio, "A_AAC/MPEG2/LC/SBR", "", "aac", "HE-AAC", "", 4, "", "aac", "aac", Graph, kMkv, false},
    {Audio, "A_EAC3", "", "eac3", "E-AC-3", "", -1, "", "eac3", "eac3", Ffmpeg, kMkv, false},
    {Audio, "A_TRUEHD", "", "truehd", "TrueHD", "", -1, "", "thd", "truehd", Ffmpeg, kMkv, false},
    {Audio, "A_MLP", "", "mlp", "MLP", "", -1, "", "mlp", "mlp", Ffmpeg, kMkv, false},
    {Audio, "A_FLAC", "", "flac", "FLAC", "", -1, "", "flac", "flac", Ffmpeg, kMkv, false},
    {Audio, "A_OPUS", "", "opus", "Opus", "", -1, "", "opus", "ogg", Ffmpeg, kMkv, false},
    {Audio, "A_PCM/INT/LIT", "", "pcm", "LPCM", "", -1, "", "pcm", "wav", Ffmpeg, kMkv, true},
    {Audio, "A_PCM/INT/BIG", "", "pcm", "LPCM", "", -1, "", "pcm", "wav", Ffmpeg, kMkv, true},
    {Audio, "A_PCM/FLOAT/IEEE", "", "pcm", "LPCM", "", -1, "", "pcm", "wav", Ffmpeg, Extractor::Ffmpeg, true},
    {Audio, "A_MPEG/L2", "", "mp2", "MP2", "", -1, "", "mp2", "mp3", Ffmpeg, kMkv, true},
    {Audio, "A_MPEG/L1", "", "mp1", "MP1", "", -1, "", "mp1", "mp3", Ffmpeg, kMkv, false},
    {Audio, "A_ALAC", "", "alac", "ALAC", "", -1, "", "caf", "caf", Ffmpeg, kMkv, false},
    {Audio, "A_TTA1", "", "tta", "TTA", "", -1, "", "tta", "tta", Ffmpeg, kMkv, false},
    {Audio, "A_WAVPACK4", "", "wavpack", "WavPack", "", -1, "", "wv", "wv", Ffmpeg, kMkv, false},
    {Audio, "", "", "wmav2", "WMA", "", -1, "", "wma", "asf", Ffmpeg, kMkv, true},
    // Video that no road takes as it is.
    {Video, kVfw, "H264", "h264", "H.264", "", -1, "avc", "avi", "avi", None, kMkv, true},
    {Video, kVfw, "AVC1", "h264", "H.264", "", -1, "avc", "avi", "avi", None, kMkv, true},
    {Video, "V_MPEGH/ISO/HEVC", "", "hevc", "HEVC", "", -1, "", "h265", "hevc", None, kMkv, false},
    {Video, "V_AV1", "", "av1", "AV1", "", -1, "", "ivf", "ivf", None, kMkv, false},
    {Video, "V_VP9", "", "vp9", "VP9", "", -1, "", "ivf", "ivf", None, kMkv, false},
    {Video, "V_VP8", "", "vp8", "VP8", "", -1, "", "ivf", "ivf", None, kMkv, false},
    {Video, "V_MPEG4/ISO/ASP", "", "mpeg4", "MPEG-4 Visual", "", -1, "", "m4v", "m4v", None, kMkv, true},
    {Video, "V_MPEG4/ISO/SP", "", "mpeg4", "MPEG-4 Visual", "", -1, "", "m4v", "m4v", None, kMkv, true},
    {Video, "V_MPEG4/ISO/AP", "", "mpeg4", "MPEG-4 Visual", "", -1, "", "m4v", "m4v", None, kMkv, true},
    {Video, kVfw, "XVID", "mpeg4", "MPEG-4 Visual", "", -1, "", "avi", "avi", None, kMkv, true},
    {Video, kVfw, "DIVX", "mpeg4", "MPEG-4 Visual", "", -1, "", "avi", "avi", None, kMkv, true},
    {Video, kVfw, "DX50", "mpeg4", "MPEG-4 Visual", "", -1, "", "avi", "avi", None, kMkv, true},
    {Video, kVfw, "FMP4", "mpeg4", "MPEG-4 Visual", "", -1, "", "avi", "avi", None, kMkv, true},
    {Video, "V_MPEG1", "", "mpeg1video", "MPEG-1", "", -1, "", "m1v", "mpegvideo", None, kMkv, true},
    {Video, "V_THEORA", "", "theora", "Theora", "", -1, "", "ogv", "ogg", None, kMkv, false},
    {Video, "V_PRORES", "", "prores", "ProRes", "", -1, "", "prores", "", None, Extractor::Ffmpeg, false},
    {Video, "V_FFV1", "", "ffv1", "FFV1", "", -1, "", "ffv1", "", None, Extractor::Ffmpeg, false},
    {Video, kVfw, "FFV1", "ffv1", "FFV1", "", -1, "", "avi", "avi", None, kMkv, false},
    {Video, "V_MJPEG", "", "mjpeg", "MJPEG", "", -1, "", "mjpeg", "mjpeg", None, kMkv, false},
    {Video, kVfw, "MJPG", "mjpeg", "MJPEG", "", -1, "", "avi", "avi", None, kMkv, false},
    // Cover pictures stored as a video track; the first video track is the film, but a source
    // whose only video is a picture is still converted.
    {Video, kVfw, "MPNG", "png", "PNG", "", -1, "", "avi", "avi", None, kMkv, false},
    {Video, kVfw, "WMV3", "wmv3", "WMV 9", "", -1, "", "avi", "avi", None, kMkv, false},
    {Video, "V_DIRAC", "", "dirac", "Dirac", "", -1, "", "drc", "dirac", None, kMkv, false},
    {Video, "V_REAL/RV40", "", "rv40", "RealVideo 4", "", -1, "", "rm", "rm", None, kMkv, false},
    {Video, "V_UNCOMPRESSED", "", "rawvideo", "uncompressed video", "", -1, "", "yuv", "", None, Extractor::Ffmpeg,
     false},
};

// The formats the re-encoding roads write, within level 4.1: 1920x1080 (the Xbox 360's ceiling
// for H.264) and 245760 macroblocks a second (1080p at 30 frames); MPEG-4 Visual within the
// Xbox 360's 1280x720.
struct TargetRow {
  const char* ffprobeName;
  ConsoleFrame frame;
};
constexpr TargetRow kTargets[] = {
    {"h264", {1920, 1080, kLevel41MacroblocksPerSecond}},
    {"mpeg2video", {1920, 1080, kLevel41MacroblocksPerSecond}},
    {"mpeg4", {1280, 720, kLevel41MacroblocksPerSecond}},
};
// Where a film too fast for the full frame goes: fewer pixels, every frame kept (halving the
// rate would drop motion and retime the film for the muxers).
constexpr ConsoleFrame kFastMotionFrame = {1280, 720, kLevel41MacroblocksPerSecond};

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// "A_AAC" stands for "A_AAC/MPEG4/LC" too.
bool Continues(std::string_view id, std::string_view rowId) {
  return id.size() > rowId.size() && id.substr(0, rowId.size()) == rowId && id[rowId.size()] == '/';
}

}  // namespace

std::span<const CodecInfo> CodecTable() { return kCodecs; }

const CodecInfo* FindCodecByMatroskaId(std::string_view codecId, std::string_view fourcc) {
  if (codecId.empty()) return nullptr;
  if (codecId == kVfw) {
    for (const CodecInfo& c : kCodecs) {
      if (c.matroskaId == codecId && SameLetters(c.fourcc, fourcc)) return &c;
    }
    return nullptr;
  }
  const CodecInfo* best = nullptr;
  for (const CodecInfo& c : kCodecs) {
    const std::string_view rowId = c.matroskaId;
    if (rowId == codecId) return &c;
    if (Continues(codecId, rowId) && (!best || rowId.size() > std::string_view(best->matroskaId).size())) best = &c;
  }
  return best;
}

const CodecInfo* FindCodecByFfprobeName(std::string_view name) {
  if (name.substr(0, 4) == "pcm_") name = "pcm";
  for (const CodecInfo& c : kCodecs) {
    if (c.ffprobeName == name) return &c;
  }
  return nullptr;
}

const CodecInfo* AudioCodecOfButton(int button) {
  for (const CodecInfo& c : kCodecs) {
    if (c.kind == CodecKind::Audio && c.button == button && *c.reportTag) return &c;
  }
  return nullptr;
}

const CodecInfo* FindNotedVideoCodec(std::string_view noted) {
  const bool codecId = noted.substr(0, 2) == "V_";
  const CodecInfo* row = codecId ? FindCodecByMatroskaId(noted) : FindCodecByMatroskaId(kVfw, noted);
  return row && row->kind == CodecKind::Video ? row : nullptr;
}

ConsoleFrame ConsoleFrameOf(std::string_view ffprobeName) {
  for (const TargetRow& t : kTargets) {
    if (ffprobeName == t.ffprobeName) return t.frame;
  }
  return kTargets[0].frame;
}

FrameSize ReencodedFrame(int width, int height, double fps, std::string_view target) {
  if (width <= 0 || height <= 0) return {width, height};
  const ConsoleFrame limit = ConsoleFrameOf(target);
  auto factorFor = [&](const ConsoleFrame& l) {
    return std::min({1.0, double(l.maxWidth) / width, double(l.maxHeight) / height});
  };
  double factor = factorFor(limit);
  const double macroblocks = std::ceil(width * factor / 16) * std::ceil(height * factor / 16);
  if (fps > 0 && macroblocks * fps > limit.maxMacroblocksPerSecond) factor = std::min(factor, factorFor(kFastMotionFrame));
  if (factor >= 1) return {width, height};
  auto even = [](double v) { return std::max(2, static_cast<int>(std::floor(v / 2)) * 2); };
  return {even(width * factor), even(height * factor)};
}

const CodecInfo& UnknownAudioCodec() {
  static constexpr CodecInfo kUnknown{Audio, "", "", "", "audio", "", -1, "", "mka", "matroska", Ffmpeg,
                                      Extractor::Ffmpeg, false};
  return kUnknown;
}

std::string ChannelsText(int channels) {
  switch (channels) {
    case 0: return {};
    case 1: return "mono";
    case 2: return "stereo";
    case 6: return "5.1";
    case 7: return "6.1";
    case 8: return "7.1";
    default: return std::to_string(channels) + " channels";
  }
}

}  // namespace parvela
