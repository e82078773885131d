// ffmpeg in mkvextract's place, for the tracks mkvextract could not take out. ffmpeg numbers the
// streams of a Matroska file from 0 in the order of its track entries, as Parvela's track
// numbers count them from 1.
#include "ffmpeg_extract.h"

#include <filesystem>
#include <iostream>

#include "matroska_header.h"

namespace parvela::toolkit {

namespace {

// The format mkvextract writes each codec in, as ffmpeg's muxer names it; a codec ID also
// stands for the IDs that continue it ("A_AAC" for "A_AAC/MPEG4/LC").
struct Written {
  const char* codecId;
  const char* muxer;
};
constexpr Written kWritten[] = {
    {"V_MPEG4/ISO/AVC", "h264"},  {"V_MPEGH/ISO/HEVC", "hevc"},  {"V_MS/VFW/FOURCC", "avi"},
    {"V_MPEG2", "mpeg2video"},    {"V_MPEG1", "mpeg1video"},     {"V_MPEG4/ISO", "m4v"},
    {"V_VP8", "ivf"},             {"V_VP9", "ivf"},              {"V_AV1", "ivf"},
    {"V_THEORA", "ogg"},          {"A_AAC", "adts"},             {"A_AC3", "ac3"},
    {"A_EAC3", "eac3"},           {"A_DTS", "dts"},              {"A_TRUEHD", "truehd"},
    {"A_MPEG/L3", "mp3"},         {"A_MPEG/L2", "mp2"},          {"A_MPEG/L1", "mp2"},
    {"A_VORBIS", "ogg"},          {"A_OPUS", "ogg"},             {"A_FLAC", "flac"},
    {"A_PCM", "wav"},             {"A_ALAC", "caf"},             {"A_TTA1", "tta"},
    {"A_WAVPACK4", "wv"},         {"S_TEXT/UTF8", "srt"},        {"S_TEXT/ASS", "ass"},
    {"S_TEXT/SSA", "ass"},        {"S_HDMV/PGS", "sup"},
};

std::string MuxerFor(const std::string& codecId) {
  for (const Written& w : kWritten) {
    const std::string_view id = w.codecId;
    if (codecId == id || (codecId.size() > id.size() && StartsWith(codecId, id) && codecId[id.size()] == '/')) {
      return w.muxer;
    }
  }
  return "matroska";  // a codec without a file format of its own keeps its Matroska wrapping
}

bool Missing(const std::string& path) {
  std::error_code ec;
  return !IsFile(path) || std::filesystem::file_size(path, ec) == 0 || ec;
}

}  // namespace

Args FfmpegExtractLine(const std::string& source, const std::vector<TrackTarget>& targets) {
  MatroskaHeader header;
  std::string error;
  if (!ReadMatroskaHeader(source, header, error)) return {};
  // "file:" keeps a name that looks like an option or a protocol a file name.
  Args argv = {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "file:" + source};
  bool any = false;
  for (const TrackTarget& t : targets) {
    if (t.ordinal < 1 || t.ordinal > header.tracks.size()) continue;
    const MatroskaTrack& track = header.tracks[t.ordinal - 1];
    const std::string muxer = MuxerFor(track.codecId);
    argv.insert(argv.end(), {"-map", "0:" + std::to_string(t.ordinal - 1), "-c", "copy"});
    // The raw H.264 and HEVC muxers turn length-prefixed frames into an Annex B stream, with
    // the parameter sets in front, whether the track header held them or the frames do.
    argv.insert(argv.end(), {"-f", muxer, "file:" + t.path});
    any = true;
  }
  return any ? argv : Args{};
}

int ExtractMissingWithFfmpeg(std::string_view role, const std::string& source,
                             const std::vector<TrackTarget>& targets, int mkvextractCode) {
  std::vector<TrackTarget> missing;
  for (const TrackTarget& t : targets) {
    if (Missing(t.path)) missing.push_back(t);
  }
  if (missing.empty()) return mkvextractCode;
  const Args argv = FfmpegExtractLine(source, missing);
  if (argv.empty()) return mkvextractCode;
  for (const TrackTarget& t : missing) {
    std::cerr << role << ": mkvextract left no file for track " << t.ordinal << "; FFmpeg extracts it" << std::endl;
  }
  OutputGuard guard{{}, {source}, 1};
  for (const TrackTarget& t : missing) guard.outputs.push_back(t.path);
  const int code = RunProgramLeavingWholeFiles(role, argv, guard);
  // A track without a single frame (a file cut off after its header) leaves an empty file,
  // which the stages would take for an extracted track.
  for (const TrackTarget& t : missing) {
    std::error_code ec;
    if (IsFile(t.path) && std::filesystem::file_size(t.path, ec) == 0) std::filesystem::remove(t.path, ec);
  }
  return code;
}

}  // namespace parvela::toolkit
