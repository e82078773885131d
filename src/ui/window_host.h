// The window host: everything the window model asks of a real window system.
#pragma once

#include <functional>
#include <string>

#include "dshow/decoder_settings.h"

namespace parvela {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct OpenFileRequest {
  std::string filterName;     // "mkv Files (*.mkv)"
  std::string filterPattern;  // "*.MKV"
  std::string initialFolder;
  std::string title;
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // An empty title means the application's default title. A message the front end diverts
  // (Parvela's own, in an unattended batch) is not shown and answers Ok.
  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) {
    if (divert && divert(text, title, buttons)) return MsgAnswer::Ok;
    return ShowMessageBox(text, title, icon, buttons);
  }
  std::function<bool(const std::string& text, const std::string& title, MsgButtons buttons)> divert;
  // The chosen file's path, or empty text when the user cancelled.
  virtual std::string OpenFileDialog(const OpenFileRequest& request) = 0;
  // The chosen folder (no trailing separator except for a root), or empty text on cancel.
  virtual std::string BrowseForFolder(const std::string& title) = 0;
  virtual void Repaint() = 0;
  // Lets pending window events run.
  virtual void DoEvents() = 0;
  virtual void SetTopmost(bool onTop) = 0;

 protected:
  virtual MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                   MsgButtons buttons) = 0;

 public:
  // Shows the property pages of a decoding-graph filter, which edit the decoder's settings in
  // place; a host without a window does nothing.
  virtual void ShowFilterPropertyPages(const std::string& filterName,
                                       dshow::DecoderSettings& settings) {
    (void)filterName;
    (void)settings;
  }
};

// Waits a number of milliseconds. Tests record the waits and return at once.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(int milliseconds) = 0;
  // A steady count of milliseconds: a pause that work fills in part is waited out only for the rest.
  virtual long long Milliseconds() const;
};

class RealSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override;
};

// A host without a window: messages go to standard error as "Title: text"; dialogs cancel.
class HeadlessHost : public WindowHost {
 protected:
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;

 public:
  std::string OpenFileDialog(const OpenFileRequest&) override { return {}; }
  std::string BrowseForFolder(const std::string&) override { return {}; }
  void Repaint() override {}
  void DoEvents() override {}
  void SetTopmost(bool) override {}
  int MessagesShown() const { return messagesShown_; }
  int ErrorsShown() const { return errorsShown_; }

 private:
  int messagesShown_ = 0;
  int errorsShown_ = 0;
};

}  // namespace parvela
