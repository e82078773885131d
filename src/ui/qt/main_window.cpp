#include "ui/qt/main_window.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>

#include "playability/playability.h"
#include "process/process.h"
#include "ui/progress_counter.h"

namespace parvela::qt {

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      return true;
    default:
      return false;
  }
}

enum class Dropped { Nothing, MkvFile, Folder };

// One local MKV file or one folder; anything else is refused.
Dropped Classify(const QMimeData* data, std::string& path) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return Dropped::Nothing;
  const QUrl url = data->urls().first();
  if (!url.isLocalFile()) return Dropped::Nothing;
  const QFileInfo info(url.toLocalFile());
  path = QFile::encodeName(info.absoluteFilePath()).toStdString();
  if (info.isDir()) return Dropped::Folder;
  if (info.isFile() && info.suffix().compare("mkv", Qt::CaseInsensitive) == 0) {
    return Dropped::MkvFile;
  }
  return Dropped::Nothing;
}

}  // namespace

MainWindow::MainWindow(Form1& form, ViewHost& host)
    : form_(form), host_(host), verdicts_(form.app), views_([this](const std::function<void()>& h) { return RunHandler(h); }) {
  setWindowTitle(QString::fromStdString(form_.caption));
  setAcceptDrops(true);
  BuildLayout();
  views_.Follow(form_.txtProgress, [this] { UpdateProgressBar(); });
  views_.Follow(form_.lblMulti, [this] { UpdateProgressBar(); });
  host_.Attach(this);
  form_.judgeOutput = [this](const std::string& path) { return verdicts_.NoneBecause(path); };
  form_.onOutputFinished = [this](const std::string& path) { ShowVerdict(path); };
  RunHandler([this] { form_.Form_Load(); });
}

void MainWindow::ShowVerdict(const std::string& outputPath) {
  const std::string line = verdicts_.Take(outputPath).Line();
  verdict_->setText(QString::fromStdString(line));
  verdict_->setToolTip(QString::fromStdString(outputPath));
  verdict_->show();
}

MainWindow::~MainWindow() {
  host_.Attach(nullptr);
  qApp->removeEventFilter(this);
}

bool MainWindow::RunHandler(const std::function<void()>& handler) {
  if (busy_) return false;
  busy_ = true;
  qApp->installEventFilter(this);
  setCursor(Qt::BusyCursor);
  handler();
  unsetCursor();
  qApp->removeEventFilter(this);
  busy_ = false;
  return true;
}

// While a handler runs, the window paints and follows the window manager, but a click or a key
// would start a second handler inside the first: such input is dropped, not kept for later.
// Dialogs the handler opens are windows of their own and get their input.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (busy_ && IsUserInput(event->type())) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::UpdateProgressBar() {
  if (!bar_) return;
  auto counter = CurrentCounter(form_.txtProgress.Text(), form_.lblMulti.Caption(),
                                form_.lblMulti.Visible());
  bar_->setVisible(counter.has_value());
  if (!counter) return;
  bar_->setRange(0, counter->maximum);
  bar_->setValue(counter->value);
  bar_->setFormat(counter->seconds ? QString("%v of %m seconds of audio") : QString("%v of %m"));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!busy_) {
    event->accept();
    return;
  }
  // The conversion cannot be left halfway on this thread: stopping means ending the program,
  // with the running tool. Its temporary files stay in the output folder.
  const auto answer = QMessageBox::question(
      this, windowTitle(), "A conversion is running. Stop it and quit?",
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) {
    event->ignore();
    return;
  }
  TerminateRunningTool();
  _exit(1);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  // Only the window's own background, not a control or a frame.
  if (childAt(event->position().toPoint()) == nullptr) {
    RunHandler([this] { form_.Form_DblClick(); });
  }
  QWidget::mouseDoubleClickEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  std::string path;
  if (!busy_ && Classify(event->mimeData(), path) != Dropped::Nothing) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::string path;
  const Dropped kind = Classify(event->mimeData(), path);
  if (busy_ || kind == Dropped::Nothing) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // As if the file or folder had been chosen in the dialog of "File" or "Folder". The handler
  // runs once the drop has been answered, so the program it came from is not kept waiting.
  QTimer::singleShot(0, this, [this, kind, path] {
    if (busy_) return;
    if (kind == Dropped::MkvFile) {
      host_.AnswerNextFileDialog(path);
      RunHandler([this] { form_.Command1_Click(); });
    } else {
      host_.AnswerNextFolderDialog(path);
      RunHandler([this] { form_.cmdFolder_Click(); });
    }
  });
}

}  // namespace parvela::qt
