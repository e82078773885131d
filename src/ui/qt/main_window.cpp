#include "ui/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "playability/playability.h"
#include "process/process.h"
#include "app/cli_options.h"
#include "ui/qt/progress_view.h"

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
  views_.Follow(form_.stepMeter, [this] { UpdateProgressBar(); });
  views_.Follow(form_.besideMeter, [this] { UpdateProgressBar(); });
  views_.Follow(form_.runMeter, [this] { UpdateProgressBar(); });
  // A verdict speaks of one source: choosing or typing another clears it.
  views_.Follow(form_.txtFile, [this] {
    if (form_.txtFile.Text() != verdictSource_) verdict_->hide();
  });
  host_.Attach(this);
  // A batch goes on past Parvela's own messages; its summary names them.
  form_.app.host.divert = [this](const std::string& text, const std::string& title, MsgButtons buttons) {
    return form_.DivertsInBatch(text, title, buttons);
  };
  form_.judgeOutput = [this](const std::string& path) { return verdicts_.NoneBecause(path); };
  form_.onOutputFinished = [this](const std::string& path) { ShowVerdict(path); };
  form_.onBatchFinished = [this](const std::string& summary) {
    verdict_->setText(QString::fromStdString(summary));
    verdict_->setToolTip({});
    verdictSource_ = form_.txtFile.Text();
    verdict_->show();
  };
  // A file or folder given as argument is converted before this window appears; meanwhile a
  // small window shows the step, the bar and Stop. An argument that names nothing is said so.
  const std::string& argument = form_.app.argumentText;
  std::unique_ptr<ArgumentProgressWindow> small;
  if (IsConvertibleArgument(argument)) {
    small = std::make_unique<ArgumentProgressWindow>(form_);
    small->show();
  }
  RunHandler([this] { form_.Form_Load(); });
  small.reset();
  if (!argument.empty() && !IsConvertibleArgument(argument)) {
    form_.app.host.MessageBox("Nothing was converted: " + argument + " is neither an MKV file nor a folder.",
                              "Argument error", MsgIcon::Critical, MsgButtons::Ok);
  }
}

void MainWindow::ShowVerdict(const std::string& outputPath) {
  const std::string line = verdicts_.Take(outputPath).Line();
  verdict_->setText(QString::fromStdString(line));
  verdict_->setToolTip(QString::fromStdString(outputPath));
  verdictSource_ = form_.txtFile.Text();
  verdict_->show();
}

MainWindow::~MainWindow() {
  host_.Attach(nullptr);
  form_.app.host.divert = nullptr;
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
  if (closeWhenIdle_) QTimer::singleShot(0, this, &QWidget::close);
  return true;
}

// While a handler runs, the window paints and follows the window manager, but a click or a key
// would start a second handler inside the first: such input is dropped, not kept for later.
// Dialogs the handler opens are windows of their own and get their input.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (busy_ && IsUserInput(event->type())) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this && widget != stop_) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::UpdateProgressBar() {
  if (bar_) ShowProgress(bar_, form_);
  if (besideBar_) ShowBesideProgress(besideBar_, form_);
  if (runBar_) ShowRunProgress(runBar_, form_);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!busy_) {
    event->accept();
    return;
  }
  // The run is stopped as by the Stop button (its temporary files go, a batch ends); the window
  // closes once the run has unwound.
  event->ignore();
  if (closeWhenIdle_) return;
  const auto answer = QMessageBox::question(
      this, windowTitle(), "A conversion is running. Stop it and quit?",
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  closeWhenIdle_ = true;
  if (!busy_) {
    QTimer::singleShot(0, this, &QWidget::close);
    return;
  }
  form_.app.stopBatch = true;
  form_.app.stopRequested = true;
  TerminateRunningTool();
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
