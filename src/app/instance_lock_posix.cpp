#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "fsutil/fsutil.h"

namespace parvela {

InstanceLock::InstanceLock(const std::string& stateFolder) : path_(stateFolder + kSep + "parvela.lock") {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

InstanceLock::~InstanceLock() {
  // Closing releases the lock; the file stays, so that no run ever locks a file another has
  // just removed.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace parvela
