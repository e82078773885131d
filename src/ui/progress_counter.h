// What a progress bar can show of the window's counters: the once-a-second audio counter of the
// progress line, or the batch and split position of lblMulti.
#pragma once

#include <optional>
#include <string>

namespace parvela {

struct ProgressCounter {
  int value = 0;
  int maximum = 0;
  bool seconds = false;  // the audio counter counts seconds
};

// The audio counter while the progress line shows it, else the position "i of N" while the
// label shows one; nothing otherwise.
std::optional<ProgressCounter> CurrentCounter(const std::string& progressText,
                                              const std::string& multiCaption, bool multiVisible);

}  // namespace parvela
