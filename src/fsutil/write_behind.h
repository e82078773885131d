// Big files written once from start to end, and read once. Written pages go to the disk a little
// behind the writer and then leave the cache, so gigabytes pass through a few tens of megabytes
// of memory: the cache keeps what the machine held before, and the pages a writer needs are the
// ones it has just handed back, not new ones (which can cost more than the write itself on a
// virtual machine whose host takes free memory back).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace parvela {

class WriteBehind {
 public:
  // Behind the writer's own descriptor.
  explicit WriteBehind(int fd) : fd_(fd) {}
  // Behind a writer that keeps its descriptor to itself: the file at `path`, once it exists.
  explicit WriteBehind(std::string path) : path_(std::move(path)) {}
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  // The file now holds `end` bytes written from its start.
  void Written(uint64_t end);

 private:
  std::string path_;  // opened here, on the first news of a write
  int fd_ = -1;
  bool works_ = true;  // false on a pipe or a file system that does not take the calls
  uint64_t started_ = 0, dropped_ = 0;
};

// The cached pages of [from, to) of a file read once; those not yet on disk stay.
void DropCachedPages(int fd, uint64_t from, uint64_t to);

}  // namespace parvela
