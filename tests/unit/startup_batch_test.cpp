// Start-up order, the command-line argument, folder batches and the register batch file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "form_fixture.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class Startup : public ::testing::Test {
 protected:
  Startup() {
    // Inspection waits for its report: every tool asked to write it leaves an empty one.
    fx.runner.onRun = [this](const std::string& line) {
      if (line.find(fx.app.InfoReportPath()) != std::string::npos)
        WriteFile(fx.app.InfoReportPath(), "");
      return 0;
    };
    // A source is taken on when it lands in the source box: note what the window showed then.
    f.txtFile.Observe([this] {
      Taken t{f.txtFile.Text(), f.lblMulti.Caption(), f.lblMulti.Visible(), f.txtTMP.Text(),
              fx.host.log.size()};
      taken.push_back(t);
    });
  }

  struct Taken {
    std::string source, label;
    bool labelVisible;
    std::string outputFolder;
    size_t logSize;
  };

  std::vector<std::string> TakenSources() const {
    std::vector<std::string> sources;
    for (const auto& t : taken) sources.push_back(t.source);
    return sources;
  }

  FormFixture fx;
  Form1& f = fx.form;
  TempDir films;
  TempDir out;
  std::vector<Taken> taken;
};

// --- the argument ---

TEST_F(Startup, NoArgumentLeavesTheWindowIdle) {
  fx.app.bCmdLine = true;
  f.Form_Load();
  EXPECT_FALSE(fx.app.bCmdLine);
  EXPECT_TRUE(taken.empty());
  EXPECT_TRUE(fx.runner.calls.empty());
}

TEST_F(Startup, MkvFileArgumentInAnyLetterCaseIsConverted) {
  for (const char* name : {"a.mkv", "b.MKV", "c.Mkv"}) {
    WriteFile(films / name, "x");
    fx.app.argumentText = films / name;
    f.cmdLine();
    EXPECT_EQ(f.strFullname, films / name);
  }
  EXPECT_EQ(TakenSources(), (std::vector<std::string>{films / "a.mkv", films / "b.MKV", films / "c.Mkv"}));
  EXPECT_TRUE(fx.app.bCmdLine);
  EXPECT_FALSE(fx.app.bBatch);
  EXPECT_EQ(f.lblMulti.Caption(), "");
}

TEST_F(Startup, ArgumentsThatAreNeitherAreIgnored) {
  WriteFile(films / "movie.avi", "x");
  WriteFile(films / "movie.mkv", "x");
  for (std::string arg : {films / "movie.avi", films / "missing.mkv", "\"" + (films / "movie.mkv") + "\"",
                          films / "movie.mkv "}) {
    fx.app.argumentText = arg;
    f.cmdLine();
    EXPECT_TRUE(fx.app.bCmdLine) << arg;
  }
  EXPECT_TRUE(taken.empty());
  EXPECT_FALSE(fx.app.bBatch);
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(Startup, FolderNamedLikeAnMkvIsAFolder) {
  const std::string folder = films / "x.mkv";
  std::filesystem::create_directory(folder);
  WriteFile(folder + "/inner.mkv", "x");
  f.txtTMP.SetText(out.path() + "/");
  fx.app.argumentText = folder;
  f.cmdLine();
  EXPECT_TRUE(fx.app.bBatch);
  EXPECT_EQ(TakenSources(), std::vector<std::string>{folder + "/inner.mkv"});
}

TEST_F(Startup, SettingsAreReadBeforeTheArgumentIsActedOn) {
  WriteFile(films / "film.mkv", "x");
  WriteFile(films / "next.mkv", "x");
  WriteFile(out / "film.mp4", "done");
  WriteFile(fx.appDir / "parvela.conf", "a\r\nb\r\nc\r\n" + out.path() + "\r\n 0 \r\n 1 \r\n\r\n\r\n 0 \r\n\r\n");
  fx.app.argumentText = films.path();
  f.Form_Load();
  EXPECT_EQ(TakenSources(), std::vector<std::string>{films / "next.mkv"});
  EXPECT_EQ(taken[0].outputFolder, out.path());
}

// --- the folder batch of the command line ---

TEST_F(Startup, FolderBatchTakesEveryMkvInNameOrder) {
  WriteFile(films / "b.MKV", "x");
  WriteFile(films / "a.mkv", "x");
  WriteFile(films / "notes.txt", "x");
  std::filesystem::create_directory(films / "c.mkv");
  f.txtTMP.SetText(out.path() + "/");
  f.bSplit = true;
  f.cmdlineFolder(films.path());

  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].source, films / "a.mkv");
  EXPECT_EQ(taken[0].label, "1 of 2");
  EXPECT_TRUE(taken[0].labelVisible);
  EXPECT_EQ(taken[1].source, films / "b.MKV");
  EXPECT_EQ(taken[1].label, "2 of 2");
  EXPECT_EQ(f.strFilename, films / "b.MKV");
  EXPECT_FALSE(f.lblMulti.Visible());
  EXPECT_TRUE(fx.app.bBatch);
  EXPECT_FALSE(f.bSplit);
}

