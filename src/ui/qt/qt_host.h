// The window-host seam on Qt: message boxes, the file and folder dialogs, painting, the
// always-on-top switch and the decoder's property pages.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "ui/qt/view_host.h"
#include "ui/window_host.h"

namespace parvela::qt {

class QtWindowHost : public WindowHost, public ViewHost {
 public:
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;
  std::string OpenFileDialog(const OpenFileRequest& request) override;
  std::string BrowseForFolder(const std::string& title) override;
  void Repaint() override;
  void DoEvents() override;
  void SetTopmost(bool onTop) override;
  void ShowFilterPropertyPages(const std::string& filterName,
                               dshow::DecoderSettings& settings) override;

  void Attach(QWidget* window) override { window_ = window; }
  void AnswerNextFileDialog(const std::string& path) override { nextFile_ = path; }
  void AnswerNextFolderDialog(const std::string& path) override { nextFolder_ = path; }

 private:
  // Dialogs belong to the window once it is on screen; before that (a conversion asked for on
  // the command line) they stand alone.
  QWidget* DialogParent() const;

  QPointer<QWidget> window_;
  std::optional<std::string> nextFile_;
  std::optional<std::string> nextFolder_;
};

// The dialog's filter for a request: the name as given, then the patterns in parentheses.
QString FileDialogFilter(const OpenFileRequest& request);

}  // namespace parvela::qt
