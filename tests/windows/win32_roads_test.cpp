// The Windows build composes Windows paths: the MP4 road's command lines with "\" throughout,
// the output folder ending in "\", the design-time folders, and a settings file found whatever
// the letter case of its name.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "fsutil/fsutil.h"
#include "process/process.h"
#include "test_support.h"
#include "ui/form1.h"

namespace parvela {
namespace {

using testing::ReadFile;
using testing::RecordingRunner;
using testing::RecordingSleeper;
using testing::ScriptedHost;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const std::string kSpsLevel51("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9);

struct WindowsForm {
  TempDir appDir, work;
  RecordingRunner runner;
  ScriptedHost host;
  RecordingSleeper sleeper;
  Application app{appDir.path(), UserHomeFolder(), runner, host, sleeper};
  Form1 form{app};
};

// Plays mkvextract, FFmpeg and MP4Box: each leaves the file its line names.
int PlayTool(const std::string& line) {
  const Lines a = SplitCommandLine(line);
  const std::string tool = FileNamePart(a[0]);
  if (tool == "mkvextract.exe") {
    const std::string path = a[3].substr(a[3].find(':') + 1);
    WriteFile(path, kSpsLevel51);
  } else if (tool == "MP4Box.exe") {
    WriteFile(a[a.size() - 3], "mp4");
  } else {
    WriteFile(a.back(), "aac");
  }
  return 0;
}

TEST(WindowsPaths, Mp4RoadComposesBackslashPathsThroughout) {
  WindowsForm w;
  const std::string A = w.appDir.path();
  const std::string O = w.work.path() + "\\";
  const std::string source = w.work.path() + "\\My Film.mkv";
  WriteFile(source, "mkv");
  WriteFile(O + "movie.wav", "wav");  // the decoding graph's work, done beforehand
  w.runner.onRun = PlayTool;
  w.app.sourceInfo.videoKind = "avc";
  w.form.Option1.Select(0);
  w.form.txtFile.SetText(source);
  w.form.txtTMP.SetText(O);
  w.form.txtS1.SetText("1");
  w.form.txtS2.SetText("2");
  w.form.txtSFPS.SetText("23.976");
  w.form.Check1.SetValue(0);
  w.form.Command2_Click();
  auto Q = [](const std::string& s) { return "\"" + s + "\""; };
  EXPECT_EQ(w.runner.Lines(),
            (Lines{Q(A + "\\MKVToolnix\\mkvextract.exe") + " tracks " + Q(source) + " 1:" + Q(O + "movie.h264"),
                   Q(A + "\\FFMpeg\\FFmpeg.exe") + " -f wav -i " + Q(O + "movie.wav") +
                       " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb " + Q(O + "movie.aac"),
                   Q(A + "\\MP4Box\\MP4Box.exe") + " -add " + Q(O + "movie.aac") + " -add " +
                       Q(O + "movie.h264:fps=24000/1001") + " " + Q(O + "My Film.mp4") + " -tmp " + Q(w.work.path())}));
  EXPECT_TRUE(FileIsPresent(O + "My Film.mp4"));
  EXPECT_FALSE(FileIsPresent(O + "movie.h264"));
}

TEST(WindowsPaths, DesignTimeFoldersAndASettingsFileOfAnyLetterCase) {
  WindowsForm w;
  w.form.LoadSettings();
  EXPECT_EQ(w.form.txtTMP.Text(), "D:\\");
  EXPECT_EQ(DialogStartFolder(), "C:\\");

  const std::string output = w.work.path() + "\\out\\";
  w.form.txtTMP.SetText(output);
  w.form.SaveSettings();
  const std::string lower = w.appDir.path() + "\\parvela.conf";
  ASSERT_TRUE(FileIsPresent(lower));
  ASSERT_TRUE(RenameFile(lower, w.appDir.path() + "\\PARVELA.CONF"));
  WindowsForm again;
  again.app.appFolder = w.appDir.path();
  again.app.stateFolder = again.app.appFolder;
  again.form.LoadSettings();
  EXPECT_EQ(again.form.txtTMP.Text(), output);
}

}  // namespace
}  // namespace parvela
