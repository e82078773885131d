#include <utility>

#include "analysis/codecs.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "pipeline/stoppable_run.h"
#include "pipeline/tool_progress.h"
#include "process/process.h"
#include "streams/streams.h"

namespace parvela {

namespace {

constexpr const char* kDefaultH264Opts =
    ":threads=auto:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8:"
    "me=hex:me_range=16:subq=5:chroma_me:mixed_refs:bime:trellis=1:weight_b:b_pyramid:nr=0";
constexpr const char* kDefaultSubOpts = "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 5";

constexpr int kConvMpeg2 = 0;
constexpr int kConvH264 = 1;
constexpr int kConvXvid = 2;

}  // namespace

namespace {

// Runs the driver once and tells the front end of the file it finished. Taken, so that a split
// run, whose pieces have each reported their own file, reports none of its own.
void RunAndReport(Form1& form) {
  Conversion(form).Run();
  std::string finished = std::exchange(form.outputPath, std::string());
  if (finished.empty()) return;
  form.lastOutputPath = finished;
  if (form.onOutputFinished) form.onOutputFinished(finished);
}

}  // namespace

void Form1::Command2_Click() {
  // The pieces of a split source run nested inside the outer run: only the outer one shows
  // the Stop button and cleans up after a stop.
  if (runDepth > 0) {
    RunAndReport(*this);
    return;
  }
  {
    StoppableRun run(*this);
    lastOutputPath.clear();
    app.runner.TakeBesideCrash();  // an encode an earlier run stopped was ended on purpose
    try {
      RunAndReport(*this);
      run.SettleKeptOutputs(false);
    } catch (const RunStopped&) {
      run.SettleKeptOutputs(true);
      run.EndStopped();
    } catch (const ToolCrashed& crash) {
      run.EndCrashed(crash.how);
      run.SettleKeptOutputs(false);
    }
  }
  RunEnded();
}

std::string Mp4OutputName(const std::string& baseName) {
  std::string name = baseName;
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return name + ".mp4";
}

// The step's meter follows what the tool says of its progress; a tool that says nothing shows
// a busy bar for as long as it runs.
int Conversion::Run(const std::string& commandLine) {
  StopIfAsked();
  // The video encode started beside ends before the muxer runs: a crash of it shows here.
  if (std::string crash = app.runner.TakeBesideCrash(); !crash.empty()) throw ToolCrashed{crash};
  const std::vector<std::string> args = SplitCommandLine(commandLine);
  ToolProgressReader reader(args.empty() ? std::string() : args[0]);
  f.stepMeter.Start();
  if (reader.Tells()) {
    app.runner.SetOutputObserver([this, &reader](std::string_view line) {
      if (const std::optional<double> share = reader.Read(line)) f.stepMeter.Update(*share);
    });
  }
  const int code = app.runner.RunAndWait(commandLine);
  app.runner.SetOutputObserver({});
  f.stepMeter.Stop();
  StopIfAsked();
  if (!app.runner.LastCrash().empty()) throw ToolCrashed{app.runner.LastCrash()};
  return code;
}

void Conversion::LogLine(const std::string& line) { AppendTextLine(app.DebugLogPath(), line); }

void Conversion::Delete(const std::string& name) { DeleteFile(Out(name)); }

std::string Conversion::Mp4OutputPath() const { return Out(Mp4OutputName(f.baseName)); }

void Conversion::Run() {
  f.outputPath.clear();
  if (!CheckPreconditions()) {
    // An empty source box is no fault of the folder's: say what is missing.
    if (TrimBlanks(f.txtFile.Text()).empty()) {
      app.host.MessageBox("Choose a source file first.", "Source error", MsgIcon::Critical, MsgButtons::Ok);
    } else {
      app.host.MessageBox("Output folder does not exist.", "Folder error", MsgIcon::Critical, MsgButtons::Ok);
    }
    CommonEnd();
    return;
  }
  if (RefuseUnwritableFolder()) return;
  if (!SetUp()) {
    // The message was shown; the track fields still describe an earlier source.
    Progress("Conversion error.");
    CommonEnd();
    return;
  }
  if (RefuseSourceAsOutput() || RefuseUnknownVideo() || RefuseBadFrameRate() || RefuseUndecodableAudio()) return;
  SetAsideEarlierRunsFiles();
  KeepEarlierOutputs();
  if (SplitRoadApplies() && SplitAndConvert()) return;
  const std::string& kind = app.sourceInfo.videoKind;
  if (kind == "vc1" && !f.chkMP2.Checked()) {
    ConvertVc1();
    return;
  }
  if (kind == "mpeg2") {
    RepackMpeg2();
    return;
  }
  if (Silent()) {
    Progress(app.sourceInfo.audioHoldsNoSound ? "The audio track holds no sound: the output is silent"
                                              : "No audio track: the output is silent");
  }
  CommonStartAndRoads();
}

bool Conversion::CheckPreconditions() {
  // The output folder is tested as typed, before any separator is added.
  return !f.txtFile.Text().empty() && PathExists(f.txtTMP.Text(), true);
}

bool Conversion::SetUp() {
  f.strFullname = f.txtFile.Text();
  // A path typed over the chosen one is inspected first: the tracks, the frame rate and the
  // audio format must describe the file converted, not the one chosen before.
  const bool typedOver = !f.inspectedSource.empty() && TrimBlanks(f.inspectedSource) != TrimBlanks(f.strFullname);
  if ((app.sourceInfo.videoKind.empty() || typedOver) && !f.ReadInfo(f.strFullname)) return false;
  StopIfAsked();
  f.tools.Fill(app.appFolder);
  app.host.SetTopmost(false);
  if (!Contains(f.strH264Opts, "frameref")) f.strH264Opts = kDefaultH264Opts;
  if (!Contains(f.strSubOpts, "subfont")) f.strSubOpts = kDefaultSubOpts;
  // A fresh installation selects no target, yet the checker may tick "MPEG2 Recode": take the
  // MPEG-2 target the box's caption promises, and show it. Unticked, no target is chosen, and
  // the settings keep saying so.
  if (f.cmdConv.ListIndex() < 0 && f.chkMP2.Checked()) f.cmdConv.SetListIndex(kConvMpeg2);
  ChooseAacEncoder();
  f.videoTrack = f.txtS1.Text();
  f.fpsText = f.txtSFPS.Text();
  f.fpsArg = f.fpsText;
  f.audioTrack = f.txtS2.Text();
  f.audioCodec = ChosenAudioCodec();
  f.audioExt = AudioExtFromButtons();
  if (f.audioExt.empty() && f.audioCodec) f.audioExt = f.audioCodec->extension;
  if (!EndsWith(f.txtTMP.Text(), std::string(1, kSep))) f.txtTMP.SetText(f.txtTMP.Text() + kSep);
  f.outputFolder = f.txtTMP.Text();
  f.strMKVPath = FolderPart(f.strFullname);
  const std::string name = FileNamePart(f.strFullname);
  f.baseName = name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
  f.subtitleArg.clear();
  f.subtitleFormat.clear();
  f.SaveSettings();
  return true;
}

void Conversion::ChooseAacEncoder() {
  const char* candidates[] = {"neroAacEnc_SSE2.exe", "neroAacEnc.exe", "neroAacEnc_SSE.exe"};
  f.neroFound = false;
  for (const char* candidate : candidates) {
    f.neroPath = app.appFolder + kSep + candidate;
    if (FileIsPresent(f.neroPath)) {
      f.neroFound = true;
      return;
    }
  }
}

std::string Conversion::AudioExtFromButtons() const {
  std::string ext;
  for (int i = 0; i < OptionButtons::kCount; ++i) {
    if (f.Option1.Value(i)) ext = AudioCodecOfButton(i)->extension;
  }
  return ext;
}

bool Conversion::SplitRoadApplies() {
  // The size test is the split road's own (split.cpp).
  return f.Check1.Value() == 1 && !f.bSplit && !f.bChapters && FileIsPresent(f.tools.strMKVmerge) &&
         f.cmdConv.ListIndex() != kConvXvid;
}

// A button names its format; a track of a format without one is known by its codec ID. No
// track number: the source has no audio.
const CodecInfo* Conversion::ChosenAudioCodec() const {
  if (TrimBlanks(f.audioTrack).empty()) return nullptr;
  if (const CodecInfo* button = AudioCodecOfButton(f.Option1.Selected())) return button;
  const int row = f.cmbAudio.ListIndex();
  if (row < 0 || row >= kTrackRows) return &UnknownAudioCodec();
  const CodecInfo* codec = FindCodecByMatroskaId(app.sourceInfo.audioTracks[static_cast<size_t>(row)].codecId);
  return codec ? codec : &UnknownAudioCodec();
}

bool Conversion::FfmpegDecodes() const { return f.audioCodec && f.audioCodec->decoder == AudioDecoder::Ffmpeg; }

bool Conversion::GraphDecodesChosenTrack() const { return f.cmbAudio.ListIndex() <= 0; }

int Conversion::ChosenChannels() const {
  const int row = f.cmbAudio.ListIndex();
  return row < 0 || row >= kTrackRows ? 0 : app.sourceInfo.audioTracks[static_cast<size_t>(row)].channels;
}

void Conversion::CommonStartAndRoads() {
  Progress("Extracting video/audio stream");
  if (!f.chkMP2.Checked()) ExtractTracks();
  f.recodeH264 = f.chkMP2.Checked() && f.cmdConv.ListIndex() == kConvH264;
  f.recodeXvid = f.chkMP2.Checked() && f.cmdConv.ListIndex() == kConvXvid;
  if (f.recodeH264) ReencodeH264();
  if (f.chkMP2.Checked() && f.cmdConv.ListIndex() == kConvMpeg2) {
    Mpeg2RecodeRoad();
    return;
  }
  if (f.recodeXvid) {
    XvidRoad();
    return;
  }
  AdjustHeader();
  if (f.chkVob.Checked()) {
    TransportStreamRoad();
    return;
  }
  Mp4Road();
}

void Conversion::AdjustHeader() {
  LogLine(f.lastCommand);
  if (f.recodeH264) return;  // re-encoded video already carries level 4.1
  Progress("Adjusting header");
  if (!f.chkVob.Checked()) PatchWhenExtracted(Out(app.sourceInfo.vfwVideo ? "movie_video.h264" : "movie.h264"));
}

void Conversion::CommonEnd() {
  f.strSubBrowse.clear();
  app.host.SetTopmost(true);
}

}  // namespace parvela
