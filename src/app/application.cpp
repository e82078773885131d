#include "app/application.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "fsutil/fsutil.h"

namespace parvela {

// One spelling serves the existence test, the reader and the writer on case-sensitive systems.
std::string Application::SettingsPath() const { return stateFolder + kSep + "parvela.conf"; }
std::string Application::DebugLogPath() const { return stateFolder + kSep + "debug.log"; }
std::string Application::InfoReportPath() const { return stateFolder + kSep + "info.txt"; }

std::string ExecutableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

std::string UserHomeFolder() {
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  } else {
    home = "/";
  }
  if (home.back() != kSep) home.push_back(kSep);
  return home;
}

}  // namespace parvela
