// What the window needs from the host that serves it, besides the window-host seam itself.
#pragma once

#include <string>

class QWidget;

namespace parvela::qt {

class ViewHost {
 public:
  virtual ~ViewHost() = default;
  // The window that owns the dialogs and whose z-order and painting the host switches.
  virtual void Attach(QWidget* window) = 0;
  // A dropped file or folder: the next dialog of that kind answers it without showing.
  virtual void AnswerNextFileDialog(const std::string& path) = 0;
  virtual void AnswerNextFolderDialog(const std::string& path) = 0;
};

}  // namespace parvela::qt
