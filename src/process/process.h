// Running external tools: one command line at a time, waited for to its end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parvela {

// Told each line a running tool writes to its standard output or error, as it comes; a
// carriage return ends a line too, since progress counters redraw their line with it.
using OutputObserver = std::function<void(std::string_view line)>;

// The seam through which every external program is started. Tests stand in a recorder.
class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs the command line to its end and returns the exit code; -1 when it cannot start.
  virtual int RunAndWait(const std::string& commandLine) = 0;
  // The same, for tools that must not show anything (the header rewriter).
  virtual void RunAndWaitHidden(const std::string& commandLine) = 0;
  // Optional: the observer of the output of the tools RunAndWait starts from now on (an empty
  // one ends it). A runner that cannot read the output (the recorder in tests) ignores it; the
  // blocking, the exit code and the command line stay as they are.
  void SetOutputObserver(OutputObserver observer) { observer_ = std::move(observer); }
  // Starts one tool to run beside those the caller runs next (a video encode beside the audio
  // work), and waits for it to end, giving its exit code. A runner that runs one tool at a time
  // runs it to its end at the start, so the order of command lines is the order of starts.
  virtual void StartBeside(const std::string& commandLine) {
    OutputObserver foreground = std::exchange(observer_, besideObserver_);
    besideCode_ = RunAndWait(commandLine);
    besideCrash_ = lastCrash_;
    observer_ = std::move(foreground);
  }
  virtual int WaitBeside() { return besideCode_; }
  // Optional: the observer of the output of the next tool started beside (an empty one: none).
  // Its lines reach it on the caller's thread, during the runner's waits and in
  // DeliverBesideOutput, never on another thread.
  void SetBesideObserver(OutputObserver observer) { besideObserver_ = std::move(observer); }
  // Hands the beside tool's lines read since the last call to its observer; a runner that
  // cannot read them does nothing. Work done in-process (the decoding graph) calls it now and then.
  virtual void DeliverBesideOutput() {}
  // How the last tool RunAndWait waited for ended when it did not exit by itself (a crash:
  // "Mencoder.exe was ended by signal 11 (Segmentation fault)"); empty when it exited with a
  // status, whatever its code. The exit code RunAndWait returns stays as it was.
  const std::string& LastCrash() const { return lastCrash_; }
  // The same for the tool started beside, once waited for; taken, so that it is told once.
  std::string TakeBesideCrash() { return std::exchange(besideCrash_, std::string()); }

 protected:
  OutputObserver observer_;
  OutputObserver besideObserver_;
  std::string lastCrash_;
  std::string besideCrash_;

 private:
  int besideCode_ = -1;
};

// Starts programs directly with posix_spawn, never through a shell, at a lower priority,
// with standard input from /dev/null and in a process group of their own.
class PosixProcessRunner : public ProcessRunner {
 public:
  explicit PosixProcessRunner(bool showToolOutput = false) : showToolOutput_(showToolOutput) {}
  int RunAndWait(const std::string& commandLine) override;
  void RunAndWaitHidden(const std::string& commandLine) override;
  void SetShowToolOutput(bool show) { showToolOutput_ = show; }
  // Called again and again while a tool runs (a window front end repaints in it); without one
  // the wait simply blocks.
  void SetWaitPump(std::function<void()> pump) { pump_ = std::move(pump); }
  void StartBeside(const std::string& commandLine) override;
  int WaitBeside() override;
  void DeliverBesideOutput() override;
  ~PosixProcessRunner() override;

 private:
  // Starts the tool: its pid, or -1. outputFd is the read end of its output when observed.
  int Spawn(const std::string& commandLine, bool showOutput, bool observe, int& outputFd);
  int Run(const std::string& commandLine, bool showOutput, bool observe);
  // Waits pumping, or reading the tool's output (outputFd, -1 when not read), or both.
  int Wait(int pid, int outputFd, bool echo);
  bool showToolOutput_;
  std::function<void()> pump_;
  int besideExit_ = -1;
  std::string besideCommand_;
  // The beside tool's output, read on a thread of its own so that the tool never waits on a
  // full pipe while this thread works in-process (process_posix_beside.cpp).
  struct BesideOutput;
  std::shared_ptr<BesideOutput> besideOutput_;
  void EndBesideOutput();
};

// Splits a command line into arguments by the Microsoft C runtime rules: whitespace outside
// double quotes separates; 2n backslashes before a quote give n and toggle quoting, 2n+1 give
// n and a literal quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Wraps a path in double quotes for a composed command line. An ordinary path comes back as
// quote + path + quote; only a path holding a double quote or ending in a backslash is escaped,
// so that
// SplitCommandLine gives it back unchanged.
std::string Quoted(std::string_view path);

// Kills the process groups of the tools now running, if any (for a front end being interrupted).
void TerminateRunningTool();

// Told the process groups of the tools now running whenever they change, so that the lock of a
// run can record them and the next run end the tools of a front end that was killed. Where the
// system ends a front end's tools with it (a job object on Windows) nothing is told.
using ToolGroupRecorder = std::function<void(const std::vector<int>& groups)>;
void SetToolGroupRecorder(ToolGroupRecorder recorder);

}  // namespace parvela

// The runner of this platform's front ends.
#ifdef _WIN32
namespace parvela {

// Starts programs with CreateProcessA and the command line exactly as composed (the program
// splits it itself), at below-normal priority, minimized (the hidden variant: no window), with
// standard input from NUL, inside a job object that ends the tool with the front end. With an
// output observer, the tool's standard output and error come back through an anonymous pipe.
class Win32ProcessRunner : public ProcessRunner {
 public:
  explicit Win32ProcessRunner(bool showToolOutput = false) : showToolOutput_(showToolOutput) {}
  int RunAndWait(const std::string& commandLine) override;
  void RunAndWaitHidden(const std::string& commandLine) override;
  void SetShowToolOutput(bool show) { showToolOutput_ = show; }
  void SetWaitPump(std::function<void()> pump) { pump_ = std::move(pump); }

 private:
  // observe: the tool's output goes through a pipe to the observer (and is echoed when shown).
  int Run(const std::string& commandLine, bool showOutput, bool hidden, bool observe);
  bool showToolOutput_;
  std::function<void()> pump_;
};
using SystemProcessRunner = Win32ProcessRunner;

}  // namespace parvela
#else
namespace parvela {
using SystemProcessRunner = PosixProcessRunner;
}  // namespace parvela
#endif
