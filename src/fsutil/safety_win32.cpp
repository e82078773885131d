// Checks that keep a conversion from harming what it did not make: the source, and a folder it
// cannot write. Win32 calls.
#include <windows.h>
#undef DeleteFile  // the file helper of that name is ours

#include <string>

#include "fsutil/fsutil.h"

namespace parvela {

namespace {

bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
}

}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (!Identity(a, ia) || !Identity(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

bool FolderIsWritable(const std::string& folder) {
  // A real attempt: attributes say nothing of a share or a medium that cannot be written.
  std::string probe = folder;
  if (probe.empty() || probe.back() != kSep) probe += kSep;
  probe += ".parvela-write-test-" + std::to_string(GetCurrentProcessId());
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace parvela