TEST_F(Startup, FolderArgumentWithTrailingSeparatorGivesPlainPaths) {
  WriteFile(films / "a.mkv", "x");
  f.txtTMP.SetText(out.path() + "/");
  f.cmdlineFolder(films.path() + "/");
  EXPECT_EQ(TakenSources(), std::vector<std::string>{films / "a.mkv"});
}

TEST_F(Startup, ConvertedSourcesAreSkippedButCounted) {
  for (const char* name : {"film.mkv", "my.film.mkv", "old.mkv", "dotted.name.mkv", "new.mkv"})
    WriteFile(films / name, "x");
  WriteFile(out / "film.mp4", "");           // present and empty still counts
  WriteFile(out / "my_film.mp4", "done");    // the MP4 road's own name for my.film.mkv
  WriteFile(out / "old.mpg", "done");
  WriteFile(out / "dotted.name.mp4", "done");
  WriteFile(films / "new.mp4", "done");      // beside the source, not in the output folder
  std::filesystem::create_directory(out / "new.mpg");  // a folder is no output file
  f.txtTMP.SetText(out.path());  // no trailing separator: the skip test adds one
  f.cmdlineFolder(films.path());

  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].source, films / "new.mkv");
  EXPECT_EQ(taken[0].label, "4 of 5");
  EXPECT_EQ(f.strFullname, films / "old.mkv");  // the last name met, though skipped
  for (const auto& line : fx.runner.Lines()) EXPECT_EQ(line.find("film.mkv"), std::string::npos) << line;
}

TEST_F(Startup, FolderWithoutMkvFilesSaysSoAndConvertsNothing) {
  WriteFile(films / "movie.avi", "x");
  f.bSplit = true;
  f.cmdlineFolder(films.path());
  EXPECT_TRUE(fx.app.bBatch);
  EXPECT_FALSE(f.bSplit);
  EXPECT_EQ(f.lblMulti.Caption(), "");
  EXPECT_TRUE(f.lblMulti.Visible());  // its design-time state, untouched
  EXPECT_EQ(fx.host.log, std::vector<std::string>{"MessageBox Folder error: No MKV file was found in " +
                                                  films.path() + ". Nothing was converted."});
  EXPECT_EQ(fx.host.messages.at(0).icon, MsgIcon::Critical);
  EXPECT_TRUE(fx.runner.calls.empty());
  fx.host.log.clear();

  f.cmdlineFolder("");
  EXPECT_TRUE(fx.host.log.empty());
}

// --- the "Folder" button ---

TEST_F(Startup, FolderButtonCancelled) {
  fx.app.bBatch = false;
  f.bSplit = true;
  f.lblSRTFound.SetVisible(true);
  f.cmbSubs.SetVisible(true);
  f.cmdFolder_Click();
  EXPECT_EQ(fx.host.log, (std::vector<std::string>{
                             "Topmost", "BrowseForFolder Please select a folder with MKV files to be converted."}));
  EXPECT_TRUE(fx.app.bBatch);
  EXPECT_FALSE(f.bSplit);
  EXPECT_FALSE(f.lblSRTFound.Visible());
  EXPECT_FALSE(f.cmbSubs.Visible());
}

