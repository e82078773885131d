// Cuts a tool's output into lines for the output observer; shared by the platforms' runners.
#pragma once

#include <cstddef>
#include <string>

#include "process/process.h"

namespace parvela {

// Lines end at line feeds and carriage returns (progress counters redraw their line with the
// latter); an overlong line is handed on in pieces rather than kept growing.
class LineSplitter {
 public:
  explicit LineSplitter(const OutputObserver& observer) : observer_(observer) {}
  void Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      const char c = data[i];
      if (c == '\n' || c == '\r' || line_.size() >= kLongestLine) {
        Flush();
        if (c == '\n' || c == '\r') continue;
      }
      line_.push_back(c);
    }
  }
  void Flush() {
    if (!line_.empty() && observer_) observer_(line_);
    line_.clear();
  }

 private:
  static constexpr size_t kLongestLine = 4096;
  const OutputObserver& observer_;
  std::string line_;
};

}  // namespace parvela
