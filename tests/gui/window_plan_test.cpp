// The plan line under the source, greyed-out boxes that say why, a layout that stays still, and
// a run that shows what can be clicked and gives the subtitle list back at its end.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "form_fixture.h"
#include "ui/qt/main_window.h"

namespace parvela {
namespace {

using testing::TempDir;
using testing::WriteFile;

class NoViewHost : public qt::ViewHost {
 public:
  void Attach(QWidget*) override {}
  void AnswerNextFileDialog(const std::string&) override {}
  void AnswerNextFolderDialog(const std::string&) override {}
};

class WindowPlan : public ::testing::Test {
 protected:
  WindowPlan() {
    WriteFile(movie, "a film");
    fx.runner.onRun = [this](const std::string& line) {
      if (duringTool) duringTool(line);
      if (line.find("MP4Box") != std::string::npos) WriteFile(films / "Movie.mp4", "a finished film");
      return 0;
    };
  }

  // What inspecting an H.264 High@5.1 film with one AC-3 5.1 track and two subtitle tracks leaves.
  void Inspected(std::vector<std::string> findings) {
    SourceInfo& info = fx.app.sourceInfo;
    info.videoKind = "avc";
    info.videoCodec = "V_MPEG4/ISO/AVC";
    info.videoWidth = 1280;
    info.videoHeight = 720;
    info.audioTrackCount = 1;
    info.audioTracks[0] = {" eng", "0", "2", "A_AC3", 6};
    info.subtitleTracks[0] = {"eng", "srt", "3"};
    info.subtitleTracks[1] = {"fre", "srt", "4"};
    info.checkerFindings = std::move(findings);
    f.inspectedSource = movie;
    f.txtFile.SetText(movie);
    f.txtTMP.SetText(films.path() + "/");
    f.txtSFPS.SetText("23.976");
    f.Check1.SetValue(0);
    f.cmbAudio.AddItem(" eng");
    f.cmbAudio.SetListIndex(0);
    for (const char* language : {"eng", "fre"}) f.cmbSubs.AddItem(language);
    f.cmbSubs.SetListIndex(0);
    f.cmbSubs.SetVisible(true);
    f.lblSubs.SetVisible(true);
    f.UpdatePlan();
  }

