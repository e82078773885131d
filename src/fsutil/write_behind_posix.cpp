#include "fsutil/write_behind.h"

#include <fcntl.h>
#include <unistd.h>

namespace parvela {

namespace {

// Large enough that every disk writes it efficiently, small enough that two of them are nothing
// beside the film.
constexpr uint64_t kWindow = 32ull << 20;

}  // namespace

WriteBehind::~WriteBehind() {
  if (!path_.empty() && fd_ >= 0) close(fd_);
}

void WriteBehind::Written(uint64_t end) {
  if (!works_ || end < started_ + kWindow) return;
  // Reading is enough to start the writing of pages and to drop them.
  if (fd_ < 0) fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  works_ = fd_ >= 0;
  if (!works_) return;
  works_ = sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(end - started_),
                           SYNC_FILE_RANGE_WRITE) == 0;
  started_ = end;
  // One window stays in flight while the writer fills the next; the one before is on disk by now.
  while (works_ && started_ >= dropped_ + 2 * kWindow) {
    works_ = sync_file_range(fd_, static_cast<off_t>(dropped_), static_cast<off_t>(kWindow),
                             SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) == 0;
    DropCachedPages(fd_, dropped_, dropped_ + kWindow);
    dropped_ += kWindow;
  }
}

void DropCachedPages(int fd, uint64_t from, uint64_t to) {
  if (to > from) posix_fadvise(fd, static_cast<off_t>(from), static_cast<off_t>(to - from), POSIX_FADV_DONTNEED);
}

}  // namespace parvela
