#include "pipeline/stoppable_run.h"

#include "fsutil/fsutil.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

namespace {

std::string WithSep(const std::string& folder) {
  return !folder.empty() && folder.back() == kSep ? folder : folder + kSep;
}

}  // namespace

StoppableRun::StoppableRun(Form1& form)
    : f_(form), before_(TakeFolderSnapshot(WithSep(form.txtTMP.Text()))), sourceText_(form.txtFile.Text()) {
  ++f_.runDepth;  // Stop shows once the first tool runs (Form1's step meter observer)
}

StoppableRun::~StoppableRun() {
  --f_.runDepth;
  f_.app.stopRequested = false;
  if (!f_.batchRunning) f_.cmdStop.SetVisible(false);
}

// The temporary files have fixed names, so a leftover of an earlier failed run that this run
// rewrote is this run's too; an output or a folder of pieces is this run's only when it is new.
bool StoppableRun::MadeByRun(const std::string& name, bool isNew) const {
  const std::string path = before_.folder + name;
  for (const std::string& source : {sourceText_, f_.strFilename, f_.strFullname}) {
    if (!source.empty() && IsSameFile(path, TrimBlanks(source))) return false;
  }
  if (name.starts_with("movie") || name == "parvela.amg") return true;
  if (!isNew) return false;
  const std::string& base = f_.baseName;
  const bool output = !base.empty() && (name == Mp4OutputName(base) || name == base + ".mpg" ||
                                        name == base + ".avi" || name == base + ".m2ts");
  return output || name == "split" || name.starts_with("split-");
}

void StoppableRun::EndStopped() {
  DeleteRunLeftovers(before_, [this](const std::string& name, bool isNew) { return MadeByRun(name, isNew); });
  ResetRunState();
  f_.SetProgress(kStoppedText);
  f_.app.host.SetTopmost(true);
}

void StoppableRun::EndCrashed(const std::string& how) {
  ResetRunState();
  f_.SetProgress("Conversion error.");
  f_.app.host.MessageBox(how + ", so the conversion ended. The temporary files are kept for inspection.",
                         "Tool error", MsgIcon::Critical, MsgButtons::Ok);
  f_.app.host.SetTopmost(true);
}

// A split run's flags and the source box, as they were before the run.
void StoppableRun::ResetRunState() {
  f_.bSplit = false;
  f_.bSubs = false;
  f_.strH264Bitrate.clear();
  f_.outputPath.clear();
  if (!f_.batchRunning) f_.lblMulti.SetVisible(false);
  f_.txtFile.SetText(sourceText_);
  f_.strFullname = sourceText_;
  f_.strSubBrowse.clear();
}

void Form1::cmdStop_Click() {
  if (runDepth == 0 && !batchRunning) return;
  if (batchRunning) {
    app.stopBatch = app.host.MessageBox("Stop the whole batch? \"No\" stops only the file being converted and "
                                        "goes on with the next one.",
                                        "Stop", MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
  }
  app.stopRequested = true;
  TerminateRunningTool();
}

}  // namespace parvela
