// The POSIX process runner: posix_spawn, no shell, a process group per tool.
#include "process/process.h"

#include "process/line_splitter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

extern char** environ;

namespace parvela {

namespace {

std::atomic<pid_t> runningTool{0};
std::atomic<pid_t> besideTool{0};  // started with StartBeside, not yet waited for

// How long a pumping wait sleeps between two pumps, unless the tool ends first.
constexpr int kPumpMilliseconds = 40;

ToolGroupRecorder groupRecorder;

void RecordToolGroups() {
  if (!groupRecorder) return;
  std::vector<int> groups;
  for (const std::atomic<pid_t>* tool : {&runningTool, &besideTool}) {
    if (tool->load() > 0) groups.push_back(tool->load());
  }
  groupRecorder(groups);
}

// The signal that ended the tool, or 0 when it exited by itself.
int signalOfLastWait = 0;

int ExitCode(int status) {
  signalOfLastWait = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int BlockingWait(pid_t pid) {
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  return done < 0 ? -1 : ExitCode(status);
}

// "Mencoder.exe was ended by signal 11 (Segmentation fault)", or empty after a plain exit.
std::string CrashText(const std::string& commandLine) {
  if (signalOfLastWait == 0) return {};
  const std::vector<std::string> args = SplitCommandLine(commandLine);
  std::string program = args.empty() ? std::string() : args[0];
  program = program.substr(program.find_last_of('/') + 1);
  const char* name = strsignal(signalOfLastWait);
  return program + " was ended by signal " + std::to_string(signalOfLastWait) + (name ? std::string(" (") + name + ")" : "");
}

// Reads what the pipe holds now. False at its end (every writer closed it).
bool ReadAvailable(int fd, LineSplitter& lines, bool echo) {
  char buffer[4096];
  while (true) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      lines.Feed(buffer, static_cast<size_t>(got));
      if (echo) {
        ssize_t shown = write(STDERR_FILENO, buffer, static_cast<size_t>(got));
        (void)shown;
      }
      continue;
    }
    if (got == 0) return false;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  }
}

}  // namespace

int PosixProcessRunner::RunAndWait(const std::string& commandLine) {
  return Run(commandLine, showToolOutput_, static_cast<bool>(observer_));
}

void PosixProcessRunner::RunAndWaitHidden(const std::string& commandLine) { Run(commandLine, false, false); }

int PosixProcessRunner::Spawn(const std::string& commandLine, bool showOutput, bool observe, int& outputFd) {
  outputFd = -1;
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty() || args[0].empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // Both streams into one pipe, read as the tool writes; shown on our side when asked.
  int output[2] = {-1, -1};
  if (observe && pipe2(output, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
  } else if (!showOutput) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);

  pid_t pid = 0;
  // The program is started by its path as given: no PATH search, no shell.
  int err = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (output[1] >= 0) close(output[1]);
  if (err != 0) {
    if (output[0] >= 0) close(output[0]);
    return -1;
  }
  if (output[0] >= 0) fcntl(output[0], F_SETFL, O_NONBLOCK);

  // Below-normal priority, so a long encode does not starve the desktop.
  errno = 0;
  setpriority(PRIO_PROCESS, static_cast<id_t>(pid), 10);
  outputFd = output[0];
  return pid;
}

int PosixProcessRunner::Run(const std::string& commandLine, bool showOutput, bool observe) {
  int outputFd = -1;
  lastCrash_.clear();
  signalOfLastWait = 0;
  const int pid = Spawn(commandLine, showOutput, observe, outputFd);
  if (pid < 0) return -1;
  runningTool = pid;
  RecordToolGroups();
  const int code = pump_ || outputFd >= 0 ? Wait(pid, outputFd, showOutput) : BlockingWait(pid);
  runningTool = 0;
  RecordToolGroups();
  lastCrash_ = CrashText(commandLine);
  return code;
}

// A thread reads the beside tool's pipe to its end and keeps the lines for the caller's thread.
// Only the newest lines are kept when nobody collects them for long: progress needs no more.
struct PosixProcessRunner::BesideOutput {
  static constexpr size_t kKeptLines = 4096;
  std::mutex mutex;
  std::vector<std::string> lines;
  OutputObserver collect;
  std::thread reader;

