// Source inspection: mkvinfo describes the source, the parser reads the report, and for H.264
// the checker decides whether the stream must be re-encoded.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/report_text.h"
#include "analysis/codecs.h"
#include "fsutil/fsutil.h"
#include "process/process.h"
#include "ui/form1.h"

namespace parvela {

namespace {

// The tool has already ended when the runner returns, so a report that is not there after a
// short grace period (a slow file system) is not coming.
constexpr int kReportPollMs = 50;
constexpr int kReportWaitMs = 3000;

constexpr const char* kInspectionErrorTitle = "Inspection error";

bool WaitForReport(Application& app) {
  const std::string report = app.InfoReportPath();
  for (int waited = 0;; waited += kReportPollMs) {
    if (FileIsPresent(report)) return true;
    if (waited >= kReportWaitMs) return false;
    app.host.DoEvents();
    app.sleeper.Sleep(kReportPollMs);
  }
}

// Every Matroska file starts with the EBML header's identifier. Only a file that can be read
// and holds something else is refused here; anything shorter is left to mkvinfo's report.
bool IsNotMatroska(const std::string& source) {
  static const char kEbmlId[] = {'\x1A', '\x45', '\xDF', '\xA3'};
  char head[sizeof kEbmlId] = {};
  return ReadFileStart(source, head, sizeof head) == sizeof head &&
         !std::equal(head, head + sizeof head, kEbmlId);
}

void ShowInspectionError(Application& app, const std::string& text);

// Named as what it is, rather than left to fail later for want of tracks.
bool RefusedAsNotMatroska(Form1& form, const std::string& source) {
  if (!IsNotMatroska(source)) return false;
  form.inspectionProblem = "not a Matroska file";
  ShowInspectionError(form.app, source + " is not a Matroska file.");
  return true;
}

void ShowInspectionError(Application& app, const std::string& text) {
  app.host.MessageBox(text, kInspectionErrorTitle, MsgIcon::Critical, MsgButtons::Ok);
}

void ShowNoReport(Application& app, const std::string& toolName, const std::string& toolPath) {
  ShowInspectionError(
      app, toolName + " wrote no report (" + app.InfoReportPath() + "). Is " + toolPath + " installed?");
}

// Sets "MPEG2 Recode" and runs its handler exactly once, whether or not the value changed.
void SetRecode(Form1& form, int value) {
  const bool unchanged = form.chkMP2.Value() == value;
  form.chkMP2.SetValue(value);  // a change runs the handler by itself
  if (unchanged) form.chkMP2_Click();
}

// A checker that leaves no report counts as a pass: a missing checker must not switch a source
// to re-encoding on a guess.
void CheckAvcPlayability(Form1& form, const std::string& source) {
  Application& app = form.app;
  DeleteFile(app.InfoReportPath());
  app.runner.RunAndWait(Quoted(form.tools.x264CheckerPath) + " " + Quoted(source) + " " +
                        Quoted(app.InfoReportPath()));
  bool playable = true;
  if (WaitForReport(app)) {
    playable = ReadCheckerVerdict(form);
  } else {
    ShowNoReport(app, "x264_checker", form.tools.x264CheckerPath);
  }
  if (!playable) {
    if (!app.bBatch && !app.bCmdLine && !form.bSplit) {
      app.host.MessageBox(
          "This AVC file is not playable on PS3 or 360. Setting mpeg2 output to convert to playable format.",
          "", MsgIcon::None, MsgButtons::Ok);
    }
    SetRecode(form, 1);
  } else if (!form.bSplit) {
    SetRecode(form, 0);
  }
}

// mkvmerge writes no default duration for a track of variable frame rate (screen and phone
// recordings): the rate is then measured from the track's timestamps. Without them the common
// rate of such recordings stands in.
constexpr const char* kAssumedVariableRate = "30.000";

// mkvextract's list of a track's timestamps (by default the video track's), in the state
// folder; the caller deletes it.
std::string ListTimestamps(Form1& form, const std::string& source, const std::string& track = {}) {
  Application& app = form.app;
  const std::string timestamps = app.stateFolder + kSep + "timestamps.txt";
  DeleteFile(timestamps);
  app.runner.RunAndWait(Quoted(form.tools.strMKV) + " timecodes_v2 " + Quoted(source) + " " +
                        (track.empty() ? form.txtS1.Text() : track) + ":" + Quoted(timestamps));
  return timestamps;
}

size_t FramesOfTrack(Form1& form, const std::string& source, const std::string& track = {}) {
  const std::string timestamps = ListTimestamps(form, source, track);
  const size_t frames = TimestampCount(timestamps);
  DeleteFile(timestamps);
  return frames;
}

void MeasureFrameRate(Form1& form, const std::string& source) {
  Application& app = form.app;
  const std::string timestamps = ListTimestamps(form, source);
  std::string rate = AverageFrameRate(timestamps);
  DeleteFile(timestamps);
  if (rate.empty()) rate = kAssumedVariableRate;
  form.txtSFPS.SetText(rate);
  AppendTextLine(app.DebugLogPath(),
                 "Variable frame rate on track " + form.txtS1.Text() + ": average " + rate + " fps");
}

// Ends an inspection that found nothing to convert, saying why.
bool Refuse(Form1& form, const std::string& problem, const std::string& text) {
  form.inspectionProblem = problem;
  form.app.sourceInfo.videoKind.clear();
  ShowInspectionError(form.app, text + " Nothing can be converted.");
  return false;
}

bool RefuseNoPicture(Form1& form, const std::string& source) {
  return Refuse(form, "holds no picture",
                source + " holds no picture: its video track has no frame (the file may end after its header).");
}

const ProbedStream* ProbedVideo(const Form1& form, const SourceProbe& probe) {
  const int track = std::atoi(form.txtS1.Text().c_str());
  if (const ProbedStream* chosen = track > 0 ? probe.Stream(static_cast<size_t>(track - 1), "video") : nullptr) {
    return chosen;
  }
  for (const ProbedStream& s : probe.streams) {
    if (s.type == "video") return &s;
  }
  return nullptr;
}

// Of the first video track only: the one the MP4 is made of.
std::optional<double> FirstVideoStart(const SourceProbe& probe) {
  for (const ProbedStream& s : probe.streams) {
    if (s.type == "video") return s.start;
  }
  return std::nullopt;
}

// A track that gave no sound in the first seconds although FFmpeg read it, or that lacks what a
// decoder needs (its channel count, a known format); a track that merely starts later is not one.
bool Undecodable(const ProbedStream& s) {
  return s.frames == 0 && (s.packets > 0 || s.channels == 0 || s.codec == "unknown");
}

// An undecodable track of which FFmpeg read not one packet may hold no frame in the whole file
// (a capture whose sound failed); only then is the whole file read, by mkvextract.
bool HoldsNoSound(Form1& form, const std::string& source, const ProbedStream& s, const AudioTrackRow& row) {
  return s.packets == 0 && FramesOfTrack(form, source, row.trackNumber) == 0;
}

// A source whose every audio track holds no sound loses nothing when made silent, as a source
// without audio is.
void LeaveOutSoundlessAudio(Form1& form, int soundless) {
  SourceInfo& info = form.app.sourceInfo;
  if (soundless == 0 || soundless != form.cmbAudio.ListCount() || soundless != info.audioTrackCount) return;
  info.audioTrackCount = 0;
  info.audioHoldsNoSound = true;
  form.txtS2.SetText("");
  AppendTextLine(form.app.DebugLogPath(), "No audio track holds a frame: the output is silent");
}

void MarkUndecodableAudio(Form1& form, const std::string& source, const SourceProbe& probe) {
  int soundless = 0;
  for (int i = 0; i < form.cmbAudio.ListCount() && i < kTrackRows; ++i) {
    AudioTrackRow& row = form.app.sourceInfo.audioTracks[static_cast<size_t>(i)];
    const int track = std::atoi(row.trackNumber.c_str());
    const ProbedStream* s = track > 0 ? probe.Stream(static_cast<size_t>(track - 1), "audio") : nullptr;
    row.undecodable = s && Undecodable(*s);
    row.start = s ? s->start : std::nullopt;
    if (row.undecodable && HoldsNoSound(form, source, *s, row)) ++soundless;
  }
  LeaveOutSoundlessAudio(form, soundless);
}

// What FFmpeg makes of the source: a film without a single picture is refused here, before any
// tool of the conversion runs. False after the message.
bool RefuseWithoutPicture(Form1& form, const std::string& source, const SourceProbe& probe) {
  if (!probe.ran) return true;
  if (!probe.read) {
    // FFmpeg cannot read the file; mkvextract may still find the frames of a video that needs no
    // decoding, while any other must be decoded.
    if (FramesOfTrack(form, source) == 0) return RefuseNoPicture(form, source);
    if (!form.app.sourceInfo.videoKind.empty()) return true;
    return Refuse(form, "cannot be read by FFmpeg",
                  source + " cannot be read by FFmpeg (it may be damaged or cut short), so its video cannot be "
                           "decoded.");
  }
  const ProbedStream* video = ProbedVideo(form, probe);
  const bool anySound = std::any_of(probe.streams.begin(), probe.streams.end(),
                                    [](const ProbedStream& s) { return s.type == "audio" && s.packets > 0; });
  if (video && video->packets == 0 && video->frames == 0 && !anySound) return RefuseNoPicture(form, source);
  form.app.sourceInfo.ffmpegDecodesVideo = video && video->frames > 0;
  form.app.sourceInfo.videoStart = FirstVideoStart(probe);
  MarkUndecodableAudio(form, source, probe);
  return true;
}

}  // namespace

bool ReadCheckerVerdict(Form1& form) {
  const std::string report = form.app.InfoReportPath();
  std::vector<std::string> lines;
  ReadTextLines(report, lines);
  bool passed = true;
  {
    // Without a debug log the verdict still counts; only its record is lost.
    analysis::DebugLog log(form.app.DebugLogPath());
    for (const std::string& line : lines) {
      if (log.IsOpen()) log.Write(line);
      if (Contains(line, "dpb check: [FAILED]")) passed = false;
    }
  }
  DeleteFile(report);
  form.app.sourceInfo.checkerFindings = std::move(lines);  // the plan names the profile and the reasons
  return passed;
}

bool Form1::ReadInfo(const std::string& sourcePath) {
  const bool inspected = Inspect(sourcePath);
  // However the inspection ends, the command line's explicit choices are applied after it; a
  // source that cannot meet them (no audio track in the language asked for) is not converted.
  const bool accepted = !app.afterInspection || app.afterInspection(sourcePath);
  return inspected && accepted;
}

bool Form1::Inspect(const std::string& sourcePath) {
  if (tools.strMKVInfo.empty()) tools.Fill(app.appFolder);
  const std::string source = TrimBlanks(sourcePath);
  inspectedSource.clear();
  inspectionProblem = "could not be inspected";

  // A report left over from an interrupted run must not pass for this source's.
  DeleteFile(app.InfoReportPath());
  app.runner.RunAndWait(Quoted(tools.strMKVInfo) + " " + Quoted(source) + " -o " +
                        Quoted(app.InfoReportPath()));
  // A failed inspection leaves the source uninspected, so that "Convert" tries again.
  if (!WaitForReport(app)) {
    app.sourceInfo.videoKind.clear();
    if (!RefusedAsNotMatroska(*this, source)) ShowNoReport(app, "mkvinfo", tools.strMKVInfo);
    return false;
  }
  if (!ParseSourceReport(*this)) {
    app.sourceInfo.videoKind.clear();
    ShowInspectionError(app, "The debug log (" + app.DebugLogPath() + ") cannot be written.");
    return false;
  }
  // A report without any video track may be no Matroska file at all.
  const bool anyVideo = !app.sourceInfo.videoKind.empty() || !app.sourceInfo.videoCodec.empty();
  if (!anyVideo && RefusedAsNotMatroska(*this, source)) return false;
  const SourceProbe probe = ProbeSource(app, source);
  // A source without video is refused when its tracks, or FFmpeg, say so.
  if (!anyVideo && (app.sourceInfo.trackCount > 0 || probe.ran)) {
    return Refuse(*this, "has no video track", source + " has no video track: there is no picture to convert.");
  }
  if (!RefuseWithoutPicture(*this, source, probe)) return false;
  inspectedSource = source;
  // Only video that some road converts needs its rate.
  const bool convertible = VideoIsConvertible(app.sourceInfo);
  if (app.sourceInfo.videoRateMissing && convertible) MeasureFrameRate(*this, source);
  const std::string& kind = app.sourceInfo.videoKind;
  if (kind == "vc1") {
    chkVob.SetEnabled(false);
    chk25.SetEnabled(false);
    chkFF.SetEnabled(false);
  } else if (kind == "avc") {
    CheckAvcPlayability(*this, source);
  } else if (kind.empty() && VideoIsConvertible(app.sourceInfo)) {
    SetRecode(*this, 1);  // no console plays it as it is: the chosen target is made from it
  }
  return true;
}

}  // namespace parvela
