// x264_checker "<source.mkv>" "<report>": judges the first video track's H.264 sequence
// parameter set (from the track header, or from the first frame when the header has none) and
// its frame rate (the default duration's, or the average of its timestamps when it names none)
// by the rules the finished file is judged by, with the level rewritten to 4.1 as the remux does.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "analysis/analysis.h"
#include "matroska_header.h"
#include "playability/playability.h"
#include "streams/h264_sps.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "x264_checker";

// The highest level both consoles decode; a stream labelled above it is rewritten to it.
constexpr int kLevel41 = 41;

const char* Verdict(bool ok) { return ok ? "[OK]" : "[FAILED]"; }

// The rate a variable-rate track is muxed at, as inspection measures it: the average of the
// timestamps mkvextract lists. 0 when the track has fewer than two frames.
double MeasuredRate(const std::string& source, size_t trackIndex, const std::string& report) {
  const std::string timestamps = report + ".timestamps";
  std::string ignored;
  RunProgramCapture(kRole, {"mkvextract", source, "timestamps_v2", std::to_string(trackIndex) + ":" + timestamps},
                    ignored);
  const std::string rate = AverageFrameRate(timestamps);
  std::remove(timestamps.c_str());
  return rate.empty() ? 0 : std::atof(rate.c_str());
}

// Frames (or fields) a second, as the finished file will be timed; 0 when unknown.
double FrameRate(const MatroskaTrack& track, size_t trackIndex, const std::string& source, const std::string& report) {
  if (track.defaultDuration) return 1e9 / static_cast<double>(track.defaultDuration);
  return MeasuredRate(source, trackIndex, report);
}

// A track without codec private data (a browser's recording) carries its parameter sets in its
// frames: ffmpeg hands over the first one as an Annex B stream.
std::optional<Sps> SpsFromFirstFrame(const std::string& source) {
  std::string frame;
  RunProgramCapture(kRole, {"ffmpeg", "-nostdin", "-v", "error", "-i", "file:" + source, "-map", "0:v:0", "-c:v",
                            "copy", "-frames:v", "1", "-f", "h264", "-"},
                    frame);
  return SpsFromByteStream(frame);
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// One line for each limit the remuxed stream breaks on a console, worded as the verdict on the
// finished file words it (an interlaced stream timed by its fields is judged by its frames
// there too); none when some console plays it.
std::vector<std::string> Reasons(const Sps& s, double fps) {
  playability::Stream stream;
  stream.kind = playability::Stream::Kind::Video;
  stream.codec = "h264";
  stream.profile = ProfileName(s.profileIdc);
  stream.level = std::min(s.levelIdc, kLevel41);
  stream.width = static_cast<int>(s.Width());
  stream.height = static_cast<int>(s.Height());
  stream.refFrames = static_cast<int>(s.maxNumRefFrames);
  stream.fps = fps;
  stream.interlaced = !s.frameMbsOnly;
  playability::MediaFile file;
  file.container = playability::Container::Mp4;
  file.streams.push_back(stream);
  const playability::Verdict verdict = playability::Judge(file);
  std::vector<std::string> reasons;
  if (verdict.PlaysAnywhere()) return reasons;
  for (const auto& console : verdict.consoles) {
    for (const auto& reason : console.reasons) reasons.push_back("reason: " + console.console + ": " + reason);
  }
  return reasons;
}

// The report's last line is the verdict Parvela reads: "dpb check: [FAILED]" for every stream
// the consoles cannot decode, whatever the reason.
std::vector<std::string> Findings(const MatroskaTrack& track, const Sps& s, double fps) {
  const unsigned dpb = Level41DpbFrames(s);
  std::vector<std::string> lines = {
      "video track: " + std::to_string(track.number) + " (" + track.codecId + ")",
      "profile: " + std::string(ProfileName(s.profileIdc)) + " (profile_idc " + std::to_string(s.profileIdc) + ")",
      "level: " + std::to_string(s.levelIdc / 10) + "." + std::to_string(s.levelIdc % 10) +
          " (level_idc " + std::to_string(s.levelIdc) + ")",
      "seq_parameter_set_id: " + std::to_string(s.spsId),
      "chroma_format_idc: " + std::to_string(s.chromaFormatIdc) + ", bit depth " + std::to_string(s.bitDepthLuma),
      "log2_max_frame_num: " + std::to_string(s.log2MaxFrameNum),
      "pic_order_cnt_type: " + std::to_string(s.pocType),
      "max_num_ref_frames: " + std::to_string(s.maxNumRefFrames),
      "frame size: " + std::to_string(s.Width()) + "x" + std::to_string(s.Height()) + " (" +
          std::to_string(s.widthMbs) + "x" + std::to_string(s.FrameHeightMbs()) +
          " macroblocks, frame_mbs_only_flag " + std::to_string(s.frameMbsOnly) + ")",
      "frame rate: " + (fps > 0 ? Fixed(fps, 3) : std::string("unknown")),
      "level 4.1 buffer: " + std::to_string(dpb) + " reference frames at this frame size",
  };
  const std::vector<std::string> reasons = Reasons(s, fps);
  lines.insert(lines.end(), reasons.begin(), reasons.end());
  lines.push_back(std::string("dpb check: ") + Verdict(reasons.empty()));
  return lines;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& line : lines) out << line << "\r\n";
  return static_cast<bool>(out);
}

// The report is written even when the check cannot run, so that nobody waits for it in vain.
int FailWithReport(const std::string& report, const std::string& message, int code) {
  WriteLines(report, {"x264_checker: error: " + message});
  return Fail(kRole, message, code);
}

// The first video track's place in the header, counted from 0 as mkvextract counts; -1 when none.
int FirstVideoTrack(const MatroskaHeader& header) {
  for (size_t i = 0; i < header.tracks.size(); ++i) {
    if (TrackTypeName(header.tracks[i].type) == "video") return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int X264CheckerMain(const Args& args) {
  if (args.size() != 2) return Fail(kRole, "usage: x264_checker <source.mkv> <report>");
  const std::string& source = args[0];
  const std::string& report = args[1];
  if (!IsFile(source)) {
    WriteLines(report, {"x264_checker: error: cannot find " + source});
    return FailMissing(kRole, source);
  }
  std::cerr << kRole << ": reading the track headers of " << CommandText({source}) << std::endl;
  MatroskaHeader header;
  std::string error;
  if (!ReadMatroskaHeader(source, header, error)) return FailWithReport(report, error, kUsageError);
  const int index = FirstVideoTrack(header);
  if (index < 0) return FailWithReport(report, "no video track in " + source, kUsageError);
  const MatroskaTrack& track = header.tracks[static_cast<size_t>(index)];
  std::optional<Sps> sps = SpsFromAvcC(track.codecPrivate);
  if (!sps) {
    std::cerr << kRole << ": the track header holds no parameter set; reading them from the first frame" << std::endl;
    sps = SpsFromFirstFrame(source);
  }
  if (!sps) return FailWithReport(report, "no H.264 sequence parameter set in the first video track", kUsageError);
  const double fps = FrameRate(track, static_cast<size_t>(index), source, report);
  std::vector<std::string> lines = {"x264_checker: " + source};
  for (auto& line : Findings(track, *sps, fps)) lines.push_back(std::move(line));
  if (!WriteLines(report, lines)) return Fail(kRole, "cannot write the report " + report);
  return 0;
}

}  // namespace parvela::toolkit
