// The file-system helpers that ask the system: POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "fsutil/fsutil.h"
#include "fsutil/platform.h"

namespace fs = std::filesystem;

namespace parvela {

namespace {

bool StatPath(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool OwnerMayWrite(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

// Wildcards as the Windows directory search knows them: '*' and '?', letter case ignored.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::vector<std::string> ListMatchingFiles(const std::string& folder, std::string wildcard) {
  if (wildcard == "*.*") wildcard = "*";  // as on Windows, *.* also matches names without a dot
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    // Folders are never listed, whatever their name: the converter must not be fed one.
    if (it->is_directory(ec)) continue;
    if (WildcardMatch(wildcard, name)) names.push_back(std::move(name));
  }
  return names;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && !OwnerMayWrite(st);
}

bool FileIsPresent(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path, bool includeFolders) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  return S_ISDIR(st.st_mode) ? includeFolders : true;
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

void OpenFileAndGetSize(const std::string& path, FileHandle& handle, uint64_t& size) {
  handle = kInvalidHandle;
  size = 0;
  struct stat st;
  // Read and write access is asked for: a read-only file cannot be opened, even by root.
  if (!StatPath(path, st) || S_ISDIR(st.st_mode) || !OwnerMayWrite(st)) return;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return;
  }
  handle = fd;
  size = static_cast<uint64_t>(st.st_size);
}

void CloseFileHandle(FileHandle handle) {
  if (handle != kInvalidHandle) ::close(handle);
}

bool DeleteFile(const std::string& path) {
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return false;
  if (!S_ISLNK(st.st_mode) && !OwnerMayWrite(st)) return false;
  return ::unlink(path.c_str()) == 0;
}

}  // namespace parvela
