// Where the program lies and where the user's files go: POSIX.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/application.h"
#include "fsutil/fsutil.h"

namespace parvela {

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

std::string DialogStartFolder() { return UserHomeFolder(); }

// A relative $XDG_CONFIG_HOME is to be ignored.
std::string UserConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == kSep) {
    std::string folder = xdg;
    while (folder.size() > 1 && folder.back() == kSep) folder.pop_back();
    return folder;
  }
  return UserHomeFolder() + ".config";
}

}  // namespace parvela
