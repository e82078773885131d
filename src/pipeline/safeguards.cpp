// What the driver refuses before any tool runs: an output folder it cannot write, a frame rate
// that is no number, an output that would replace the source, and video that no tool decodes.
// Each ends the run with a message. And the last judgement: a finished file that plays nowhere.
#include <charconv>
#include <cmath>

#include "analysis/analysis.h"
#include "analysis/codecs.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"

namespace parvela {

void Conversion::EndRefused(const std::string& text, const std::string& title) {
  app.host.MessageBox(text, title, MsgIcon::Critical, MsgButtons::Ok);
  Progress("Conversion error.");
  CommonEnd();
}

bool Conversion::RefuseUnwritableFolder() {
  if (FolderIsWritable(f.txtTMP.Text())) return false;
  EndRefused("The output folder " + f.txtTMP.Text() + " cannot be written. Nothing was converted.",
             "Folder error");
  return true;
}

bool Conversion::RefuseSourceAsOutput() {
  // The MP4 road deletes its output before it starts afresh: the source must not be that file.
  for (const std::string& output : {Mp4OutputPath(), Out(f.baseName + ".mpg"), Out(f.baseName + ".avi")}) {
    if (!IsSameFile(output, f.strFullname)) continue;
    EndRefused("The output file " + output + " would replace the source. Choose another output folder. "
               "Nothing was converted.",
               "Folder error");
    return true;
  }
  return false;
}

bool Conversion::RefuseUnknownVideo() {
  const SourceInfo& info = app.sourceInfo;
  if (!info.videoKind.empty() || info.videoCodec.empty()) return false;
  if (VideoIsConvertible(info)) {
    // Whatever the box says, only re-encoding makes such a video playable.
    if (!f.chkMP2.Checked()) f.chkMP2.SetValue(1);
    return false;
  }
  EndRefused("The video of this source (" + info.videoCodec + ") is in a format that no tool of Parvela "
             "decodes. Nothing was converted.",
             "Video error");
  return true;
}

// The encoders and the muxer take the rate as it is typed; "25 fps" or "0" would give a film
// without a valid timing.
bool Conversion::RefuseBadFrameRate() {
  const std::string rate = TrimBlanks(f.fpsText);
  double value = 0;
  const char* end = rate.data() + rate.size();
  auto [stop, error] = std::from_chars(rate.data(), end, value);
  if (!rate.empty() && error == std::errc() && stop == end && std::isfinite(value) && value > 0) return false;
  EndRefused("The frame rate in the \"FPS\" box, \"" + f.fpsText + "\", is not a positive number (for example 23.976 "
             "or 25). Nothing was converted.",
             "FPS error");
  return true;
}

bool Conversion::PlaysOnAConsole(const std::string& path) { return AcceptOutput(path, JudgeOutput(path)); }

Conversion::OutputJudgement Conversion::JudgeOutput(const std::string& path) {
  OutputJudgement judgement;
  judgement.playsNowhere = f.judgeOutput ? f.judgeOutput(path) : std::string();
  // A file no console plays is not measured: it is rejected already.
  if (judgement.playsNowhere.empty()) judgement.notWhole = LengthsDisagree(path);
  return judgement;
}

bool Conversion::AcceptOutput(const std::string& path, const OutputJudgement& judgement) {
  if (!judgement.playsNowhere.empty()) {
    return RejectOutput(path, path + " plays on neither console (" + judgement.playsNowhere + ").", "Playback error");
  }
  if (!judgement.notWhole.empty()) {
    return RejectOutput(path, path + " is not the whole film: " + judgement.notWhole + ".", "Length error");
  }
  for (ConversionJob::KeptOutput& kept : f.keptOutputs) {
    if (FolderPart(kept.path) == f.outputFolder && IsOutputName(FileNamePart(kept.path))) kept.replaced = true;
  }
  return true;
}

// A finished file the run will not call done: it stays, with the temporary files, for inspection.
bool Conversion::RejectOutput(const std::string& path, const std::string& why, const std::string& title) {
  f.outputPath = path;  // the front end still shows its verdict
  Progress("Conversion error.");
  app.host.MessageBox(why + " The file and the temporary files are kept for inspection.", title, MsgIcon::Critical,
                      MsgButtons::Ok);
  return false;
}

}  // namespace parvela
