#include "app/state_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/application.h"
#include "fsutil/fsutil.h"
#include "ui/window_host.h"

namespace parvela {

namespace fs = std::filesystem;

namespace {

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
  if (!ec) return true;
  // Where links need a privilege (Windows), a copy of the small tool serves as well.
  return fs::copy_file(tool, link, fs::copy_options::overwrite_existing, ec);
}

}  // namespace

std::string StateFolder(const std::string& appFolder) {
  const bool systemWide = FileIsPresent(appFolder + kSep + kSystemWideMarker);
  if (!systemWide && FolderIsWritable(appFolder)) return appFolder;
  return UserConfigFolder() + kSep + "parvela";
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

bool TakeWindowStateFolder(WindowHost& host, const std::string& appFolder, std::string& stateFolder,
                           std::optional<InstanceLock>& lock) {
  stateFolder = StateFolder(appFolder);
  if (!PrepareStateFolder(appFolder, stateFolder)) {
    host.MessageBox("Parvela cannot create " + stateFolder + " for its settings, log and lock.", "Parvela",
                    MsgIcon::Critical, MsgButtons::Ok);
    return false;
  }
  lock.emplace(stateFolder);
  if (lock->Held()) return true;
  host.MessageBox("Another Parvela run is using " + stateFolder +
                      " (its report and settings). Close that window, or wait until its conversion has ended, "
                      "and start Parvela again.",
                  "Parvela", MsgIcon::Critical, MsgButtons::Ok);
  return false;
}

}  // namespace parvela
