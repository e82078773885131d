// A whole input file mapped into memory for reading: large streams are scanned and passed on
// from the page cache without being copied into the process first.
#pragma once

#include <string>
#include <string_view>

namespace parvela::toolkit {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // False when the file cannot be opened or mapped; an empty file maps to an empty view.
  bool Open(const std::string& path);
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }
  // Lets go of the pages wholly inside [from, to): read once, they need not count against this
  // process (the page cache keeps them for whoever reads the file next).
  void Release(size_t from, size_t to) const;
  // As Release, and the pages leave the cache too, for the next pages read or written: for a
  // file already on disk (written behind) that nobody reads again. Pages not yet on disk would
  // be written out first: a temporary file about to be deleted is better left alone.
  void ReleaseReadOnce(size_t from, size_t to) const;
  // Moves up to `bytes` from `offset` of the file into a pipe without copying them through this
  // process (splice); -1 with errno as splice leaves it, EINVAL where the file system cannot.
  long SpliceInto(int pipe, size_t offset, size_t bytes) const;

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;
};

}  // namespace parvela::toolkit
