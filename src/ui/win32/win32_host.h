// The window host of the Win32 window: message boxes, the file and folder dialogs, and a wait
// that keeps the window painting while a tool runs.
#pragma once

#include <windows.h>
#undef MessageBox  // the host method of that name is ours; MessageBoxA is called by its own name

#include "ui/window_host.h"

namespace parvela::win32 {

// Lets pending messages run; while busy, user input aimed at the main window is dropped, so no
// click starts a second conversion inside the first (dialogs get theirs); the one control
// named by `open` (Stop) still takes its input.
void PumpMessages(HWND mainWindow, bool dropInput, HWND open = nullptr);

class Win32WindowHost : public WindowHost {
 public:
  void Attach(HWND window) { window_ = window; }
  void SetBusy(bool busy) { busy_ = busy; }
  // The control that takes input while busy.
  void KeepOpenWhileBusy(HWND control) { open_ = control; }
  // A file or folder dropped on the window stands for the next dialog's answer.
  void AnswerNextFileDialog(std::string path) { nextFile_ = std::move(path); }
  void AnswerNextFolderDialog(std::string path) { nextFolder_ = std::move(path); }
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;
  std::string OpenFileDialog(const OpenFileRequest& request) override;
  std::string BrowseForFolder(const std::string& title) override;
  void Repaint() override;
  void DoEvents() override;
  void SetTopmost(bool onTop) override;

 private:
  HWND window_ = nullptr;
  bool busy_ = false;
  HWND open_ = nullptr;
  std::string nextFile_, nextFolder_;
};

// Waits while the window keeps painting.
class PumpingSleeper : public Sleeper {
 public:
  explicit PumpingSleeper(Win32WindowHost& host) : host_(host) {}
  void Sleep(int milliseconds) override;

 private:
  Win32WindowHost& host_;
};

}  // namespace parvela::win32
