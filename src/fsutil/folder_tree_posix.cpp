// Removing a folder tree, making the fresh folders such a tree starts from, and the sizes and
// free space a split needs.
//
// The removal works on open folder handles and never on paths it re-resolves, so that a link
// inside the tree, or a folder swapped for a link while the removal runs, is unlinked rather
// than followed: whatever a link points to, outside the tree, keeps its content and its mode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fsutil/fsutil.h"

namespace parvela {

namespace {

[[noreturn]] void Throw(const std::string& what, const std::string& path, int error) {
  throw std::filesystem::filesystem_error(what, path, std::error_code(error, std::system_category()));
}

// Every name in the open folder, read to the end before anything is removed.
std::vector<std::string> NamesIn(int folder, const std::string& shown) {
  int copy = ::dup(folder);
  DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
  if (!listing) {
    int error = errno;
    if (copy >= 0) ::close(copy);
    Throw("cannot list the folder", shown, error);
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(listing);
  return names;
}

void EmptyFolder(int folder, const std::string& shown);

void RemoveEntry(int folder, const std::string& name, const std::string& shown) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) Throw("cannot read", shown, errno);
  if (S_ISDIR(st.st_mode)) {
    int inner = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner < 0) Throw("cannot open the folder", shown, errno);
    // A read-only folder inside the tree would keep its entries; its own handle is safe to change.
    if ((st.st_mode & S_IRWXU) != S_IRWXU) ::fchmod(inner, st.st_mode | S_IRWXU);
    try {
      EmptyFolder(inner, shown);
    } catch (...) {
      ::close(inner);
      throw;
    }
    ::close(inner);
    if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) Throw("cannot remove the folder", shown, errno);
  } else if (::unlinkat(folder, name.c_str(), 0) != 0) {
    // The file's own mode does not matter here: removing it is a change to the folder.
    Throw("cannot remove", shown, errno);
  }
}

void EmptyFolder(int folder, const std::string& shown) {
  for (const std::string& name : NamesIn(folder, shown)) RemoveEntry(folder, name, shown + kSep + name);
}

}  // namespace

void DeleteFolderTree(const std::string& folder) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) Throw("cannot read", folder, errno);
  if (!S_ISDIR(st.st_mode)) {
    // A link standing where the folder was expected goes as a link; its target stays.
    if (!S_ISLNK(st.st_mode)) Throw("not a folder", folder, ENOTDIR);
    if (::unlink(folder.c_str()) != 0) Throw("cannot remove", folder, errno);
    return;
  }
  int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (handle < 0) Throw("cannot open the folder", folder, errno);
  try {
    EmptyFolder(handle, folder);
  } catch (...) {
    ::close(handle);
    throw;
  }
  ::close(handle);
  if (::rmdir(folder.c_str()) != 0) Throw("cannot remove the folder", folder, errno);
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  return static_cast<uint64_t>(st.st_size);
}

bool CreateNewFolder(const std::string& folder) { return !folder.empty() && ::mkdir(folder.c_str(), 0777) == 0; }

bool FreeSpace(const std::string& path, uint64_t& bytes) {
  struct statvfs fs;
  if (path.empty() || ::statvfs(path.c_str(), &fs) != 0) return false;
  bytes = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
  return true;
}

}  // namespace parvela
