// x264_checker "<source.mkv>" "<report>": judges the first video track's H.264 sequence
// parameter set, read from the track header alone (its avcC record), and its frame rate
// against what the consoles decode at level 4.1, whatever level the stream announces.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "streams/h264_sps.h"
#include "matroska_header.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "x264_checker";

const char* Verdict(bool ok) { return ok ? "[OK]" : "[FAILED]"; }

// Level 4.1, the highest level both consoles decode: its largest frame and its macroblock rate.
constexpr unsigned kMaxWidth = 1920, kMaxHeight = 1080;
constexpr double kLevel41MbRate = 245760;  // MaxMBPS: 1920x1088 at 30 frames a second

// Frames a second from the track's default duration; 0 when the track names none. The track of
// an interlaced stream may time fields: 50 of them are 25 frames.
double FrameRate(const MatroskaTrack& track, const Sps& s) {
  const double rate = track.defaultDuration ? 1e9 / static_cast<double>(track.defaultDuration) : 0;
  return !s.frameMbsOnly && rate > 31 ? rate / 2 : rate;
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// One line for each reason the consoles cannot decode the stream, even after the level byte is
// rewritten to 4.1; none when they can.
std::vector<std::string> Reasons(const Sps& s, double fps) {
  std::vector<std::string> reasons;
  const bool profileOk = s.profileIdc == 66 || s.profileIdc == 77 || s.profileIdc == 100;
  if (!profileOk) {
    reasons.push_back("reason: profile " + std::string(ProfileName(s.profileIdc)) + " (profile_idc " +
                      std::to_string(s.profileIdc) + "), the consoles decode Baseline, Main and High only");
  }
  if (s.bitDepthLuma != 8 || s.bitDepthChroma != 8) {
    reasons.push_back("reason: bit depth " + std::to_string(s.bitDepthLuma) + " (chroma " +
                      std::to_string(s.bitDepthChroma) + "), the consoles decode 8 bits only");
  }
  if (s.chromaFormatIdc != 1) {
    static const char* kChroma[] = {"4:0:0", "4:2:0", "4:2:2", "4:4:4"};
    reasons.push_back("reason: chroma " + std::string(s.chromaFormatIdc < 4 ? kChroma[s.chromaFormatIdc] : "other") +
                      ", the consoles decode 4:2:0 only");
  }
  if (s.Width() > kMaxWidth || s.Height() > kMaxHeight) {
    reasons.push_back("reason: frame " + std::to_string(s.Width()) + "x" + std::to_string(s.Height()) +
                      " larger than 1920x1080");
  }
  const double mbRate = s.FrameMbs() * fps;
  if (mbRate > kLevel41MbRate) {
    reasons.push_back("reason: " + Fixed(mbRate, 0) + " macroblocks a second at " + Fixed(fps, 3) +
                      " frames a second, above level 4.1's 245760");
  }
  const unsigned dpb = Level41DpbFrames(s);
  if (s.maxNumRefFrames > dpb) {
    reasons.push_back("reason: " + std::to_string(s.maxNumRefFrames) + " reference frames, the level 4.1 buffer holds " +
                      std::to_string(dpb));
  }
  return reasons;
}

// The report's last line is the verdict Parvela reads: "dpb check: [FAILED]" for every stream
// the consoles cannot decode, whatever the reason.
std::vector<std::string> Findings(const MatroskaTrack& track, const Sps& s) {
  const unsigned dpb = Level41DpbFrames(s);
  const double fps = FrameRate(track, s);
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

const MatroskaTrack* FirstVideoTrack(const MatroskaHeader& header) {
  for (const auto& track : header.tracks) {
    if (TrackTypeName(track.type) == "video") return &track;
  }
  return nullptr;
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
  const MatroskaTrack* track = FirstVideoTrack(header);
  if (!track) return FailWithReport(report, "no video track in " + source, kUsageError);
  std::optional<Sps> sps = SpsFromAvcC(track->codecPrivate);
  if (!sps) return FailWithReport(report, "no H.264 sequence parameter set in the first video track", kUsageError);
  std::vector<std::string> lines = {"x264_checker: " + source};
  for (auto& line : Findings(*track, *sps)) lines.push_back(std::move(line));
  if (!WriteLines(report, lines)) return Fail(kRole, "cannot write the report " + report);
  return 0;
}

}  // namespace parvela::toolkit
