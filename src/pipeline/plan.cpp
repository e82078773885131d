// The plan line and the run's steps, read against the road selection of the driver: the split
// road, the VC-1 and MPEG-2 sources, then the common start with its re-encoding targets, the
// transport stream and the MP4 road. The encoders' rates are those of the roads' command lines.
#include "pipeline/plan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/codecs.h"
#include "fsutil/fsutil.h"
#include "pipeline/pipeline.h"
#include "ui/form1.h"

namespace parvela {

namespace {

constexpr const char* kArrow = " \u2192 ";
constexpr const char* kDot = " \u00b7 ";
constexpr int kConvMpeg2 = 0, kConvH264 = 1, kConvXvid = 2;

enum class Road { Split, Vc1, Repack, Mpeg2, Xvid, Ts, Mp4 };

// What the plan needs of the source and the options, read once.
struct Facts {
  const Form1& f;
  const SourceInfo& info;
  uint64_t bytes = 0;
  double seconds = 0;  // the film's length, or an estimate from its size
  double fps = 0;
  bool recode = false;
  int target = -1;  // the re-encoding target, kConvMpeg2 when none is chosen
  std::string Finding(const char* key) const;
  std::vector<std::string> Reasons() const;
};

std::string Facts::Finding(const char* key) const {
  const std::string prefix = std::string(key) + ": ";
  for (const std::string& line : info.checkerFindings) {
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size(), line.find(" (") - prefix.size());
  }
  return {};
}

std::vector<std::string> Facts::Reasons() const {
  std::vector<std::string> reasons;
  for (const std::string& line : info.checkerFindings) {
    if (line.rfind("reason: ", 0) != 0) continue;
    // The numbers in brackets are for the log; the plan line keeps the words, once, without
    // the console the checker names it for ("PS3: ", "Xbox 360: ").
    std::string reason = line.substr(8);
    if (const size_t colon = reason.find(": "); colon != std::string::npos) reason.erase(0, colon + 2);
    for (size_t open; (open = reason.find(" (")) != std::string::npos;) {
      const size_t close = reason.find(')', open);
      if (close == std::string::npos) break;
      reason.erase(open, close - open + 1);
    }
    if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) reasons.push_back(reason);
  }
  return reasons;
}

const CodecInfo* VideoRow(const SourceInfo& info) {
  if (const CodecInfo* row = FindNotedVideoCodec(info.videoCodec)) return row;
  for (const CodecInfo& row : CodecTable()) {
    if (row.kind == CodecKind::Video && !info.videoKind.empty() && info.videoKind == row.videoKind) return &row;
  }
  return nullptr;
}

Road RoadOf(const Facts& x) {
  const Form1& f = x.f;
  const bool splits = f.Check1.Value() == 1 && !f.bSplit && !f.bChapters && f.cmdConv.ListIndex() != kConvXvid &&
                      x.bytes / 1000 >= static_cast<uint64_t>(SplitThresholdKB(f));
  if (splits) return Road::Split;
  if (x.info.videoKind == "vc1" && !x.recode) return Road::Vc1;
  if (x.info.videoKind == "mpeg2") return Road::Repack;
  if (x.recode && x.target == kConvMpeg2) return Road::Mpeg2;
  if (x.recode && x.target == kConvXvid) return Road::Xvid;
  return f.chkVob.Checked() ? Road::Ts : Road::Mp4;
}

// "H.264 High@5.1 1280x720 23.976 fps". An MPEG-2 source's rate is not read (its road copies
// the stream as it is), so the box's value would mislead.
std::string SourceVideo(const Facts& x) {
  const CodecInfo* row = VideoRow(x.info);
  std::string text = row ? row->name : x.info.videoCodec;
  const std::string profile = x.Finding("profile"), level = x.Finding("level");
  if (!profile.empty()) text += " " + profile + (level.empty() ? "" : "@" + level);
  if (x.info.videoWidth > 0 && x.info.videoHeight > 0) {
    text += " " + std::to_string(x.info.videoWidth) + "x" + std::to_string(x.info.videoHeight);
  }
  const std::string rate = TrimBlanks(x.f.txtSFPS.Text());
  if (!rate.empty() && x.info.videoKind != "mpeg2") text += " " + rate + " fps";
  return text;
}

const char* TargetFfprobeName(int target) {
  return target == kConvH264 ? "h264" : target == kConvXvid ? "mpeg4" : "mpeg2video";
}

// Why the video is re-encoded: the checker's reasons, what the table says of the format, or
// the user's own choice.
std::string RecodeReason(const Facts& x) {
  std::vector<std::string> reasons = x.Reasons();
  if (!reasons.empty()) {
    std::string text = reasons[0];
    for (size_t i = 1; i < reasons.size(); ++i) text += "; " + reasons[i];
    return text;
  }
  const CodecInfo* row = VideoRow(x.info);
  if (row && x.info.videoKind.empty()) {
    return row->consolesDecode ? std::string("no road keeps ") + row->name + " as it is"
                               : std::string("the consoles decode no ") + row->name;
  }
  return "as asked";
}

