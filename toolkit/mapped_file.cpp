#include "mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "fsutil/write_behind.h"

namespace parvela::toolkit {

MappedFile::~MappedFile() {
  if (data_ && size_ > 0) munmap(data_, size_);
  if (fd_ >= 0) close(fd_);
}

bool MappedFile::Open(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok && st.st_size > 0) {
    void* data = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ok = data != MAP_FAILED;
    if (ok) {
      data_ = data;
      size_ = static_cast<size_t>(st.st_size);
      madvise(data_, size_, MADV_SEQUENTIAL);
    }
  }
  if (ok) {
    fd_ = fd;
  } else {
    close(fd);
  }
  return ok;
}

void MappedFile::Release(size_t from, size_t to) const {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  from = (from + page - 1) / page * page;
  to = std::min(to, size_) / page * page;
  if (data_ && from < to) madvise(static_cast<char*>(data_) + from, to - from, MADV_DONTNEED);
}

void MappedFile::ReleaseReadOnce(size_t from, size_t to) const {
  Release(from, to);
  DropCachedPages(fd_, from, std::min(to, size_));
}

long MappedFile::SpliceInto(int pipe, size_t offset, size_t bytes) const {
  loff_t at = static_cast<loff_t>(offset);
  return static_cast<long>(splice(fd_, &at, pipe, nullptr, bytes, SPLICE_F_MOVE | SPLICE_F_NONBLOCK));
}

}  // namespace parvela::toolkit
