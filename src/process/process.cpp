#include "process/process.h"

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

extern char** environ;

namespace parvela {

namespace {

std::atomic<pid_t> runningTool{0};
std::atomic<pid_t> besideTool{0};  // started with StartBeside, not yet waited for

// How long a pumping wait sleeps between two pumps, unless the tool ends first.
constexpr int kPumpMilliseconds = 40;

int ExitCode(int status) {
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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool inQuotes = false;
    while (i < n && (inQuotes || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && line[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && line[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg.push_back('"');
          } else {
            inQuotes = !inQuotes;
          }
          ++i;
        } else {
          arg.append(slashes, '\\');
        }
      } else if (line[i] == '"') {
        inQuotes = !inQuotes;
        ++i;
      } else {
        arg.push_back(line[i]);
        ++i;
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string Quoted(std::string_view path) {
  std::string out = "\"";
  // A trailing backslash would escape the closing quote, so such a path is escaped too.
  const bool plain = path.find('"') == std::string_view::npos && (path.empty() || path.back() != '\\');
  if (plain) {
    out.append(path);
  } else {
    // Backslashes only matter before a quote (or before the closing quote we add).
    size_t slashes = 0;
    for (char c : path) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      if (c == '"') {
        out.append(slashes * 2 + 1, '\\');
        out.push_back('"');
      } else {
        out.append(slashes, '\\');
        out.push_back(c);
      }
      slashes = 0;
    }
    out.append(slashes * 2, '\\');
  }
  out.push_back('"');
  return out;
}

int PosixProcessRunner::RunAndWait(const std::string& commandLine) {
  return Run(commandLine, showToolOutput_);
}

void PosixProcessRunner::RunAndWaitHidden(const std::string& commandLine) { Run(commandLine, false); }

int PosixProcessRunner::Spawn(const std::string& commandLine, bool showOutput) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty() || args[0].empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!showOutput) {
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
  if (err != 0) return -1;

  // Below-normal priority, so a long encode does not starve the desktop.
  errno = 0;
  setpriority(PRIO_PROCESS, static_cast<id_t>(pid), 10);
  return pid;
}

int PosixProcessRunner::Run(const std::string& commandLine, bool showOutput) {
  const int pid = Spawn(commandLine, showOutput);
  if (pid < 0) return -1;
  runningTool = pid;
  const int code = pump_ ? Wait(pid) : BlockingWait(pid);
  runningTool = 0;
  return code;
}

void PosixProcessRunner::StartBeside(const std::string& commandLine) {
  WaitBeside();  // one at a time
  const int pid = Spawn(commandLine, showToolOutput_);
  besideExit_ = pid < 0 ? -1 : 0;
  besideTool = pid < 0 ? 0 : pid;
}

int PosixProcessRunner::WaitBeside() {
  const pid_t pid = besideTool.load();
  if (pid <= 0) return besideExit_;
  besideExit_ = pump_ ? Wait(pid) : BlockingWait(pid);
  besideTool = 0;
  return besideExit_;
}

// Pumps between short sleeps; the process descriptor wakes the wait as soon as the tool ends.
int PosixProcessRunner::Wait(int pid) {
  // By the system call: the C library's declaration of it is not usable from C++ here.
  const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  while (true) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (descriptor >= 0) close(descriptor);
      return ExitCode(status);
    }
    if (done < 0 && errno != EINTR) {
      if (descriptor >= 0) close(descriptor);
      return -1;
    }
    pump_();
    if (descriptor >= 0) {
      pollfd ready{descriptor, POLLIN, 0};
      poll(&ready, 1, kPumpMilliseconds);
    } else {
      usleep(kPumpMilliseconds * 1000);
    }
  }
}

void TerminateRunningTool() {
  for (const std::atomic<pid_t>* tool : {&runningTool, &besideTool}) {
    const pid_t pid = tool->load();
    if (pid > 0) kill(-pid, SIGTERM);
  }
}

}  // namespace parvela
