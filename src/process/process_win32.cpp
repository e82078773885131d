// The Win32 process runner: CreateProcessA with the command line as composed, a job object
// per front end so that an interrupted or closed front end ends the running tool.
#include "process/process.h"

#include <windows.h>

#include "process/line_splitter.h"

#include <atomic>
#include <cstdio>
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

// The tool's standard output and error, both into one pipe whose reading end stays ours.
struct OutputPipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  bool Open() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, kPipeBytes)) return false;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    return true;
  }
  static constexpr DWORD kPipeBytes = 64 * 1024;
};

// Reads what the pipe holds now, without blocking. False once every writer has closed it.
bool ReadAvailable(HANDLE pipe, LineSplitter& lines, bool echo) {
  char buffer[4096];
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
    if (available == 0) return true;
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) || got == 0) {
      return false;
    }
    lines.Feed(buffer, got);
    if (echo) {
      DWORD shown = 0;
      WriteFile(GetStdHandle(STD_ERROR_HANDLE), buffer, got, &shown, nullptr);
    }
  }
  return false;
}

// An anonymous pipe cannot be waited on: while the tool writes, the wait wakes every pump
// period to read what came. What the tool wrote just before it ended is read after it.
DWORD WaitForTool(HANDLE process, const std::function<void()>& pump, HANDLE output, LineSplitter& lines,
                  bool echo) {
  if (!pump && !output) return WaitForSingleObject(process, INFINITE);
  DWORD state;
  while ((state = WaitForSingleObject(process, kPumpMilliseconds)) == WAIT_TIMEOUT) {
    if (output && !ReadAvailable(output, lines, echo)) {
      CloseHandle(output);  // the tool closed its streams; its end is still to come
      output = nullptr;
    }
    if (pump) pump();
  }
  if (output) {
    ReadAvailable(output, lines, echo);
    CloseHandle(output);
  }
  lines.Flush();
  return state;
}

}  // namespace

int Win32ProcessRunner::RunAndWait(const std::string& commandLine) {
  return Run(commandLine, showToolOutput_, false, static_cast<bool>(observer_));
}

void Win32ProcessRunner::RunAndWaitHidden(const std::string& commandLine) { Run(commandLine, false, true, false); }

int Win32ProcessRunner::Run(const std::string& commandLine, bool showOutput, bool hidden, bool observe) {
  lastCrash_.clear();
  if (SplitCommandLine(commandLine).empty()) return -1;
  // CreateProcessA may write into the command line it is given.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');

  OutputPipe pipe;
  observe = observe && pipe.Open();
  HANDLE nulIn = OpenNul(GENERIC_READ);
  HANDLE nulOut = showOutput || observe ? INVALID_HANDLE_VALUE : OpenNul(GENERIC_WRITE);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWMINNOACTIVE;
  startup.hStdInput = nulIn;
  startup.hStdOutput = observe ? pipe.write : showOutput ? GetStdHandle(STD_OUTPUT_HANDLE) : nulOut;
  startup.hStdError = observe ? pipe.write : showOutput ? GetStdHandle(STD_ERROR_HANDLE) : nulOut;
  const DWORD flags = BELOW_NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED | (hidden ? CREATE_NO_WINDOW : 0);

  PROCESS_INFORMATION started{};
  // No application name: the first word of the line names the program, as composed.
  const BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup, &started);
  if (nulIn != INVALID_HANDLE_VALUE) CloseHandle(nulIn);
  if (nulOut != INVALID_HANDLE_VALUE) CloseHandle(nulOut);
  if (pipe.write) CloseHandle(pipe.write);  // the tool holds its own copy
  if (!ok) {
    if (pipe.read) CloseHandle(pipe.read);
    return -1;
  }

  HANDLE job = ToolJob();
  if (job) AssignProcessToJobObject(job, started.hProcess);
  runningJob = job;
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);

  LineSplitter lines(observer_);
  DWORD code = static_cast<DWORD>(-1);
  const DWORD state = WaitForTool(started.hProcess, pump_, observe ? pipe.read : nullptr, lines, showOutput);
  if (state != WAIT_OBJECT_0 || !GetExitCodeProcess(started.hProcess, &code)) {
    code = static_cast<DWORD>(-1);
  }
  runningJob = nullptr;
  CloseHandle(started.hProcess);
  // An unhandled exception ends a program with its NTSTATUS code (0xC0000005, ...).
  if ((code & 0xF0000000u) == 0xC0000000u) {
    const std::vector<std::string> args = SplitCommandLine(commandLine);
    const std::string program = args.empty() ? std::string() : args[0];
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    lastCrash_ = program.substr(program.find_last_of("\\/") + 1) + " was ended by exception " + text;
  }
  return static_cast<int>(code);
}

void TerminateRunningTool() {
  if (HANDLE job = runningJob.load()) TerminateJobObject(job, 1);
}

// The job object ends a front end's tools with it: there is nothing to record.
void SetToolGroupRecorder(ToolGroupRecorder) {}

}  // namespace parvela
