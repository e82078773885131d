// The Win32 process runner: CreateProcessA with the command line as composed, a job object
// per front end so that an interrupted or closed front end ends the running tool.
#include "process/process.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace parvela {

namespace {

// How long a pumping wait sleeps between two pumps, unless the tool ends first.
constexpr DWORD kPumpMilliseconds = 40;

std::atomic<HANDLE> runningJob{nullptr};

// Every tool runs in one job that ends its processes when the last handle to it closes, so a
// front end that dies takes its tool along.
HANDLE ToolJob() {
  static HANDLE job = [] {
    HANDLE made = CreateJobObjectA(nullptr, nullptr);
    if (made) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return made;
  }();
  return job;
}

HANDLE OpenNul(DWORD access) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

DWORD WaitForTool(HANDLE process, const std::function<void()>& pump) {
  if (!pump) return WaitForSingleObject(process, INFINITE);
  DWORD state;
  while ((state = WaitForSingleObject(process, kPumpMilliseconds)) == WAIT_TIMEOUT) pump();
  return state;
}

}  // namespace

int Win32ProcessRunner::RunAndWait(const std::string& commandLine) {
  return Run(commandLine, showToolOutput_, false);
}

void Win32ProcessRunner::RunAndWaitHidden(const std::string& commandLine) { Run(commandLine, false, true); }

int Win32ProcessRunner::Run(const std::string& commandLine, bool showOutput, bool hidden) {
  if (SplitCommandLine(commandLine).empty()) return -1;
  // CreateProcessA may write into the command line it is given.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');

  HANDLE nulIn = OpenNul(GENERIC_READ);
  HANDLE nulOut = showOutput ? INVALID_HANDLE_VALUE : OpenNul(GENERIC_WRITE);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWMINNOACTIVE;
  startup.hStdInput = nulIn;
  startup.hStdOutput = showOutput ? GetStdHandle(STD_OUTPUT_HANDLE) : nulOut;
  startup.hStdError = showOutput ? GetStdHandle(STD_ERROR_HANDLE) : nulOut;
  const DWORD flags = BELOW_NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED | (hidden ? CREATE_NO_WINDOW : 0);

  PROCESS_INFORMATION started{};
  // No application name: the first word of the line names the program, as composed.
  const BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup, &started);
  if (nulIn != INVALID_HANDLE_VALUE) CloseHandle(nulIn);
  if (nulOut != INVALID_HANDLE_VALUE) CloseHandle(nulOut);
  if (!ok) return -1;

  HANDLE job = ToolJob();
  if (job) AssignProcessToJobObject(job, started.hProcess);
  runningJob = job;
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);

  DWORD code = static_cast<DWORD>(-1);
  if (WaitForTool(started.hProcess, pump_) != WAIT_OBJECT_0 || !GetExitCodeProcess(started.hProcess, &code)) {
    code = static_cast<DWORD>(-1);
  }
  runningJob = nullptr;
  CloseHandle(started.hProcess);
  return static_cast<int>(code);
}

void TerminateRunningTool() {
  if (HANDLE job = runningJob.load()) TerminateJobObject(job, 1);
}

}  // namespace parvela
