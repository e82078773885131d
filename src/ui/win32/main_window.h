// The Win32 window: a second view over Form1, beside the Qt one. Native controls mirror the
// models through their change signals; a click sets the model, whose handler runs as it would
// for a program change.
#pragma once

#include "ui/win32/win32_host.h"  // first: it brings windows.h without its MessageBox macro

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/form1.h"

namespace parvela::win32 {

class MainWindow {
 public:
  MainWindow(Form1& form, Win32WindowHost& host);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  HWND Handle() const { return window_; }
  // Runs a handler unless one runs already; false when it was refused.
  bool RunHandler(const std::function<void()>& handler);

 private:
  struct View {
    HWND hwnd;
    std::function<void(WORD notification)> onCommand;  // a click, a choice, an edit
  };
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void BuildControls();
  HWND Add(const char* windowClass, DWORD style, RECT place, Control& model, std::function<void(WORD)> onCommand);
  void Bind(HWND hwnd, Control& model, std::function<void()> mirror);
  // utf8: the caption is UTF-8 text of a source (a track's name), not a path of this system.
  void Label(RECT place, parvela::Label& model, bool bold = false, bool utf8 = false);
  void Frame(RECT place, parvela::Frame& model);
  void Check(RECT place, CheckBox& model);
  void Push(RECT place, Button& model, bool bold = false);
  void Edit(RECT place, TextBox& model, bool readOnly = false);
  void List(RECT place, ComboBox& model);
  void Options(RECT first, OptionButtons& model);
  void AddStop(RECT place);
  void UpdateProgressBar();
  void UpdateRunLine();
  void UpdateToolTip(HWND hwnd, const Control& model);
  void ShowVerdict(const std::string& outputPath);
  void ShowStatusLine(const std::string& line);
  void OnDrop(HDROP drop);
  void OnClose();

  Form1& form_;
  Win32WindowHost& host_;
  HWND window_ = nullptr;
  HWND tips_ = nullptr;
  HWND bar_ = nullptr;
  HWND barText_ = nullptr;  // the bar's percent and time left, or its counter
  HWND verdict_ = nullptr;
  HWND runText_ = nullptr;  // the encode beside the step and the whole run
  HWND stop_ = nullptr;
  std::string verdictSource_;  // the source box's text the verdict line speaks of
  // Closing the window during a run stops it; the window closes once the run has unwound.
  bool closeWhenIdle_ = false;
  std::string dropped_;
  HFONT font_ = nullptr;
  HFONT bold_ = nullptr;
  std::vector<View> views_;
  bool busy_ = false;
};

}  // namespace parvela::win32
