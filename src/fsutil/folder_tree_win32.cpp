// Removing a folder tree, making the fresh folders such a tree starts from, and the sizes and
// free space a split needs: Win32 calls.
//
// A reparse point (a junction or a symbolic link) inside the tree is removed as a link and
// never entered, so nothing outside the tree is changed.
#include <windows.h>
#undef DeleteFile  // the file helper of that name is ours

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "fsutil/fsutil.h"

namespace parvela {

namespace {

[[noreturn]] void Throw(const std::string& what, const std::string& path) {
  throw std::filesystem::filesystem_error(
      what, path, std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

// Read-only entries are made writable first: removing the tree is the one place that does so.
void ClearReadOnly(const std::string& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

void RemoveEntry(const std::string& path, DWORD attributes);

void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Throw("cannot list the folder", folder);
  }
  // Listed to the end before anything goes, so removals do not disturb the listing.
  std::vector<std::pair<std::string, DWORD>> entries;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") entries.emplace_back(folder + "\\" + name, found.dwFileAttributes);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  for (const auto& [path, attributes] : entries) RemoveEntry(path, attributes);
}

void RemoveEntry(const std::string& path, DWORD attributes) {
  ClearReadOnly(path, attributes);
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (folder) {
    if (!link) EmptyFolder(path);
    // A folder link goes with RemoveDirectory, which removes the link, not its target.
    if (!RemoveDirectoryA(path.c_str())) Throw("cannot remove the folder", path);
  } else if (!DeleteFileA(path.c_str())) {
    Throw("cannot remove", path);
  }
}

}  // namespace

void DeleteFolderTree(const std::string& folderIn) {
  std::string folder = folderIn;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) Throw("cannot read", folder);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // A file link standing where the folder was expected goes as a link; its target stays.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      SetLastError(ERROR_DIRECTORY);
      Throw("not a folder", folder);
    }
    if (!DeleteFileA(folder.c_str())) Throw("cannot remove", folder);
    return;
  }
  RemoveEntry(folder, attributes);
}

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return 0;
  }
  return CombineSize64(static_cast<int32_t>(data.nFileSizeLow), static_cast<int32_t>(data.nFileSizeHigh));
}

bool CreateNewFolder(const std::string& folder) { return !folder.empty() && CreateDirectoryA(folder.c_str(), nullptr); }

bool FreeSpace(const std::string& path, uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (path.empty() || !GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return false;
  bytes = available.QuadPart;
  return true;
}

}  // namespace parvela