TEST_F(Startup, FolderButtonOnAFolderWithoutMkvSaysSoAndAsksNothing) {
  fx.host.folderAnswers.push_back(films.path());
  f.cmdFolder_Click();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "No MKV file was found in " + films.path() + ". Nothing was converted.");
  EXPECT_EQ(fx.host.messages[0].buttons, MsgButtons::Ok);
  EXPECT_TRUE(taken.empty());
}

// A source that mkvinfo cannot describe is reported once and not converted with the track
// fields of the source before it.
TEST_F(Startup, FailedInspectionOfTheArgumentIsShownOnceAndNothingElseRuns) {
  fx.runner.onRun = [](const std::string&) { return 0; };  // mkvinfo leaves no report
  WriteFile(films / "film.mkv", "x");
  fx.app.argumentText = films / "film.mkv";
  f.cmdLine();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "Inspection error");
  EXPECT_EQ(fx.runner.calls.size(), 1u);
  EXPECT_TRUE(taken.empty());
}

TEST_F(Startup, AnsweringYesSendsOutputsToTheSourceFolder) {
  WriteFile(films / "a.mkv", "x");
  WriteFile(films / "b.mkv", "x");
  WriteFile(films / "a.mp4", "done");  // in the source folder: converted already
  WriteFile(out / "b.mp4", "done");    // in the old output folder: does not count now
  f.txtTMP.SetText(out.path() + "/");
  fx.host.folderAnswers.push_back(films.path());
  fx.host.answers.push_back(MsgAnswer::Yes);
  f.cmdFolder_Click();

  ASSERT_GE(fx.host.messages.size(), 1u);
  const auto& q = fx.host.messages[0];
  EXPECT_EQ(q.text, "Store resulting files in source folder ?");
  EXPECT_EQ(q.title, "");
  EXPECT_EQ(q.icon, MsgIcon::None);
  EXPECT_EQ(q.buttons, MsgButtons::YesNo);

  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].source, films / "b.mkv");
  EXPECT_EQ(taken[0].label, "2 of 2");
  EXPECT_EQ(taken[0].outputFolder, films.path() + "/");
  // The window is repainted once more right after the source box changed.
  ASSERT_LT(taken[0].logSize, fx.host.log.size());
  EXPECT_EQ(fx.host.log[taken[0].logSize], "Repaint");
  EXPECT_EQ(f.txtTMP.Text(), films.path());
  EXPECT_FALSE(f.lblMulti.Visible());
}

TEST_F(Startup, AnsweringNoKeepsTheOutputFolder) {
  WriteFile(films / "a.mkv", "x");
  WriteFile(films / "b.mkv", "x");
  WriteFile(films / "a.mp4", "done");  // beside the source: does not count now
  WriteFile(out / "b.mpg", "done");
  f.txtTMP.SetText(out.path());
  fx.host.folderAnswers.push_back(films.path());
  fx.host.answers.push_back(MsgAnswer::No);
  f.cmdFolder_Click();

  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].source, films / "a.mkv");
  EXPECT_EQ(taken[0].label, "1 of 2");
  EXPECT_EQ(taken[0].outputFolder, out.path());
  EXPECT_EQ(f.txtTMP.Text(), out.path());  // restored, whatever the conversion appended
  EXPECT_EQ(f.strFilename, films / "a.mkv");
}

// --- the register batch file ---

TEST_F(Startup, RegisterBatchFileNamesBothComponents) {
  TempDir base;
  const std::string appFolder = base / "My App";
  std::filesystem::create_directory(appFolder);
  Application app{appFolder, fx.app.homeFolder, fx.runner, fx.host, fx.sleeper};
  Form1 form{app};
  WriteFile(appFolder + "/register.bat", std::string(300, 'x'));
  form.Form_DblClick();
  EXPECT_EQ(ReadFile(appFolder + "/register.bat"),
            "regsvr32 \"" + appFolder + "/FSFWrap.dll\"\r\n" + "regsvr32 \"" + appFolder + "/WAVDEST.AX\"\r\n");
  EXPECT_TRUE(fx.runner.calls.empty());  // written, never run
}

TEST_F(Startup, ReadOnlyRegisterBatchFileStays) {
  const std::string path = fx.appDir / "register.bat";
  WriteFile(path, "mine\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  f.Form_DblClick();
  EXPECT_EQ(ReadFile(path), "mine\r\n");
}

}  // namespace
}  // namespace parvela
