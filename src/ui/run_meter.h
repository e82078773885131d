// The progress of a whole conversion across its steps: each step is weighted by the seconds it
// is expected to take for this source, the step now running adds its own share, and every step
// that ends teaches the steps of its kind still to come how long they really take. A step that
// runs beside the others (a video encode beside the audio work) counts at once with them; the
// time left is that of the slower of the two.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace parvela {

struct RunStep {
  // The progress text that begins the step (its start: "Encoding Audio", "Creating MP4").
  std::string text;
  double seconds = 1;    // expected for this source
  bool beside = false;   // runs beside the steps after it, and ends when the tool beside ends
  std::string kind{};    // steps of one kind learn from each other (the pieces of a split)
  bool waitsForBeside = false;  // begins only once the step beside has ended (the muxer)
};

class RunMeter : public Control {
 public:
  using Clock = std::chrono::steady_clock;

  void Start(std::vector<RunStep> steps, Clock::time_point now = Clock::now());
  void Stop();
  bool Running() const { return running_; }
  // A progress text: the first step still to come that it begins becomes the current one, and
  // the steps before it are done. Other texts change nothing.
  void OnText(const std::string& text, Clock::time_point now = Clock::now());
  // How far the current step (or the step beside) has come, 0 to 1.
  void OnStepShare(double share, Clock::time_point now = Clock::now());
  void OnBesideShare(double share, Clock::time_point now = Clock::now());
  void OnBesideEnded(Clock::time_point now = Clock::now());

  // Thousandths of the whole run done; empty when it is not running.
  std::optional<int> Permille() const;
  // Seconds left, once the run has gone a few seconds.
  std::optional<int> SecondsLeft() const;
  // "Whole run: 45% · 3:10 left", or empty when not running.
  std::string Text() const;

  static constexpr std::chrono::seconds kSettling{3};

 private:
  struct Step {
    RunStep plan;
    double share = 0;
    bool done = false;
    Clock::time_point began{};
    double took = 0;  // seconds, once done
    bool learned = false;  // a step of its kind ended and set its expectation
  };
  void Finish(size_t index, Clock::time_point now);
  // Seconds the step takes: what it took, what its pace so far says, or what was expected of
  // it as the steps already ended taught.
  double Weight(const Step& s) const;
  double Pending(const Step& s) const;
  void Changed(Clock::time_point now);

  bool running_ = false;
  std::vector<Step> steps_;
  size_t current_ = 0;       // the serial step now running; steps_.size() before the first
  size_t beside_ = SIZE_MAX; // the step running beside, if any
  Clock::time_point start_{}, last_{};
  int shownPermille_ = -1;
};

}  // namespace parvela