std::string VideoOutcome(const Facts& x, Road road) {
  if (road == Road::Repack) return "copied";
  if (road == Road::Vc1) return "left as its raw stream";
  if (!x.recode) {
    const std::string level = x.Finding("level");
    if (level.empty()) return "copied, level \u2192 4.1";
    return std::atof(level.c_str()) > 4.1 ? "copied, level " + level + kArrow + "4.1" : "copied, level " + level;
  }
  const CodecInfo* target = FindCodecByFfprobeName(TargetFfprobeName(x.target));
  std::string text = std::string("re-encoded to ") + (target ? target->name : "?");
  if (x.target == kConvXvid) text += " (Xvid)";
  const FrameSize made = ReencodedFrame(x.info.videoWidth, x.info.videoHeight, x.fps, TargetFfprobeName(x.target));
  if (made != FrameSize{x.info.videoWidth, x.info.videoHeight}) {
    text += ", scaled to " + std::to_string(made.width) + "x" + std::to_string(made.height);
  }
  text += " (" + RecodeReason(x) + ")";
  if (x.f.chkSubs.Checked()) text += ", subtitles burnt in";
  return text;
}

const AudioTrackRow* ChosenAudio(const Facts& x) {
  const int row = x.f.cmbAudio.ListIndex();
  if (x.info.audioTrackCount == 0 || row < 0 || row >= kTrackRows) return nullptr;
  return &x.info.audioTracks[static_cast<size_t>(row)];
}

// "AC-3 5.1 eng"
std::string SourceAudio(const AudioTrackRow& row) {
  const CodecInfo* codec = FindCodecByMatroskaId(row.codecId);
  std::string text = codec ? codec->name : row.codecId;
  if (const std::string channels = ChannelsText(row.channels); !channels.empty()) text += " " + channels;
  if (const std::string language = TrimBlanks(row.language); !language.empty()) text += " " + language;
  return text;
}

std::string AudioOutcome(const Facts& x, Road road, const AudioTrackRow& row) {
  const bool ac3 = row.codecId == "A_AC3";
  switch (road) {
    case Road::Mp4:
      return std::string("AAC stereo 224 kbit/s") + (x.f.chk25.Checked() ? ", retimed to 25 fps" : "");
    case Road::Ts:
    case Road::Mpeg2:
      if (ac3) return "kept";
      return std::string("AC-3 ") + (road == Road::Ts && row.channels > 6 ? "5.1 " : "") + "640 kbit/s";
    case Road::Xvid:
      return "AC-3 640 kbit/s";
    case Road::Repack:
      return ac3 ? "copied" : "AC-3 640 kbit/s";
    case Road::Vc1:
      return "WMA stereo 192 kbit/s";
    case Road::Split:
      break;
  }
  return {};
}

const char* Container(Road road) {
  switch (road) {
    case Road::Mp4: return "MP4";
    case Road::Ts: return "M2TS as .mpg";
    case Road::Mpeg2:
    case Road::Repack: return "MPEG program stream (.mpg)";
    case Road::Xvid: return "AVI";
    case Road::Vc1: return "raw VC-1 and WMA files";
    case Road::Split: break;
  }
  return "";
}

// The steps of one road for `share` of the source (a piece of a split), in seconds expected on
// an ordinary machine: copies by the source's size, audio by its length, encodes by its frames.
void AddRoadSteps(const Facts& x, Road road, double share, std::vector<RunStep>& steps) {
  const double gb = static_cast<double>(x.bytes) / 1e9 * share, seconds = x.seconds * share;
  const double pixels =
      x.info.videoWidth > 0 ? static_cast<double>(x.info.videoWidth) * x.info.videoHeight / (1920.0 * 1080.0) : 1;
  const double frames = seconds * (x.fps > 0 ? x.fps : 25) * pixels;
  auto add = [&](const char* text, double s, const char* kind, bool beside = false) {
    steps.push_back(RunStep{text, s, beside, kind});
  };
  if (road == Road::Vc1) {
    add("", 2 + 6 * gb + 0.03 * seconds, "vc1");
    return;
  }
  if (road == Road::Repack) {
    add("Repacking to mpeg2 container", 2 + 8 * gb, "repack");
    return;
  }
  add("Extracting video/audio stream", x.recode ? 0.5 : 2 + 6 * gb, "extract");
  const bool silent = x.info.audioTrackCount == 0;
  if (road == Road::Mpeg2 || road == Road::Xvid) {
    const bool mpeg2 = road == Road::Mpeg2;
    if (!silent) add(mpeg2 ? "Encoding mpeg2." : "Encoding Xvid.", 1 + 0.03 * seconds, "ac3");
    add(mpeg2 ? "Encoding Mpeg2" : "Encoding Xvid", 2 + frames / (mpeg2 ? 60 : 35), mpeg2 ? "mpeg2" : "xvid");
    return;
  }
  const bool h264 = x.recode && x.target == kConvH264;
  if (h264) add("Encoding H264", 2 + frames / 25, "h264", road == Road::Mp4);
  if (!h264) add("Adjusting header", 0.5 + gb, "patch");
  if (road == Road::Ts) {
    add("Adjusting Header", 1 + 3 * gb + (silent ? 0 : 0.03 * seconds), "rewrite");
    add("Muxing MPEG PS", 2 + 5 * gb, "tsmux");
    return;
  }
  const bool decodes = !silent && !x.f.chkFF.Checked() && !(x.f.Option1.Selected() == 2);
  if (decodes) add("Extracting ", 1 + 0.02 * seconds, "decode");
  if (!silent) add("Encoding Audio", 1 + 0.015 * seconds, "aac");
  add("Creating MP4", 2 + 4 * gb, "mp4mux");
  steps.back().waitsForBeside = h264;  // the muxer waits for the encode beside
  add("Cleaning temporary files", 1, "finish");
}

