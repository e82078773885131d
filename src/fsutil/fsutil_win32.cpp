// The file-system helpers that ask the system: Win32 calls, ANSI names.
#include <windows.h>
#undef DeleteFile  // the helper of that name is ours; DeleteFileA is called by its own name

#include "fsutil/fsutil.h"
#include "fsutil/platform.h"

namespace parvela {

static_assert(sizeof(HANDLE) == sizeof(FileHandle), "a file handle is kept in an int (32-bit Windows)");

namespace {

bool Attributes(const std::string& path, DWORD& attributes) {
  if (path.empty()) return false;
  attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

}  // namespace

std::vector<std::string> ListMatchingFiles(const std::string& folder, std::string wildcard) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  // The system's own wildcards: "*.*" matches names without a dot, letter case is ignored.
  HANDLE search = FindFirstFileA((folder + wildcard).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // Folders are never listed, whatever their name: the converter must not be fed one.
    if (!IsFolder(found.dwFileAttributes)) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool IsReadOnlyFile(const std::string& path) {
  DWORD attributes;
  return Attributes(path, attributes) && !IsFolder(attributes) && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool FileIsPresent(const std::string& path) {
  DWORD attributes;
  return Attributes(path, attributes) && !IsFolder(attributes);
}

bool PathExists(const std::string& path, bool includeFolders) {
  DWORD attributes;
  if (!Attributes(path, attributes)) return false;
  return IsFolder(attributes) ? includeFolders : true;
}

bool FolderExists(const std::string& path) {
  DWORD attributes;
  return Attributes(path, attributes) && IsFolder(attributes);
}

void OpenFileAndGetSize(const std::string& path, FileHandle& handle, uint64_t& size) {
  handle = kInvalidHandle;
  size = 0;
  // Read and write access: a read-only file cannot be opened (asked first, since wine run by
  // root would open it).
  if (IsReadOnlyFile(path)) return;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length)) {
    CloseHandle(file);
    return;
  }
  handle = static_cast<FileHandle>(reinterpret_cast<intptr_t>(file));
  size = static_cast<uint64_t>(length.QuadPart);
}

void CloseFileHandle(FileHandle handle) {
  if (handle != kInvalidHandle) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)));
}

bool DeleteFile(const std::string& path) {
  // No force: the system itself leaves a read-only file in place.
  return !path.empty() && !FolderExists(path) && DeleteFileA(path.c_str()) != 0;
}

}  // namespace parvela
