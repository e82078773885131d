#include "app/instance_lock.h"

#include <windows.h>
#undef DeleteFile  // the file helper of that name is ours

#include "fsutil/fsutil.h"

namespace parvela {

static_assert(sizeof(HANDLE) == sizeof(int), "the lock's handle is kept in an int (32-bit Windows)");

InstanceLock::InstanceLock(const std::string& appFolder) : path_(appFolder + kSep + "parvela.lock") {
  // Opened without sharing: a second run cannot open it while the first holds it. The handle is
  // not inheritable, so the tools do not keep the lock.
  HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  held_ = file != INVALID_HANDLE_VALUE;
  fd_ = held_ ? static_cast<int>(reinterpret_cast<intptr_t>(file)) : -1;
}

InstanceLock::~InstanceLock() {
  // Closing releases the lock; the file stays.
  if (fd_ != -1) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd_)));
}

}  // namespace parvela