  std::unique_ptr<qt::MainWindow> Open() {
    auto window = std::make_unique<qt::MainWindow>(f, host);
    window->resize(700, 520);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }
  template <class W>
  W* Find(qt::MainWindow& window, const char* name) {
    W* widget = window.findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  std::string Plan(qt::MainWindow& window) { return Find<QLabel>(window, "lblPlan")->text().toStdString(); }
  QRect Place(qt::MainWindow& window, const char* name) {
    QWidget* w = Find<QWidget>(window, name);
    return QRect(w->mapTo(&window, QPoint(0, 0)), w->size());
  }

  testing::FormFixture fx;
  Form1& f = fx.form;
  NoViewHost host;
  TempDir films;
  const std::string movie = films / "Movie.mkv";
  std::function<void(const std::string&)> duringTool;
};

TEST_F(WindowPlan, ThePlanFollowsTheOptionsAndAGreyedOutBoxSaysWhichOptionDidIt) {
  Inspected({"profile: High (profile_idc 100)", "level: 5.1 (level_idc 51)", "dpb check: [OK]"});
  auto window = Open();
  EXPECT_EQ(Plan(*window), "H.264 High@5.1 1280x720 23.976 fps \u2192 copied, level 5.1 \u2192 4.1 \u00b7 "
                           "AC-3 5.1 eng \u2192 AAC stereo 224 kbit/s \u00b7 MP4");

  f.cmdConv.SetListIndex(1);
  QTest::mouseClick(Find<QCheckBox>(*window, "chkMP2"), Qt::LeftButton, {}, QPoint(8, 8));
  ASSERT_TRUE(f.chkMP2.Checked());
  EXPECT_EQ(Plan(*window), "H.264 High@5.1 1280x720 23.976 fps \u2192 re-encoded to H.264 (as asked) \u00b7 "
                           "AC-3 5.1 eng \u2192 AAC stereo 224 kbit/s \u00b7 MP4");
  auto* chk25 = Find<QCheckBox>(*window, "chk25");
  EXPECT_FALSE(chk25->isEnabled());
  EXPECT_EQ(chk25->toolTip().toStdString(), f.chk25.ToolTip() + "\nGreyed out by \"MPEG2 Recode\"");
  EXPECT_EQ(f.chk25.ToolTip(), "Speed up the video slightly, to play exteremely smooth on 720p50 displays.");

  QTest::mouseClick(Find<QCheckBox>(*window, "chkMP2"), Qt::LeftButton, {}, QPoint(8, 8));
  QTest::mouseClick(Find<QCheckBox>(*window, "chkVob"), Qt::LeftButton, {}, QPoint(8, 8));
  EXPECT_EQ(Plan(*window), "H.264 High@5.1 1280x720 23.976 fps \u2192 copied, level 5.1 \u2192 4.1 \u00b7 "
                           "AC-3 5.1 eng \u2192 kept \u00b7 M2TS as .mpg");
  EXPECT_EQ(Find<QCheckBox>(*window, "chkFF")->toolTip().toStdString(),
            "Decode ac3 audio with ffmpeg to try to bypass sync issues.\nGreyed out by \"Mux to Vob (PS3)\"");
  EXPECT_EQ(Find<QCheckBox>(*window, "chkMP2")->toolTip().toStdString(), f.chkMP2.ToolTip());  // enabled

  // What the checker found names the re-encoding's reason, without its numbers in brackets.
  QTest::mouseClick(Find<QCheckBox>(*window, "chkVob"), Qt::LeftButton, {}, QPoint(8, 8));
  Inspected({"profile: High 10 (profile_idc 110)", "level: 4.0 (level_idc 40)",
             "reason: bit depth 10 (chroma 10), the consoles decode 8 bits only", "dpb check: [FAILED]"});
  f.chkMP2.SetValue(1);
  EXPECT_EQ(Plan(*window), "H.264 High 10@4.0 1280x720 23.976 fps \u2192 re-encoded to H.264 (bit depth 10, the "
                           "consoles decode 8 bits only) \u00b7 AC-3 5.1 eng \u2192 AAC stereo 224 kbit/s \u00b7 MP4");
}

TEST_F(WindowPlan, TheLayoutStaysStillAndARunShowsWhatCanBeClicked) {
  Inspected({"profile: High (profile_idc 100)", "level: 5.1 (level_idc 51)"});
  f.Option1.Select(0);
  f.txtS2.SetText("2");
  auto window = Open();
  const QRect convert = Place(*window, "Command2"), streams = Place(*window, "Frame1");
  // A verdict or a summary of two lines takes the room kept for it.
  f.onBatchFinished(std::string(3, ' ') + "12 files: 9 converted, 1 skipped (already converted), 2 failed: "
                    "a very long film name.mkv \u2014 not a Matroska file, another long film name.mkv \u2014 "
                    "The frame rate in the \"FPS\" box is not a positive number");
  QTest::qWait(10);
  EXPECT_FALSE(Find<QLabel>(*window, "lblVerdict")->isHidden());
  EXPECT_EQ(Place(*window, "Command2"), convert);
  EXPECT_EQ(Place(*window, "Frame1"), streams);

  // During the run: "Convert" and the other buttons are disabled, Stop and the whole run show.
  bool checked = false;
  duringTool = [&](const std::string& line) {
    if (checked || line.find("mkvextract") == std::string::npos) return;
    checked = true;
    EXPECT_FALSE(Find<QPushButton>(*window, "Command2")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(*window, "Command1")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(*window, "cmdStop")->isHidden());
    auto* run = Find<QProgressBar>(*window, "runBar");
    EXPECT_FALSE(run->isHidden());
    EXPECT_EQ(run->format().left(11).toStdString(), "Whole run: ");
    EXPECT_EQ(Place(*window, "Command2"), convert);
  };
  QTest::mouseClick(Find<QPushButton>(*window, "Command2"), Qt::LeftButton);
  EXPECT_TRUE(checked);
  EXPECT_EQ(f.txtProgress.Text(), "Conversion done");
  // The end of the run hid the subtitle list; the source's tracks are still there to choose.
  EXPECT_FALSE(Find<QComboBox>(*window, "cmbSubs")->isHidden());
  EXPECT_EQ(f.cmbSubs.ListCount(), 2);
  EXPECT_TRUE(Find<QPushButton>(*window, "Command2")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(*window, "Command1")->isEnabled());
  EXPECT_TRUE(Find<QProgressBar>(*window, "runBar")->isHidden());
  EXPECT_EQ(Place(*window, "Command2"), convert);

  // A refusal before any tool runs shows its message without Stop beside it.
  bool stopShown = false;
  f.cmdStop.Observe([&] { stopShown = stopShown || f.cmdStop.Visible(); });
  f.txtSFPS.SetText("fast");
  fx.host.messages.clear();
  QTest::mouseClick(Find<QPushButton>(*window, "Command2"), Qt::LeftButton);
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "FPS error");
  EXPECT_FALSE(stopShown);
}

}  // namespace
}  // namespace parvela
