// Stand-ins for the seams, for unit tests: no real tool, no real window, no real waits.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "process/process.h"
#include "ui/window_host.h"

namespace parvela::testing {

// Keeps every command line verbatim; the test plays the tool in `onRun` (create or omit files).
class RecordingRunner : public ProcessRunner {
 public:
  struct Call {
    std::string commandLine;
    bool hidden;
  };
  int RunAndWait(const std::string& commandLine) override;
  void RunAndWaitHidden(const std::string& commandLine) override;
  // A tool started beside is played at its start, as the base runner does, and kept in `calls`
  // in the order of starts; `events` also shows where the caller waited for it.
  void StartBeside(const std::string& commandLine) override;
  int WaitBeside() override;
  std::vector<std::string> Lines() const;

  // Plays the tool now running as ended by a signal (from onRun): "X was ended by signal 11".
  void PlayCrash(const std::string& how) { lastCrash_ = how; }

  std::vector<Call> calls;
  // "run LINE", "beside LINE" and "wait beside", in the order they came.
  std::vector<std::string> events;
  // Called for every command line, after it has been recorded; returns the exit code.
  std::function<int(const std::string& commandLine)> onRun;

 private:
  int besideCode_ = 0;
};

// Answers from a script, and a log of every call in the order they came.
class ScriptedHost : public WindowHost {
 public:
  struct Message {
    std::string text, title;
    MsgIcon icon;
    MsgButtons buttons;
  };
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;
  std::string OpenFileDialog(const OpenFileRequest& request) override;
  std::string BrowseForFolder(const std::string& title) override;
  void Repaint() override { log.push_back("Repaint"); }
  void DoEvents() override {
    log.push_back("DoEvents");
    if (onDoEvents) onDoEvents();
  }
  void SetTopmost(bool onTop) override { log.push_back(onTop ? "Topmost" : "NotTopmost"); }
  void ShowFilterPropertyPages(const std::string& filterName,
                               dshow::DecoderSettings& settings) override {
    log.push_back("PropertyPages " + filterName);
    if (onPropertyPages) onPropertyPages(settings);
  }

  std::vector<Message> messages;
  std::vector<OpenFileRequest> fileRequests;
  std::vector<std::string> folderTitles;
  std::vector<std::string> log;
  std::deque<MsgAnswer> answers;       // for Yes/No questions; Yes when empty
  std::deque<std::string> fileAnswers;    // empty text: cancelled
  std::deque<std::string> folderAnswers;  // empty text: cancelled
  std::function<void()> onDoEvents;
  std::function<void(dshow::DecoderSettings&)> onPropertyPages;  // plays the user's changes
};

class RecordingSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override { waits.push_back(milliseconds), clock += milliseconds; }
  // Time passes in the waits only, and where a test moves it on.
  long long Milliseconds() const override { return clock; }
  std::vector<int> waits;
  long long clock = 0;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

// A copy of the built application folder as a fresh installation has it: without the settings,
// log, report and lock an earlier run from the build folder left there.
void CopyApplicationFolder(const std::string& from, const std::string& to);

}  // namespace parvela::testing
