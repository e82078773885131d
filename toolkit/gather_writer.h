// Writes many pieces to a file descriptor in few calls: small headers are copied into a
// scratch buffer, large data (mapped input) is pointed to, and both go out by writev.
#pragma once

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parvela::toolkit {

class GatherWriter {
 public:
  explicit GatherWriter(int fd) : fd_(fd) { scratch_.reserve(kScratch); }

  void Copy(std::string_view bytes) {
    if (scratch_.size() + bytes.size() > kScratch) Flush();
    if (bytes.size() > kScratch) {
      big_ = std::string(bytes);
      Point(big_);
      Flush();
      return;
    }
    const char* at = scratch_.data() + scratch_.size();
    scratch_.append(bytes);
    if (!iov_.empty() && static_cast<const char*>(iov_.back().iov_base) + iov_.back().iov_len == at) {
      iov_.back().iov_len += bytes.size();
    } else {
      iov_.push_back({const_cast<char*>(at), bytes.size()});
    }
  }

  void Point(std::string_view bytes) {
    iov_.push_back({const_cast<char*>(bytes.data()), bytes.size()});
    if (iov_.size() >= kMaxIov) Flush();
  }

  bool Flush() {
    size_t next = 0;
    while (ok_ && next < iov_.size()) {
      ssize_t n = writev(fd_, iov_.data() + next, static_cast<int>(std::min(iov_.size() - next, kMaxIov)));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok_ = false;
        break;
      }
      auto left = static_cast<size_t>(n);
      written_ += left;
      while (next < iov_.size() && left >= iov_[next].iov_len) left -= iov_[next++].iov_len;
      if (left > 0) {
        iov_[next].iov_base = static_cast<char*>(iov_[next].iov_base) + left;
        iov_[next].iov_len -= left;
      }
    }
    iov_.clear();
    scratch_.clear();
    return ok_;
  }

  bool ok() const { return ok_; }
  // Bytes written so far.
  uint64_t written() const { return written_; }

 private:
  static constexpr size_t kScratch = 64 * 1024, kMaxIov = 512;
  int fd_;
  bool ok_ = true;
  uint64_t written_ = 0;
  std::string scratch_, big_;
  std::vector<iovec> iov_;
};

}  // namespace parvela::toolkit
