// The "File", "Browse Subs" and "Set Output" handlers of the main window.
#include <algorithm>

#include "fsutil/fsutil.h"
#include "ui/form1.h"

namespace parvela {

namespace {

// The dialog hands back a fixed buffer: NULs and surrounding blanks are not part of the path.
std::string CleanDialogAnswer(std::string answer) {
  answer.erase(std::remove(answer.begin(), answer.end(), '\0'), answer.end());
  return TrimBlanks(answer);
}

std::string DropLast(const std::string& text, size_t count) {
  return text.size() < count ? std::string() : text.substr(0, text.size() - count);
}

OpenFileRequest MakeRequest(const Form1& form, std::string filterName, std::string filterPattern,
                            std::string title) {
  // No folder remembered yet: the dialogs start in the design-time folder.
  std::string initial = form.strMKVPath.empty() ? form.app.dialogFolder : form.strMKVPath;
  return {std::move(filterName), std::move(filterPattern), std::move(initial), std::move(title)};
}

}  // namespace

void Form1::Command1_Click() {
  app.bBatch = false;
  app.host.SetTopmost(true);
  chkFF.SetEnabled(true);
  chkVob.SetEnabled(true);
  lblSRTFound.SetVisible(false);
  cmbSubs.SetVisible(false);
  bSplit = false;

  std::string chosen = CleanDialogAnswer(app.host.OpenFileDialog(
      MakeRequest(*this, "mkv Files (*.mkv)", "*.MKV", "Select the MKV")));
  if (chosen.empty()) return;
  strFullname = std::move(chosen);
  txtFile.SetText(strFullname);
  strFilename = strFullname;

  ReadInfo(strFullname);
  UpdatePlan();  // the checker's findings come with no change of a box

  // A subtitle track inside the source takes precedence over files lying beside it.
  if (cmbSubs.Visible()) return;
  const std::string stem = DropLast(strFullname, 3);  // "movie.mkv" -> "movie."
  if (FileIsPresent(stem + "srt")) {
    lblSRTFound.SetVisible(true);
    chkSubs.SetVisible(true);
  }
  if (FileIsPresent(FolderPart(strFullname) + "chapters.txt") || FileIsPresent(stem + "txt")) {
    chkChapters.SetVisible(true);
    bChapters = true;
  }
}

void Form1::cmdSubs_Click() {
  app.host.SetTopmost(true);
  std::string chosen = CleanDialogAnswer(app.host.OpenFileDialog(
      MakeRequest(*this, "Subtitle Files", "*.srt; *.ssa; *.ass", "Select the Subtitle file")));
  if (chosen.empty()) return;

  chkMP2.SetEnabled(true);
  chkSubs.SetEnabled(true);
  chkSubs.SetVisible(true);
  cmbSubs.SetVisible(false);
  lblSRTFound.SetVisible(false);
  chkMP2.SetValue(1);
  chkSubs.SetValue(1);
  strSubBrowse = std::move(chosen);
}

void Form1::cmdTargetFolder_Click() {
  app.host.SetTopmost(false);
  std::string folder =
      app.host.BrowseForFolder("Please select a folder where the converted file is stored.");
  if (folder.empty()) return;
  if (folder.back() != kSep) folder += kSep;
  txtTMP.SetText(folder);
}

}  // namespace parvela
