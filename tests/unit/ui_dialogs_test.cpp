// The "File", "Browse Subs" and "Set Output" handlers, with scripted dialogs.
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::TempDir;
using testing::WriteFile;

// A report naming one text subtitle track, in the layout the report parser reads.
const char* const kReportWithSubtitles =
    "+ Segment tracks\r\n"
    "| + A track\r\n"
    "|  + Track number: 1\r\n"
    "|  + Track type: subtitles\r\n"
    "|  + Codec ID: S_TEXT/UTF8\r\n"
    "|  + Language: eng\r\n";

class UiDialogs : public ::testing::Test {
 protected:
  UiDialogs() { PlayReport(""); }

  // Source inspection waits for its report: every tool asked to write it leaves this one.
  void PlayReport(std::string report) {
    fx.runner.onRun = [this, report](const std::string& line) {
      if (line.find(fx.app.InfoReportPath()) != std::string::npos)
        WriteFile(fx.app.InfoReportPath(), report);
      return 0;
    };
  }

  void ChooseSource(const std::string& answer) {
    fx.host.fileAnswers.push_back(answer);
    f.Command1_Click();
  }

  FormFixture fx;
  Form1& f = fx.form;
  TempDir films;
};

TEST_F(UiDialogs, FileDialogAsksForMkvFromHomeWhenNoFolderIsKnown) {
  fx.app.bBatch = true;
  f.bSplit = true;
  f.chkFF.SetEnabled(false);
  f.chkVob.SetEnabled(false);
  f.lblSRTFound.SetVisible(true);
  f.cmbSubs.SetVisible(true);
  f.txtFile.SetText("/old.mkv");

  f.Command1_Click();  // cancelled

  ASSERT_EQ(fx.host.fileRequests.size(), 1u);
  const OpenFileRequest& r = fx.host.fileRequests[0];
  EXPECT_EQ(r.filterName, "mkv Files (*.mkv)");
  EXPECT_EQ(r.filterPattern, "*.MKV");
  EXPECT_EQ(r.initialFolder, fx.app.homeFolder);
  EXPECT_EQ(r.title, "Select the MKV");
  EXPECT_EQ(fx.host.log, (std::vector<std::string>{"Topmost", "OpenFileDialog Select the MKV"}));
  // What came before the dialog stays done.
  EXPECT_FALSE(fx.app.bBatch);
  EXPECT_FALSE(f.bSplit);
  EXPECT_TRUE(f.chkFF.Enabled());
  EXPECT_TRUE(f.chkVob.Enabled());
  EXPECT_FALSE(f.lblSRTFound.Visible());
  EXPECT_FALSE(f.cmbSubs.Visible());
  EXPECT_EQ(f.txtFile.Text(), "/old.mkv");
  EXPECT_TRUE(fx.runner.calls.empty());
}

TEST_F(UiDialogs, FileDialogStartsInTheLastSourceFolder) {
  f.strMKVPath = films.path() + "/";
  f.cmdSubs_Click();
  f.Command1_Click();
  ASSERT_EQ(fx.host.fileRequests.size(), 2u);
  EXPECT_EQ(fx.host.fileRequests[0].initialFolder, films.path() + "/");
  EXPECT_EQ(fx.host.fileRequests[1].initialFolder, films.path() + "/");
}

TEST_F(UiDialogs, ChosenPathLosesNulsAndBlanks) {
  const std::string movie = films / "My Movie.mkv";
  ChooseSource("  " + movie + std::string("\0\0\0", 3));
  EXPECT_EQ(f.strFullname, movie);
  EXPECT_EQ(f.strFilename, movie);
  EXPECT_EQ(f.txtFile.Text(), movie);
}

TEST_F(UiDialogs, SrtBesideTheSourceIsOffered) {
  WriteFile(films / "Movie.mkv.srt", "1\r\n");
  ChooseSource(films / "Movie.mkv");
  EXPECT_FALSE(f.lblSRTFound.Visible());
  WriteFile(films / "Movie.srt", "1\r\n");
  ChooseSource(films / "Movie.mkv");
  EXPECT_TRUE(f.lblSRTFound.Visible());
  EXPECT_TRUE(f.chkSubs.Visible());
  EXPECT_FALSE(f.chkChapters.Visible());
  EXPECT_FALSE(f.bChapters);
}

TEST_F(UiDialogs, ChaptersFileOfTheFolderIsOffered) {
  WriteFile(films / "chapters.txt", "");
  ChooseSource(films / "Movie.mkv");
  EXPECT_TRUE(f.chkChapters.Visible());
  EXPECT_TRUE(f.bChapters);
  EXPECT_FALSE(f.lblSRTFound.Visible());
}

