// The main window: a view over the window model Form1. Creating it runs Form_Load, so a file or
// folder given on the command line is converted before the window first appears.
#pragma once

#include <QWidget>
#include <functional>

#include "playability/playability.h"
#include "ui/form1.h"
#include "ui/qt/control_views.h"
#include "ui/qt/view_host.h"

class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace parvela::qt {

class MainWindow : public QWidget {
 public:
  MainWindow(Form1& form, ViewHost& host);
  ~MainWindow() override;

  // True while a handler runs: the window then refuses user input (it keeps painting).
  bool Busy() const { return busy_; }
  // The status lines under the buttons: progress line, progress bar, then room for more.
  QVBoxLayout* StatusArea() const { return status_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // main_window_layout.cpp
  void BuildLayout();
  QLayout* BuildPaths();
  QLayout* BuildFound();
  QWidget* BuildStreams();
  QWidget* BuildAudio();
  QWidget* BuildFps();
  QLayout* BuildOptions();
  QLayout* BuildStatus();
  QLayout* BuildActions();
  // Runs one of the model's handlers to its end; false when another one is still running.
  bool RunHandler(const std::function<void()>& handler);
  void UpdateProgressBar();
  void ShowVerdict(const std::string& outputPath);

  Form1& form_;
  ViewHost& host_;
  playability::VerdictMemo verdicts_;
  ControlViews views_;
  bool busy_ = false;
  QVBoxLayout* status_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QProgressBar* besideBar_ = nullptr;
  QProgressBar* runBar_ = nullptr;
  QLabel* verdict_ = nullptr;
  QPushButton* stop_ = nullptr;
  std::string verdictSource_;  // the source box's text the verdict line speaks of
  // Closing the window during a run stops it; the window closes once the run has unwound.
  bool closeWhenIdle_ = false;
};

}  // namespace parvela::qt
