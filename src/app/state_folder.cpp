#include "app/state_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/application.h"
#include "fsutil/fsutil.h"

namespace parvela {

namespace fs = std::filesystem;

namespace {

// The user's configuration folder: $XDG_CONFIG_HOME when it names an absolute path (a relative
// one is to be ignored), otherwise the home folder's ".config".
std::string ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == kSep) {
    std::string folder = xdg;
    while (folder.size() > 1 && folder.back() == kSep) folder.pop_back();
    return folder;
  }
  return UserHomeFolder() + ".config";
}

// The tool link in the state folder; a link left by an application folder that has moved is
// replaced.
bool LinkH264Info(const std::string& appFolder, const std::string& stateFolder) {
  const fs::path tool = fs::path(appFolder) / "h264info" / "h264info.exe";
  const fs::path link = fs::path(stateFolder) / "h264info" / "h264info.exe";
  std::error_code ec;
  fs::create_directory(link.parent_path(), ec);
  if (fs::is_symlink(link, ec)) {
    if (fs::read_symlink(link, ec) == tool) return true;
    fs::remove(link, ec);
  }
  fs::create_symlink(tool, link, ec);
  return !ec;
}

}  // namespace

std::string StateFolder(const std::string& appFolder) {
  const bool systemWide = FileIsPresent(appFolder + kSep + kSystemWideMarker);
  if (!systemWide && FolderIsWritable(appFolder)) return appFolder;
  return ConfigHome() + kSep + "parvela";
}

bool PrepareStateFolder(const std::string& appFolder, const std::string& stateFolder) {
  if (stateFolder == appFolder) return true;
  std::error_code ec;
  // Only the last level is Parvela's own; the folders above it are the user's business.
  fs::create_directories(fs::path(stateFolder).parent_path(), ec);
  if (fs::create_directory(stateFolder, ec)) {
    fs::permissions(stateFolder, fs::perms::owner_all, ec);
  }
  if (!FolderExists(stateFolder)) return false;
  LinkH264Info(appFolder, stateFolder);  // only the transport-stream road needs it
  return true;
}

}  // namespace parvela
