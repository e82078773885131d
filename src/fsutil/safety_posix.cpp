// Checks that keep a conversion from harming what it did not make: the source, and a folder it
// cannot write.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fsutil/fsutil.h"

namespace parvela {

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FolderIsWritable(const std::string& folder) {
  // A real attempt: permission bits say nothing for root, nor for a read-only mount.
  std::string probe = folder;
  if (probe.empty() || probe.back() != kSep) probe += kSep;
  probe += ".parvela-write-test-" + std::to_string(::getpid());
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace parvela
