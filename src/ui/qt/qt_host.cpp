#include "ui/qt/qt_host.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QWindow>

#include "ui/qt/decoder_dialog.h"
#include "ui/qt/event_pump.h"

namespace parvela::qt {

namespace {

// A message box without a title of its own carries the program's name, as on Windows.
constexpr const char* kDefaultTitle = "Parvela";

QMessageBox::Icon BoxIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString ShownPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

QString FileDialogFilter(const OpenFileRequest& request) {
  // "*.srt; *.ssa; *.ass": the dialog wants its patterns apart by blanks alone.
  const QStringList patterns = QString::fromStdString(request.filterPattern)
                                   .split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts);
  return QString::fromStdString(request.filterName) + " (" + patterns.join(' ') + ")";
}

QWidget* QtWindowHost::DialogParent() const {
  return window_ && window_->isVisible() ? window_.data() : nullptr;
}

MsgAnswer QtWindowHost::ShowMessageBox(const std::string& text, const std::string& title,
                                   MsgIcon icon, MsgButtons buttons) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(title.empty() ? kDefaultTitle : title),
                  QString::fromStdString(text),
                  buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                               : QMessageBox::Ok,
                  DialogParent());
  box.setTextFormat(Qt::PlainText);
  const int answer = box.exec();
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

std::string QtWindowHost::OpenFileDialog(const OpenFileRequest& request) {
  if (nextFile_) return std::exchange(nextFile_, std::nullopt).value();
  QFileDialog dialog(DialogParent(), QString::fromStdString(request.title),
                     ShownPath(request.initialFolder), FileDialogFilter(request));
  dialog.setFileMode(QFileDialog::ExistingFile);
  // The filter reads as its name alone; the patterns behind it still apply.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return LocalPath(dialog.selectedFiles().first());
}

std::string QtWindowHost::BrowseForFolder(const std::string& title) {
  if (nextFolder_) return std::exchange(nextFolder_, std::nullopt).value();
  return LocalPath(QFileDialog::getExistingDirectory(DialogParent(), QString::fromStdString(title),
                                                     QDir::homePath()));
}

void QtWindowHost::Repaint() {
  if (window_ && window_->isVisible()) window_->repaint();
}

void QtWindowHost::DoEvents() { PumpWindowEvents(); }

void QtWindowHost::SetTopmost(bool onTop) {
  if (!window_) return;
  Qt::WindowFlags flags = window_->windowFlags();
  if (flags.testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
  if (QWindow* native = window_->windowHandle()) {
    // Switched on the live window: recreating it would make it blink and lose its place.
    window_->overrideWindowFlags(flags);
    native->setFlags(flags);
  } else {
    window_->setWindowFlags(flags);
  }
}

void QtWindowHost::ShowFilterPropertyPages(const std::string& filterName,
                                           dshow::DecoderSettings& settings) {
  EditDecoderSettings(DialogParent(), QString::fromStdString(filterName), settings);
}

}  // namespace parvela::qt