  BesideOutput(int fd, bool echo) {
    collect = [this](std::string_view line) {
      std::lock_guard<std::mutex> hold(mutex);
      if (lines.size() >= kKeptLines) lines.erase(lines.begin(), lines.begin() + kKeptLines / 2);
      lines.emplace_back(line);
    };
    reader = std::thread([this, fd, echo] {
      LineSplitter splitter(collect);
      pollfd ready{fd, POLLIN, 0};
      while (poll(&ready, 1, -1) >= 0 || errno == EINTR) {
        if (!ReadAvailable(fd, splitter, echo)) break;
      }
      splitter.Flush();
      close(fd);
    });
  }
  ~BesideOutput() {
    if (reader.joinable()) reader.join();
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> hold(mutex);
    return std::exchange(lines, {});
  }
};

PosixProcessRunner::~PosixProcessRunner() { EndBesideOutput(); }

void PosixProcessRunner::StartBeside(const std::string& commandLine) {
  WaitBeside();  // one at a time
  int outputFd = -1;
  const bool observe = static_cast<bool>(besideObserver_);
  const int pid = Spawn(commandLine, showToolOutput_, observe, outputFd);
  besideExit_ = pid < 0 ? -1 : 0;
  besideTool = pid < 0 ? 0 : pid;
  besideCommand_ = commandLine;
  besideCrash_.clear();
  RecordToolGroups();
  if (outputFd >= 0) besideOutput_ = std::make_shared<BesideOutput>(outputFd, showToolOutput_);
}

int PosixProcessRunner::WaitBeside() {
  const pid_t pid = besideTool.load();
  if (pid <= 0) return besideExit_;
  signalOfLastWait = 0;
  besideExit_ = pump_ || besideOutput_ ? Wait(pid, -1, false) : BlockingWait(pid);
  besideTool = 0;
  RecordToolGroups();
  besideCrash_ = CrashText(besideCommand_);
  EndBesideOutput();
  return besideExit_;
}

void PosixProcessRunner::DeliverBesideOutput() {
  if (!besideOutput_) return;
  for (const std::string& line : besideOutput_->Take()) {
    if (besideObserver_) besideObserver_(line);
  }
}

// The reader ends with the pipe, once the tool (and whatever it started) has closed it.
void PosixProcessRunner::EndBesideOutput() {
  if (!besideOutput_) return;
  besideOutput_->reader.join();
  DeliverBesideOutput();
  besideOutput_.reset();
}

// Pumps between short sleeps and reads the tool's output as it comes; the process descriptor
// wakes the wait as soon as the tool ends.
int PosixProcessRunner::Wait(int pid, int outputFd, bool echo) {
  // By the system call: the C library's declaration of it is not usable from C++ here.
  const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  LineSplitter lines(observer_);
  auto finish = [&](int code) {
    if (outputFd >= 0) {
      ReadAvailable(outputFd, lines, echo);  // what the tool wrote just before it ended
      close(outputFd);
    }
    lines.Flush();
    if (descriptor >= 0) close(descriptor);
    return code;
  };
  while (true) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return finish(ExitCode(status));
    if (done < 0 && errno != EINTR) return finish(-1);
    if (pump_) pump_();
    DeliverBesideOutput();
    pollfd ready[2];
    nfds_t count = 0;
    if (descriptor >= 0) ready[count++] = {descriptor, POLLIN, 0};
    if (outputFd >= 0) ready[count++] = {outputFd, POLLIN, 0};
    const int timeout = pump_ || besideOutput_ || descriptor < 0 ? kPumpMilliseconds : -1;
    if (count > 0) {
      poll(ready, count, timeout);
    } else {
      usleep(kPumpMilliseconds * 1000);
    }
    if (outputFd >= 0 && !ReadAvailable(outputFd, lines, echo)) {
      close(outputFd);  // the tool closed its streams; its end is still to come
      outputFd = -1;
    }
  }
}

void SetToolGroupRecorder(ToolGroupRecorder recorder) { groupRecorder = std::move(recorder); }

void TerminateRunningTool() {
  for (const std::atomic<pid_t>* tool : {&runningTool, &besideTool}) {
    const pid_t pid = tool->load();
    if (pid > 0) kill(-pid, SIGTERM);
  }
}

}  // namespace parvela
