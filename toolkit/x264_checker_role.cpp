// x264_checker "<source.mkv>" "<report>": judges the first video track's H.264 sequence
// parameter set, read from the track header alone (its avcC record), against what the
// consoles decode.
#include <fstream>
#include <iostream>

#include "streams/h264_sps.h"
#include "matroska_header.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "x264_checker";

const char* Verdict(bool ok) { return ok ? "[OK]" : "[FAILED]"; }

std::vector<std::string> Findings(const MatroskaTrack& track, const Sps& s) {
  unsigned dpb = Level41DpbFrames(s);
  // Consoles play 8-bit 4:2:0 Baseline, Main and High up to 1920x1088.
  bool profileOk = (s.profileIdc == 66 || s.profileIdc == 77 || s.profileIdc == 100) &&
                   s.chromaFormatIdc == 1 && s.bitDepthLuma == 8;
  bool sizeOk = s.widthMbs * 16 <= 1920 && s.FrameHeightMbs() * 16 <= 1088;
  return {
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
      "level 4.1 buffer: " + std::to_string(dpb) + " reference frames at this frame size",
      std::string("profile check: ") + Verdict(profileOk),
      std::string("size check: ") + Verdict(sizeOk),
      std::string("dpb check: ") + Verdict(s.maxNumRefFrames <= dpb),
  };
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
