// The progress of the step now running, read from the tool's own output: how far it is, and
// once it has run a few seconds, how long it has left. Views show it as a bar (a busy one while
// the length is unknown) and the command line as one redrawn line.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "ui/controls.h"

namespace parvela {

class StepMeter : public Control {
 public:
  using Clock = std::chrono::steady_clock;

  // A step begins; until a fraction comes its length is unknown.
  void Start(Clock::time_point now = Clock::now());
  // The share done, 0 to 1. Changes of less than a thousandth notify nobody.
  void Update(double fraction, Clock::time_point now = Clock::now());
  void Stop();

  bool Running() const { return running_; }
  // Thousandths done; empty while the length is unknown.
  std::optional<int> Permille() const;
  // Whole seconds left, estimated from the pace so far once the step has run a few seconds.
  std::optional<int> SecondsLeft() const;
  // "45%", "45% · 2:10 left", or empty while the length is unknown.
  std::string Text() const;

  static constexpr std::chrono::seconds kSettling{3};

 private:
  bool running_ = false;
  double fraction_ = -1;
  Clock::time_point start_{}, last_{};
};

// "2:10", "1:02:03": minutes and seconds, with hours in front when there are any.
std::string ClockText(int seconds);

}  // namespace parvela
