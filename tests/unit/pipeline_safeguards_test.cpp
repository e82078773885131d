// What the driver refuses before any tool runs, each with one message and nothing converted.
#include <gtest/gtest.h>

#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class Safeguards : public ::testing::Test {
 protected:
  void SetUp() override {
    source = in / "film.mkv";
    WriteFile(source, "mkv");
    fx.app.sourceInfo.videoKind = "avc";
    fx.form.Option1.Select(0);
    fx.form.txtS2.SetText("2");
    fx.form.txtFile.SetText(source);
    fx.form.txtTMP.SetText(out.path() + "/");
    fx.form.Check1.SetValue(0);
    fx.form.txtProgress.Observe([this] { progress.push_back(fx.form.txtProgress.Text()); });
  }
  // mkvinfo, played: writes this report (none when empty).
  void MkvinfoWrites(const std::string& report) {
    fx.runner.onRun = [this, report](const std::string& line) {
      if (!report.empty() && line.find("mkvinfo.exe") != std::string::npos) WriteFile(fx.app.InfoReportPath(), report);
      return 0;
    };
  }
  void ExpectOnlyMessage(const std::string& title, const std::string& text) {
    ASSERT_EQ(fx.host.messages.size(), 1u);
    EXPECT_EQ(fx.host.messages[0].title, title);
    EXPECT_EQ(fx.host.messages[0].text, text);
    EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(progress.back(), "Conversion error.");
  }

  FormFixture fx;
  TempDir in, out;
  std::string source;
  std::vector<std::string> progress;
};

TEST_F(Safeguards, OutputFolderThatCannotBeWrittenEndsTheRunBeforeAnyTool) {
  // A folder no process can create files in, root included.
  fx.form.txtTMP.SetText("/proc");
  fx.form.Command2_Click();
  ExpectOnlyMessage("Folder error", "The output folder /proc cannot be written. Nothing was converted.");
  EXPECT_TRUE(fx.runner.calls.empty());
  EXPECT_FALSE(FileIsPresent(fx.appDir / "parvela.conf"));
}

TEST_F(Safeguards, SourceThatIsItsOwnOutputIsNeitherDeletedNorOverwritten) {
  const std::string clip = out / "clip.mp4";
  WriteFile(clip, "the user's film");
  fx.form.txtFile.SetText(clip);
  fx.form.Command2_Click();
  ExpectOnlyMessage("Folder error", "The output file " + clip +
                                        " would replace the source. Choose another output folder. Nothing was "
                                        "converted.");
  EXPECT_TRUE(fx.runner.calls.empty());
  EXPECT_EQ(ReadFile(clip), "the user's film");
}

TEST_F(Safeguards, VideoNoToolDecodesIsNamedBeforeAnythingRuns) {
  fx.app.sourceInfo.videoKind.clear();
  MkvinfoWrites(
      "| + A track\r\n|  + Track type: video\r\n|  + Codec ID: V_QUICKTIME\r\n"
      "| + A track\r\n|  + Track type: audio\r\n|  + Codec ID: A_AC3\r\n|  + Language: eng\r\n");
  fx.form.Command2_Click();
  ExpectOnlyMessage("Video error",
                    "The video of this source (V_QUICKTIME) is in a format that no tool of Parvela decodes. "
                    "Nothing was converted.");
  ASSERT_EQ(fx.runner.calls.size(), 1u);
  EXPECT_NE(fx.runner.calls[0].commandLine.find("mkvinfo.exe"), std::string::npos);
}

TEST_F(Safeguards, FailedInspectionDuringSetUpStopsTheRun) {
  // The fields still describe the source inspected before.
  fx.app.sourceInfo.videoKind.clear();
  MkvinfoWrites("");
  fx.form.Command2_Click();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "Inspection error");
  EXPECT_EQ(fx.runner.calls.size(), 1u);
  EXPECT_EQ(progress.back(), "Conversion error.");
}

}  // namespace
}  // namespace parvela
