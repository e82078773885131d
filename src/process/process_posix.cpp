// The POSIX process runner: posix_spawn, no shell, a process group per tool.
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

}  // namespace

int PosixProcessRunner::RunAndWait(const std::string& commandLine) {
  return Run(commandLine, showToolOutput_);
}

void PosixProcessRunner::RunAndWaitHidden(const std::string& commandLine) { Run(commandLine, false); }

int PosixProcessRunner::Run(const std::string& commandLine, bool showOutput) {
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
  runningTool = pid;
  const int code = pump_ ? Wait(pid) : BlockingWait(pid);
  runningTool = 0;
  return code;
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
  pid_t pid = runningTool.load();
  if (pid > 0) kill(-pid, SIGTERM);
}

}  // namespace parvela
