// What the window shows of a run's progress, and the small window that shows it while a file
// or folder given as argument is converted, before the main window first appears.
#pragma once

#include <QWidget>

#include "ui/form1.h"
#include "ui/qt/control_views.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace parvela::qt {

// The running tool's own progress with the time left (a busy bar while it tells none), else
// the audio counter or the batch position; hidden when there is none of these.
void ShowProgress(QProgressBar* bar, const Form1& form);
// The tool running beside the step, while there is one.
void ShowBesideProgress(QProgressBar* bar, const Form1& form);
// The whole run's share and time left, while a run goes.
void ShowRunProgress(QProgressBar* bar, const Form1& form);

// The step, the batch position, the bar and Stop. Closing it stops the conversion too.
class ArgumentProgressWindow : public QWidget {
 public:
  explicit ArgumentProgressWindow(Form1& form);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Form1& form_;
  ControlViews views_;
  QLabel* step_ = nullptr;
  QLabel* multi_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QProgressBar* besideBar_ = nullptr;
  QProgressBar* runBar_ = nullptr;
  QPushButton* stop_ = nullptr;
};

}  // namespace parvela::qt
