// The test application folder's stand-in for every Windows tool under wine: started by
// parvela-cli.exe under a tool's name (MKVToolnix\mkvinfo.exe, ...), it starts the Linux
// toolkit (PARVELA_LINUX_TOOLKIT) for the role of that name with its own arguments untouched,
// and waits for it. wine starts a Linux program from CreateProcessA but hands back no process
// to wait for, so the toolkit writes its exit code into a status file this bridge waits for.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kPollMilliseconds = 20;
constexpr DWORD kGiveUpMilliseconds = 10 * 60 * 1000;

// The command line after the program's own name, byte for byte.
std::string ArgumentsText() {
  const char* line = GetCommandLineA();
  if (*line == '"') {
    line = std::strchr(line + 1, '"');
    line = line ? line + 1 : "";
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  return line;
}

std::string OwnPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

bool ReadStatus(const std::string& file, int& code) {
  std::FILE* in = std::fopen(file.c_str(), "r");
  if (!in) return false;
  const bool read = std::fscanf(in, "%d", &code) == 1;
  std::fclose(in);
  return read;
}

}  // namespace

int main() {
  const char* toolkit = std::getenv("PARVELA_LINUX_TOOLKIT");
  if (!toolkit || !*toolkit) {
    std::fprintf(stderr, "wine bridge: PARVELA_LINUX_TOOLKIT names no Linux toolkit\n");
    return 127;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string status = std::string(temp) + "parvela-bridge-" + std::to_string(GetCurrentProcessId()) + ".status";
  DeleteFileA(status.c_str());
  std::string line = "\"" + std::string(toolkit) + "\" --exit-status-file \"" + status + "\" \"" + OwnPath() +
                     "\"" + ArgumentsText();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return -1;
  }
  if (started.hProcess) CloseHandle(started.hProcess);
  if (started.hThread) CloseHandle(started.hThread);
  int code = -1;
  for (DWORD waited = 0; waited < kGiveUpMilliseconds; waited += kPollMilliseconds) {
    if (ReadStatus(status, code)) break;
    Sleep(kPollMilliseconds);
  }
  DeleteFileA(status.c_str());
  return code;
}
