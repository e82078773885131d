// Start-up, the command-line argument, folder batches and the register batch file.
#include <cctype>
#include <vector>

#include "fsutil/fsutil.h"
#include "pipeline/pipeline.h"
#include "ui/form1.h"

namespace parvela {

namespace {

std::string WithSep(const std::string& folder) {
  return !folder.empty() && folder.back() == kSep ? folder : folder + kSep;
}

std::string DropLast(const std::string& text, size_t count) {
  return text.size() < count ? std::string() : text.substr(0, text.size() - count);
}

bool HasMkvExtension(const std::string& text) {
  if (text.size() < 4) return false;
  std::string tail = text.substr(text.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return tail == ".MKV";
}

// A source counts as converted when its output already lies in the output folder. Besides the
// two names the batch always looked for, the MP4 road's own name counts: without it a source
// with dots in its name would be converted again on every batch.
bool AlreadyConverted(const std::string& outputFolder, const std::string& name) {
  const std::string folder = WithSep(outputFolder);
  const std::string stem = DropLast(name, 3);  // "film.mkv" -> "film."
  return FileIsPresent(folder + stem + "mp4") || FileIsPresent(folder + stem + "mpg") ||
         FileIsPresent(folder + Mp4OutputName(DropLast(name, 4)));
}

struct Batch {
  std::string sourceFolder;  // ends in the separator
  std::vector<std::string> names;
  std::string outputFolder;  // for the skip test only
  bool interactive;          // the "Folder" button repaints once more per file
};

// What became of each file of a batch, for the summary at its end.
struct BatchTally {
  size_t total = 0, converted = 0, skipped = 0, notStarted = 0;
  std::vector<std::string> failed;  // "name — reason"
};

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Summary(const BatchTally& t) {
  std::string text = Plural(t.total, "file", "files") + ": ";
  if (t.skipped == t.total) return text + "all skipped (already converted)";
  text += std::to_string(t.converted) + " converted, " + std::to_string(t.skipped) + " skipped (already converted), " +
          std::to_string(t.failed.size()) + " failed";
  for (size_t i = 0; i < t.failed.size(); ++i) text += (i == 0 ? ": " : ", ") + t.failed[i];
  if (t.notStarted > 0) text += "; batch stopped, " + std::to_string(t.notStarted) + " not started";
  return text;
}

// A conversion counts as done when its road finished an output or said so itself (the VC-1
// road leaves its streams without one output file).
bool ConversionDone(Form1& form) {
  const std::string& line = form.txtProgress.Text();
  return !form.lastOutputPath.empty() || line == "Conversion done" || line == "Conversion Done";
}

void RunBatch(Form1& form, const Batch& batch) {
  const size_t count = batch.names.size();
  BatchTally tally;
  tally.total = count;
  form.batchRunning = true;
  form.app.stopBatch = false;
  form.cmdStop.SetVisible(true);
  for (size_t i = 0; i < count; ++i) {
    if (form.app.stopBatch) {
      tally.notStarted = count - i;
      break;
    }
    form.lblMulti.SetCaption(std::to_string(i + 1) + " of " + std::to_string(count));
    form.lblMulti.SetVisible(true);
    form.app.host.Repaint();
    const std::string full = batch.sourceFolder + batch.names[i];
    form.strFullname = full;
    if (AlreadyConverted(batch.outputFolder, batch.names[i])) {
      ++tally.skipped;
      continue;
    }
    form.unattendedNote.clear();
    // Its message was shown (or noted); converting would only inspect it again.
    if (!form.ReadInfo(full)) {
      tally.failed.push_back(batch.names[i] + " \u2014 " + form.inspectionProblem);
      continue;
    }
    form.txtFile.SetText(full);
    if (batch.interactive) form.app.host.Repaint();
    form.strFilename = full;
    form.Command2_Click();
    form.bSplit = false;
    if (form.txtProgress.Text() == kStoppedText) {
      tally.failed.push_back(batch.names[i] + " \u2014 stopped");
    } else if (ConversionDone(form)) {
      ++tally.converted;
    } else {
      // A message of Parvela's own that the batch did not wait on says more than the progress line.
      const std::string why = form.unattendedNote.empty() ? form.txtProgress.Text() : form.unattendedNote;
      tally.failed.push_back(batch.names[i] + " \u2014 " + why);
    }
  }
  form.batchRunning = false;
  form.app.stopBatch = false;
  form.app.stopRequested = false;
  form.cmdStop.SetVisible(false);
  form.lblMulti.SetVisible(false);
  if (form.onBatchFinished) form.onBatchFinished(Summary(tally));
}

std::vector<std::string> MkvFilesIn(const std::string& folder) {
  std::vector<std::string> names = FindFiles(WithSep(folder) + "*.mkv");
  if (names.front().empty()) names.clear();
  return names;
}

// A batch over a folder without MKV files would otherwise end in silence, as if it had worked.
void ShowNoMkvFound(Form1& form, const std::string& folder) {
  form.app.host.MessageBox("No MKV file was found in " + folder + ". Nothing was converted.", "Folder error",
                           MsgIcon::Critical, MsgButtons::Ok);
}

std::string RegisterLine(const std::string& component) { return "regsvr32 \"" + component + "\""; }

}  // namespace

void Form1::Form_Load() {
  LoadSettings();
  cmdLine();
}

void Form1::cmdLine() {
  // The argument is one path, taken whole: not split at blanks, quotes kept.
  const std::string text = app.argumentText;
  app.bCmdLine = !text.empty();
  if (text.empty()) return;
  if (HasMkvExtension(text) && FileIsPresent(text)) cmdlineFile(text);
  if (FolderExists(text)) cmdlineFolder(text);
}

void Form1::cmdlineFile(const std::string& strFile) {
  if (!ReadInfo(strFile)) return;  // shown once; "Convert" would only try again
  txtFile.SetText(strFile);
  strFullname = strFile;
  Command2_Click();
}

void Form1::cmdlineFolder(const std::string& strpath) {
  app.bBatch = true;
  bSplit = false;
  if (strpath.empty()) return;
  Batch batch{WithSep(strpath), {}, txtTMP.Text(), false};
  batch.names = MkvFilesIn(strpath);
  if (batch.names.empty()) {
    ShowNoMkvFound(*this, strpath);
    return;
  }
  RunBatch(*this, batch);
}

void Form1::cmdFolder_Click() {
  app.host.SetTopmost(true);
  lblSRTFound.SetVisible(false);
  cmbSubs.SetVisible(false);
  app.bBatch = true;
  bSplit = false;

  const std::string folder =
      app.host.BrowseForFolder("Please select a folder with MKV files to be converted.");
  if (folder.empty()) return;
  Batch batch{WithSep(folder), MkvFilesIn(folder), {}, true};
  if (batch.names.empty()) {
    ShowNoMkvFound(*this, folder);
    return;
  }

  const bool intoSource = app.host.MessageBox("Store resulting files in source folder ?", "",
                                              MsgIcon::None, MsgButtons::YesNo) == MsgAnswer::Yes;
  const std::string remembered = txtTMP.Text();
  if (intoSource) txtTMP.SetText(batch.sourceFolder);
  batch.outputFolder = intoSource ? folder : remembered;

  RunBatch(*this, batch);
  // The driver adds the missing separator again on its next run.
  txtTMP.SetText(intoSource ? folder : remembered);
}

void Form1::Form_DblClick() {
  const std::string batchFile = app.stateFolder + kSep + "register.bat";
  DeleteFile(batchFile);  // a read-only file stays, and is not written either
  WriteTextLines(batchFile, {RegisterLine(app.appFolder + kSep + "FSFWrap.dll"),
                             RegisterLine(app.appFolder + kSep + "WAVDEST.AX")});
}

}  // namespace parvela