TEST_F(UiDialogs, ChaptersFileNamedLikeTheSourceIsOffered) {
  WriteFile(films / "Movie.txt", "");
  ChooseSource(films / "Other.mkv");
  EXPECT_FALSE(f.chkChapters.Visible());
  ChooseSource(films / "Movie.mkv");
  EXPECT_TRUE(f.chkChapters.Visible());
  EXPECT_TRUE(f.bChapters);
}

TEST_F(UiDialogs, SubtitleTracksInTheSourceSkipTheFilesBesideIt) {
  WriteFile(films / "Movie.srt", "1\r\n");
  WriteFile(films / "chapters.txt", "");
  PlayReport(kReportWithSubtitles);
  // Inspection lists the track; the observer stands in while inspection is not wired in.
  f.txtFile.Observe([this] { f.cmbSubs.SetVisible(true); });
  ChooseSource(films / "Movie.mkv");
  EXPECT_TRUE(f.cmbSubs.Visible());
  EXPECT_FALSE(f.lblSRTFound.Visible());
  EXPECT_FALSE(f.chkChapters.Visible());
  EXPECT_FALSE(f.bChapters);
}

TEST_F(UiDialogs, SubtitleFileRequestAndCancel) {
  f.cmdSubs_Click();
  ASSERT_EQ(fx.host.fileRequests.size(), 1u);
  const OpenFileRequest& r = fx.host.fileRequests[0];
  EXPECT_EQ(r.filterName, "Subtitle Files");
  EXPECT_EQ(r.filterPattern, "*.srt; *.ssa; *.ass");
  EXPECT_EQ(r.initialFolder, fx.app.homeFolder);
  EXPECT_EQ(r.title, "Select the Subtitle file");
  EXPECT_EQ(fx.host.log,
            (std::vector<std::string>{"Topmost", "OpenFileDialog Select the Subtitle file"}));
  EXPECT_EQ(f.chkMP2.Value(), 0);
  EXPECT_FALSE(f.chkSubs.Visible());
  EXPECT_EQ(f.strSubBrowse, "");
}

TEST_F(UiDialogs, ChosenSubtitleFileSwitchesToRecodeWithEmbeddedSubs) {
  f.chkSubs.SetEnabled(false);
  f.cmbSubs.SetVisible(true);
  f.lblSRTFound.SetVisible(true);
  fx.host.fileAnswers.push_back(" /subs/Movie.ass " + std::string(1, '\0'));
  f.cmdSubs_Click();
  EXPECT_EQ(f.chkMP2.Value(), 1);
  EXPECT_FALSE(f.chk25.Enabled());  // by the handler of MPEG2 Recode
  EXPECT_EQ(f.chkSubs.Value(), 1);
  EXPECT_TRUE(f.chkSubs.Visible());
  EXPECT_TRUE(f.chkSubs.Enabled());
  EXPECT_FALSE(f.cmbSubs.Visible());
  EXPECT_FALSE(f.lblSRTFound.Visible());
  EXPECT_EQ(f.strSubBrowse, "/subs/Movie.ass");
}

TEST_F(UiDialogs, SubtitleFileWhileSafeSyncIsCheckedStillChecksRecode) {
  f.chkFF.SetValue(1);  // clears and disables MPEG2 Recode
  fx.host.fileAnswers.push_back("/subs/Movie.srt");
  f.cmdSubs_Click();
  EXPECT_EQ(f.chkMP2.Value(), 1);
  EXPECT_TRUE(f.chkMP2.Enabled());
  EXPECT_EQ(f.chkFF.Value(), 1);
  EXPECT_EQ(f.chkSubs.Value(), 1);
}

TEST_F(UiDialogs, SetOutputCancelKeepsTheFolder) {
  f.txtTMP.SetText("/media/old/");
  f.cmdTargetFolder_Click();
  EXPECT_EQ(f.txtTMP.Text(), "/media/old/");
  EXPECT_EQ(fx.host.log,
            (std::vector<std::string>{
                "NotTopmost",
                "BrowseForFolder Please select a folder where the converted file is stored."}));
}

TEST_F(UiDialogs, SetOutputEndsTheFolderWithOneSeparator) {
  for (auto [chosen, expected] : std::vector<std::pair<std::string, std::string>>{
           {"/media/out", "/media/out/"}, {"/", "/"}, {"/media/out/", "/media/out/"},
           {"/media/my out", "/media/my out/"}}) {
    fx.host.folderAnswers.push_back(chosen);
    f.cmdTargetFolder_Click();
    EXPECT_EQ(f.txtTMP.Text(), expected) << chosen;
  }
}

}  // namespace
}  // namespace parvela
