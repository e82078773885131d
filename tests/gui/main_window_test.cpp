// The window over the model, driven with QTest: what it shows, what clicks and drops do, when
// Form_Load runs, and that a busy window refuses input.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "ui/qt/event_pump.h"
#include "ui/qt/main_window.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::TempDir;
using testing::WriteFile;

// The scripted host's answers, with a dropped path as the next one.
class ScriptedViewHost : public qt::ViewHost {
 public:
  explicit ScriptedViewHost(testing::ScriptedHost& host) : host_(host) {}
  void Attach(QWidget* window) override { attached = window; }
  void AnswerNextFileDialog(const std::string& path) override { host_.fileAnswers.push_front(path); }
  void AnswerNextFolderDialog(const std::string& path) override {
    host_.folderAnswers.push_front(path);
  }
  QWidget* attached = nullptr;

 private:
  testing::ScriptedHost& host_;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    // Every inspection finds a report (an empty one) where the tool was asked to write it.
    fx.runner.onRun = [this](const std::string& line) {
      if (line.find(fx.app.InfoReportPath()) != std::string::npos) {
        WriteFile(fx.app.InfoReportPath(), "");
      }
      if (duringTool) duringTool();
      return 0;
    };
  }

  std::unique_ptr<qt::MainWindow> Open() {
    auto window = std::make_unique<qt::MainWindow>(fx.form, viewHost);
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

  // Clicks a check box on its indicator, where a user would.
  void Click(qt::MainWindow& window, const char* name) {
    auto* box = Find<QCheckBox>(window, name);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  }

  FormFixture fx;
  Form1& f = fx.form;
  ScriptedViewHost viewHost{fx.host};
  std::function<void()> duringTool;
  TempDir films;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

QString ShownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

TEST_F(MainWindowTest, EveryControlShowsTheModelsCaptionToolTipAndState) {
  auto window = Open();
  EXPECT_EQ(window->windowTitle(), "Parvela 0.23");
  const std::vector<std::pair<const char*, const Control*>> controls = {
      {"cmdSubs", &f.cmdSubs}, {"chkDVD", &f.chkDVD}, {"cmdTargetFolder", &f.cmdTargetFolder},
      {"chk25", &f.chk25}, {"chkMP2", &f.chkMP2}, {"chkVob", &f.chkVob},
      {"chkChapters", &f.chkChapters}, {"chkFF", &f.chkFF}, {"cmdFolder", &f.cmdFolder},
      {"Check1", &f.Check1}, {"Command3", &f.Command3}, {"Frame3", &f.Frame3},
      {"Command2", &f.Command2}, {"Command1", &f.Command1}, {"Frame1", &f.Frame1},
      {"chkSubs", &f.chkSubs}, {"cmbSubs", &f.cmbSubs}, {"lblSRTFound", &f.lblSRTFound},
      {"lblSubs", &f.lblSubs}, {"Label2", &f.Label2}, {"Frame2", &f.Frame2},
      {"cmbAudio", &f.cmbAudio}, {"Label5_1", &f.Label5[1]}, {"lblMulti", &f.lblMulti},
      {"Autosplit", &f.Autosplit}, {"Label3", &f.Label3}, {"Label5_0", &f.Label5[0]},
      {"cmdConv", &f.cmdConv}};
  for (const auto& [name, model] : controls) {
    QWidget* view = Find<QWidget>(*window, name);
    ASSERT_NE(view, nullptr);
    if (!qobject_cast<QComboBox*>(view)) {
      EXPECT_EQ(ShownText(view).toStdString(), model->Caption()) << name;
    }
    EXPECT_EQ(view->toolTip().toStdString(), model->ToolTip()) << name;
    EXPECT_EQ(!view->isHidden(), model->Visible()) << name;
    EXPECT_EQ(view->isEnabled(), model->Enabled()) << name;
  }
  const std::vector<std::pair<const char*, const TextBox*>> texts = {
      {"txtProgress", &f.txtProgress}, {"txtTMP", &f.txtTMP}, {"txtSFPS", &f.txtSFPS},
      {"txtS1", &f.txtS1}, {"txtS2", &f.txtS2}, {"txtFile", &f.txtFile}};
  for (const auto& [name, model] : texts) {
    EXPECT_EQ(ShownText(Find<QWidget>(*window, name)).toStdString(), model->Text()) << name;
  }
  for (int i = 0; i < OptionButtons::kCount; ++i) {
    auto* option = Find<QWidget>(*window, ("Option1_" + std::to_string(i)).c_str());
    EXPECT_EQ(ShownText(option).toStdString(), f.Option1.ElementCaption(i));
    EXPECT_FALSE(option->isEnabled());
  }
  auto* conv = Find<QComboBox>(*window, "cmdConv");
  EXPECT_EQ(conv->count(), 3);
  EXPECT_EQ(conv->itemText(2), "Xvid!");
  EXPECT_EQ(conv->currentIndex(), -1);
  EXPECT_EQ(ShownText(Find<QWidget>(*window, "chkDVD")), "  Fit to DVD (4.7)");
  EXPECT_TRUE(Find<QCheckBox>(*window, "Check1")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(*window, "chkChapters")->isChecked());
}

TEST_F(MainWindowTest, ClicksRunTheCascadeAndTheViewFollowsIt) {
  auto window = Open();
  auto state = [&](const char* name) {
    auto* box = Find<QCheckBox>(*window, name);
    return std::string(box->isChecked() ? "checked" : "clear") +
           (box->isEnabled() ? "" : " disabled");
  };
  Click(*window, "chkFF");  // "Safe Sync"
  EXPECT_EQ(f.chkFF.Value(), 1);
  EXPECT_EQ(state("chkMP2"), "clear disabled");
  EXPECT_EQ(state("chkVob"), "clear disabled");
  EXPECT_EQ(state("chk25"), "clear disabled");
  Click(*window, "chkFF");
  EXPECT_EQ(state("chkMP2"), "clear");
  EXPECT_EQ(state("chkVob"), "clear");
  EXPECT_EQ(state("chk25"), "clear");

  Click(*window, "chkMP2");  // "MPEG2 Recode"
  EXPECT_EQ(state("chk25"), "clear disabled");
  EXPECT_TRUE(Find<QCheckBox>(*window, "chkSubs")->isEnabled());
  Click(*window, "chkVob");  // "Mux to Vob (PS3)"
  EXPECT_EQ(state("chkFF"), "clear disabled");
  Click(*window, "chkVob");
  EXPECT_EQ(state("chk25"), "clear");  // enabled again although MPEG2 Recode stays checked
  EXPECT_EQ(state("chkFF"), "clear");
  EXPECT_EQ(state("chkMP2"), "checked");
  EXPECT_EQ(f.chkMP2.Value(), 1);
  EXPECT_EQ(f.chkVob.Value(), 0);
}

TEST_F(MainWindowTest, DialogsAreAnsweredByTheHost) {
  auto window = Open();
  const std::string movie = films / "Movie.mkv";
  WriteFile(movie, "");
  fx.host.fileAnswers.push_back(movie);
  QTest::mouseClick(Find<QWidget>(*window, "Command1"), Qt::LeftButton);
  ASSERT_EQ(fx.host.fileRequests.size(), 1u);
  EXPECT_EQ(fx.host.fileRequests[0].title, "Select the MKV");
  EXPECT_EQ(Find<QLineEdit>(*window, "txtFile")->text().toStdString(), movie);

  fx.host.folderAnswers.push_back(films.path());
  QTest::mouseClick(Find<QWidget>(*window, "cmdTargetFolder"), Qt::LeftButton);
  EXPECT_EQ(fx.host.folderTitles.back(), "Please select a folder where the converted file is stored.");
  EXPECT_EQ(Find<QLineEdit>(*window, "txtTMP")->text().toStdString(), films.path() + "/");

  // Typing into a text box sets the model.
  auto* fps = Find<QLineEdit>(*window, "txtSFPS");
  fps->selectAll();
  QTest::keyClicks(fps, "25.000");
  EXPECT_EQ(f.txtSFPS.Text(), "25.000");
}

TEST_F(MainWindowTest, DroppedMkvActsAsFileAndOtherFilesAreRefused) {
  auto window = Open();
  const std::string movie = films / "Dropped.MKV";
  WriteFile(movie, "");
  WriteFile(films / "notes.txt", "");
  auto send = [&](const std::string& path, bool drop) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint middle = window->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    if (drop && enter.isAccepted()) {
      QDropEvent dropped(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(window.get(), &dropped);
      QTest::qWait(20);  // the handler runs once the drop is answered
    }
    return enter.isAccepted();
  };
  EXPECT_FALSE(send(films / "notes.txt", true));
  EXPECT_TRUE(fx.host.fileRequests.empty());
  EXPECT_TRUE(send(movie, true));
  ASSERT_EQ(fx.host.fileRequests.size(), 1u);  // "File" ran, answered by the drop
  EXPECT_EQ(f.txtFile.Text(), movie);
  EXPECT_EQ(Find<QLineEdit>(*window, "txtFile")->text().toStdString(), movie);
  EXPECT_TRUE(send(films.path(), false));  // a folder is welcome too
}

TEST_F(MainWindowTest, ArgumentIsConvertedBeforeTheWindowFirstAppears) {
  const std::string movie = films / "Film.mkv";
  WriteFile(movie, "");
  fx.app.argumentText = movie;
  qt::MainWindow window(fx.form, viewHost);
  // Form_Load ran within the window's creation: inspection, then the driver (whose MP4 road
  // finds no film from the recording runner), and the view already shows the source.
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(viewHost.attached, &window);
  ASSERT_FALSE(fx.runner.calls.empty());
  EXPECT_NE(fx.runner.calls[0].commandLine.find(movie), std::string::npos);
  ASSERT_FALSE(fx.host.messages.empty());
  EXPECT_EQ(fx.host.messages.back().title, "MP4box error");
  EXPECT_EQ(window.findChild<QLineEdit*>("txtFile")->text().toStdString(), movie);
  EXPECT_TRUE(fx.app.bCmdLine);
}

TEST_F(MainWindowTest, BusyWindowKeepsPaintingButRefusesInput) {
  auto window = Open();
  const std::string movie = films / "Movie.mkv";
  WriteFile(movie, "");
  fx.host.fileAnswers.push_back(movie);
  bool busyDuringTool = false;
  int clicksSeen = 0;
  QObject::connect(Find<QCheckBox>(*window, "chkFF"), &QCheckBox::clicked, [&] { ++clicksSeen; });
  PaintCounter counter;
  bool paintedWhileBusy = false;
  auto* progress = Find<QLineEdit>(*window, "txtProgress");
  progress->installEventFilter(&counter);
  duringTool = [&] {
    busyDuringTool = window->Busy();
    // What the runner's wait does while a tool runs: a part of the window that needs painting
    // gets painted.
    f.txtProgress.SetText("Extracting 10 seconds of Audio :3");
    const int before = counter.paints;
    progress->update();
    qt::PumpWindowEvents();
    paintedWhileBusy = counter.paints > before;
    Click(*window, "chkFF");  // while mkvinfo runs
    QTest::mouseClick(Find<QWidget>(*window, "Command1"), Qt::LeftButton);
  };
  QTest::mouseClick(Find<QWidget>(*window, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(busyDuringTool);
  EXPECT_TRUE(paintedWhileBusy);
  EXPECT_EQ(clicksSeen, 0);  // dropped before it reached the box, not undone afterwards
  EXPECT_EQ(f.chkFF.Value(), 0);
  EXPECT_FALSE(Find<QCheckBox>(*window, "chkFF")->isChecked());
  EXPECT_EQ(fx.host.fileRequests.size(), 1u);  // no second "File" inside the first
  EXPECT_FALSE(window->Busy());
  duringTool = nullptr;
  Click(*window, "chkFF");
  EXPECT_EQ(clicksSeen, 1);
  EXPECT_EQ(f.chkFF.Value(), 1);
}

TEST_F(MainWindowTest, ProgressBarFollowsTheAudioAndBatchCounters) {
  auto window = Open();
  auto* bar = Find<QProgressBar>(*window, "progressBar");
  EXPECT_TRUE(bar->isHidden());
  f.txtProgress.SetText("Extracting 5400 seconds of Audio :1234");
  EXPECT_FALSE(bar->isHidden());
  EXPECT_EQ(bar->maximum(), 5400);
  EXPECT_EQ(bar->value(), 1234);
  f.lblMulti.SetCaption("3 of 12");
  f.lblMulti.SetVisible(true);
  EXPECT_EQ(bar->value(), 1234);  // the finer counter first
  f.txtProgress.SetText("Encoding Audio");
  EXPECT_EQ(bar->maximum(), 12);
  EXPECT_EQ(bar->value(), 3);
  f.lblMulti.SetVisible(false);
  EXPECT_TRUE(bar->isHidden());
}

TEST_F(MainWindowTest, StopButtonStandsBesideConvertDuringARunAndEndsIt) {
  auto window = Open();
  auto* stop = Find<QPushButton>(*window, "cmdStop");
  EXPECT_TRUE(stop->isHidden());
  const std::string movie = films / "Movie.mkv";
  WriteFile(movie, "");
  std::vector<std::string> progress;
  fx.form.Option1.Select(0);
  fx.ChooseH264Source(movie, films.path() + "/", "25.000", progress);
  bool shownDuringTool = false;
  duringTool = [&] {
    if (shownDuringTool) return;
    shownDuringTool = !stop->isHidden() && stop->isEnabled();
    WriteFile(films / "movie.h264", "half a stream");
    QTest::mouseClick(stop, Qt::LeftButton);  // the busy window lets this one through
  };
  QTest::mouseClick(Find<QWidget>(*window, "Command2"), Qt::LeftButton);
  EXPECT_TRUE(shownDuringTool);
  EXPECT_EQ(fx.runner.calls.size(), 1u);  // the extraction that was running, and nothing after it
  EXPECT_EQ(progress.back(), "Stopped; temporary files removed");
  EXPECT_FALSE(FileIsPresent(films / "movie.h264"));
  EXPECT_TRUE(FileIsPresent(movie));
  EXPECT_TRUE(stop->isHidden());
  EXPECT_EQ(Find<QPushButton>(*window, "Command2")->text(), "Convert");
  EXPECT_FALSE(window->Busy());
}

TEST_F(MainWindowTest, ArgumentsConversionShowsASmallWindowWithStopAndAMissingOneIsNamed) {
  const std::string movie = films / "Film.mkv";
  WriteFile(movie, "");
  fx.app.argumentText = movie;
  QWidget* small = nullptr;
  bool clicked = false;
  duringTool = [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "argumentProgress" && w->isVisible()) small = w;
    }
    auto* stop = small ? small->findChild<QPushButton*>("cmdStop") : nullptr;
    if (clicked || !stop || !stop->isEnabled()) return;  // Stop answers once the conversion has begun
    clicked = true;
    QTest::mouseClick(stop, Qt::LeftButton);
  };
  {
    qt::MainWindow window(fx.form, viewHost);
    EXPECT_NE(small, nullptr);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(f.txtProgress.Text(), "Stopped; temporary files removed");
    EXPECT_FALSE(window.isVisible());
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "argumentProgress");
  }
  duringTool = nullptr;
  fx.app.argumentText = films / "missing.mkv";
  qt::MainWindow window(fx.form, viewHost);
  ASSERT_FALSE(fx.host.messages.empty());
  EXPECT_EQ(fx.host.messages.back().title, "Argument error");
  EXPECT_EQ(fx.host.messages.back().text,
            "Nothing was converted: " + films / "missing.mkv" + " is neither an MKV file nor a folder.");
}

