// Where the program lies and where the user's files go: Win32.
#include <windows.h>
#undef MessageBox  // the window host method of that name is ours

#include <cstdlib>
#include <string>

#include "app/application.h"

namespace parvela {

std::string ExecutableFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ".";
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\'));
}

// The design-time output folder of the window: the second drive, as the program always had it.
std::string UserHomeFolder() { return "D:\\"; }

// The dialogs' design-time start folder: the system drive, as the program always had it.
std::string DialogStartFolder() { return "C:\\"; }

// The roaming application-data folder of the user (where programs keep their settings).
std::string UserConfigFolder() {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("APPDATA", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return std::string(path, length);
  return ExecutableFolder();  // no profile at all: beside the program, as a portable folder
}

}  // namespace parvela