std::vector<RunStep> Steps(const Facts& x, Road road, Road pieceRoad) {
  std::vector<RunStep> steps;
  if (road != Road::Split) {
    AddRoadSteps(x, road, 1, steps);
    return steps;
  }
  const uint64_t threshold = static_cast<uint64_t>(SplitThresholdKB(x.f)) * 1000;
  const int pieces = static_cast<int>(std::max<uint64_t>(2, (x.bytes + threshold - 1) / threshold));
  steps.push_back(RunStep{"Splitting MKV", 3 + 10.0 * static_cast<double>(x.bytes) / 1e9, false, "split"});
  for (int i = 0; i < pieces; ++i) {
    steps.push_back(RunStep{"Performing Split file conversion", 0.1, false, "piece"});
    AddRoadSteps(x, pieceRoad, 1.0 / pieces, steps);
  }
  return steps;
}

}  // namespace

ConversionPlan PlanConversion(const Form1& f, uint64_t sourceBytes) {
  ConversionPlan plan;
  const SourceInfo& info = f.app.sourceInfo;
  Facts x{f, info};
  const std::string source = TrimBlanks(f.txtFile.Text());
  x.bytes = sourceBytes ? sourceBytes : (source.empty() ? 0 : FileSize(source));
  x.fps = std::atof(f.txtSFPS.Text().c_str());
  // Without a length in the report, a film of 8 Mbit/s stands in.
  x.seconds = info.durationSeconds > 0 ? info.durationSeconds : static_cast<double>(x.bytes) / 1e6;
  if (info.videoKind.empty() && info.videoCodec.empty()) {
    plan.refusal = info.audioTrackCount < 0 ? "not inspected" : "no video track";
    return plan;
  }
  const CodecInfo* video = VideoRow(info);
  const std::string sourceVideo = SourceVideo(x);
  if (info.videoKind.empty() && !video) {
    plan.refusal = "no tool of Parvela decodes its video (" + info.videoCodec + ")";
    plan.line = sourceVideo + kArrow + "cannot be converted: " + plan.refusal;
    return plan;
  }
  // A format without a road of its own is re-encoded whatever the box says (the driver ticks it).
  x.recode = (f.chkMP2.Checked() || info.videoKind.empty()) && info.videoKind != "mpeg2";
  x.target = f.cmdConv.ListIndex() < 0 ? kConvMpeg2 : f.cmdConv.ListIndex();
  const Road road = RoadOf(x);
  Road pieceRoad = road;
  if (road == Road::Split) {
    Facts piece = x;
    piece.bytes = 0;  // a piece is below every threshold
    pieceRoad = RoadOf(piece);
  }
  plan.line = sourceVideo + kArrow + VideoOutcome(x, pieceRoad);
  // The sources whose roads list no tracks (MPEG-2, VfW) take their first audio track.
  AudioTrackRow first;
  first.codecId = info.firstAudioCodecId;
  const AudioTrackRow* audio = ChosenAudio(x);
  if (!audio && info.audioTrackCount > 0 && !first.codecId.empty()) audio = &first;
  if (audio) {
    plan.line += kDot + SourceAudio(*audio) + kArrow + AudioOutcome(x, pieceRoad, *audio);
  } else if (info.audioTrackCount == 0) {
    plan.line += kDot + std::string(info.audioHoldsNoSound ? "audio without sound, the output is silent"
                                                           : "no audio, the output is silent");
  }
  plan.line += kDot + std::string(Container(pieceRoad));
  if (road == Road::Split) plan.line += ", split in pieces of " + std::to_string(SplitThresholdKB(f) / 1000) + " MB";
  plan.convertible = true;
  plan.steps = Steps(x, road, pieceRoad);
  return plan;
}

}  // namespace parvela