TEST_F(MainWindowTest, ConvertSaysWhatIsMissingInspectsATypedPathAndABatchEndsWithItsSummary) {
  auto window = Open();
  auto* convert = Find<QWidget>(*window, "Command2");
  QTest::mouseClick(convert, Qt::LeftButton);  // no source yet
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "Choose a source file first.");
  EXPECT_EQ(fx.host.messages[0].title, "Source error");

  // A path typed over the one inspected is inspected before anything else runs.
  const std::string chosen = films / "a.mkv", typed = films / "b.mkv";
  WriteFile(chosen, "");
  WriteFile(typed, "");
  f.inspectedSource = chosen;
  fx.app.sourceInfo.videoKind = "avc";
  f.txtTMP.SetText(films.path() + "/");
  auto* source = Find<QLineEdit>(*window, "txtFile");
  source->selectAll();
  QTest::keyClicks(source, QString::fromStdString(typed));
  QTest::mouseClick(convert, Qt::LeftButton);
  ASSERT_FALSE(fx.runner.calls.empty());
  EXPECT_EQ(fx.runner.calls[0].commandLine, "\"" + fx.app.appFolder + "/MKVToolnix/mkvinfo.exe\" \"" + typed +
                                                "\" -o \"" + fx.app.appFolder + "/info.txt\"");

  // A folder with a file that is not Matroska: named as such, then the summary under the bar.
  testing::TempDir batch;
  WriteFile(batch / "bad.mkv", "RIFF....WAVE");
  fx.host.messages.clear();
  fx.host.folderAnswers.push_back(batch.path());
  QTest::mouseClick(Find<QWidget>(*window, "cmdFolder"), Qt::LeftButton);
  // The question where to store waits; the file's own message goes to the summary, unshown.
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "Store resulting files in source folder ?");
  EXPECT_EQ(f.unattendedNote, batch / "bad.mkv" + " is not a Matroska file.");
  auto* summary = Find<QLabel>(*window, "lblVerdict");
  EXPECT_FALSE(summary->isHidden());
  EXPECT_EQ(summary->text().toStdString(),
            "1 file: 0 converted, 0 skipped (already converted), 1 failed: bad.mkv \u2014 not a Matroska file");
  // A new source makes it stale.
  source->selectAll();
  QTest::keyClicks(source, "x");
  EXPECT_TRUE(summary->isHidden());
}

TEST_F(MainWindowTest, DoubleClickOnTheBackgroundWritesTheRegisterBatch) {
  auto window = Open();
  QTest::mouseDClick(Find<QWidget>(*window, "Command2"), Qt::LeftButton);
  EXPECT_FALSE(FileIsPresent(fx.app.appFolder + "/register.bat"));
  QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(testing::ReadFile(fx.app.appFolder + "/register.bat"),
            "regsvr32 \"" + fx.app.appFolder + "/FSFWrap.dll\"\r\nregsvr32 \"" + fx.app.appFolder +
                "/WAVDEST.AX\"\r\n");
}

}  // namespace
}  // namespace parvela
