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
  // Lets go of the pages wholly inside [from, to), read once: they leave this process and the
  // cache (those not yet on disk stay), and are there for the next pages read or written.
  void Release(size_t from, size_t to) const;

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;
};

}  // namespace parvela::toolkit
