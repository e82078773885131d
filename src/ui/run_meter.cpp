#include "ui/run_meter.h"

#include <algorithm>
#include <cmath>

#include "ui/step_meter.h"

namespace parvela {

void RunMeter::Start(std::vector<RunStep> steps, Clock::time_point now) {
  steps_.clear();
  for (RunStep& plan : steps) steps_.push_back(Step{std::move(plan)});
  running_ = !steps_.empty();
  current_ = steps_.size();
  beside_ = SIZE_MAX;
  start_ = last_ = now;
  shownPermille_ = -1;
  Notify();
}

void RunMeter::Stop() {
  if (!running_) return;
  running_ = false;
  steps_.clear();
  Notify();
}

void RunMeter::OnText(const std::string& text, Clock::time_point now) {
  if (!running_) return;
  const size_t from = current_ == steps_.size() ? 0 : current_ + 1;
  for (size_t i = from; i < steps_.size(); ++i) {
    if (steps_[i].done || text.rfind(steps_[i].plan.text, 0) != 0) continue;
    // The serial steps before it are over; a step beside goes on until its tool ends.
    for (size_t j = 0; j < i; ++j) {
      if (!steps_[j].done && j != beside_) Finish(j, now);
    }
    steps_[i].began = now;
    if (steps_[i].plan.beside) {
      beside_ = i;
    } else {
      current_ = i;
    }
    Changed(now);
    return;
  }
}

void RunMeter::OnStepShare(double share, Clock::time_point now) {
  if (!running_ || current_ >= steps_.size() || !std::isfinite(share)) return;
  steps_[current_].share = std::max(steps_[current_].share, std::clamp(share, 0.0, 1.0));
  Changed(now);
}

void RunMeter::OnBesideShare(double share, Clock::time_point now) {
  if (!running_ || beside_ >= steps_.size() || !std::isfinite(share)) return;
  steps_[beside_].share = std::max(steps_[beside_].share, std::clamp(share, 0.0, 1.0));
  Changed(now);
}

void RunMeter::OnBesideEnded(Clock::time_point now) {
  if (!running_ || beside_ >= steps_.size()) return;
  Finish(beside_, now);
  beside_ = SIZE_MAX;
  Changed(now);
}

// What the step really took teaches the steps of its kind still to come.
void RunMeter::Finish(size_t index, Clock::time_point now) {
  Step& s = steps_[index];
  if (s.done) return;
  const bool ran = s.began != Clock::time_point{};
  s.took = ran ? std::chrono::duration<double>(now - s.began).count() : 0;
  s.done = true;
  s.share = 1;
  if (!ran || s.plan.kind.empty() || s.plan.seconds <= 0) return;
  const double ratio = std::clamp(s.took / s.plan.seconds, 0.05, 20.0);
  for (size_t j = index + 1; j < steps_.size(); ++j) {
    if (steps_[j].plan.kind == s.plan.kind && !steps_[j].done) {
      steps_[j].plan.seconds *= ratio;
      steps_[j].learned = true;
    }
  }
}

// A step not yet begun, of a kind no step has taught: the steps that ended say how this machine
// compares with the expectation.
double RunMeter::Pending(const Step& s) const {
  if (s.learned) return std::max(s.plan.seconds, 0.01);
  double took = 0, expected = 0;
  for (const Step& d : steps_) {
    if (d.done && d.took > 0) {
      took += d.took;
      expected += d.plan.seconds;
    }
  }
  const double ratio = expected > 1 ? std::clamp(took / expected, 0.2, 5.0) : 1;
  return std::max(s.plan.seconds * ratio, 0.01);
}

double RunMeter::Weight(const Step& s) const {
  if (s.done) return std::max(s.took, 0.01);
  if (s.began == Clock::time_point{}) return Pending(s);
  const double ran = std::chrono::duration<double>(last_ - s.began).count();
  // Once the step has run a while and told its share, its own pace is the better guess.
  if (ran >= kSettling.count() && s.share >= 0.05) return std::max(ran / s.share, ran);
  return std::max(Pending(s), ran);
}

std::optional<int> RunMeter::Permille() const {
  if (!running_) return std::nullopt;
  double total = 0, done = 0;
  for (const Step& s : steps_) {
    total += Weight(s);
    done += Weight(s) * s.share;
  }
  return static_cast<int>(std::clamp(done / total, 0.0, 1.0) * 1000);
}

// The serial steps and the step beside run at once; what waits for both begins after the
// slower of them.
std::optional<int> RunMeter::SecondsLeft() const {
  const std::chrono::duration<double> elapsed = last_ - start_;
  if (!running_ || elapsed < kSettling) return std::nullopt;
  double serial = 0, beside = 0, after = 0;
  for (const Step& s : steps_) {
    const double left = Weight(s) * (1 - s.share);
    if (s.plan.beside) {
      beside += left;
    } else if (s.plan.waitsForBeside || (after > 0 && !s.done)) {
      after += left;
    } else {
      serial += left;
    }
  }
  return static_cast<int>(std::lround(std::max(serial, beside) + after));
}

std::string RunMeter::Text() const {
  const std::optional<int> permille = Permille();
  if (!permille) return {};
  std::string text = "Whole run: " + std::to_string(*permille / 10) + "%";
  if (const std::optional<int> left = SecondsLeft()) text += " \u00b7 " + ClockText(*left) + " left";
  return text;
}

// The views are told of a change of a tenth of a percent, or once a second for the clock.
void RunMeter::Changed(Clock::time_point now) {
  const int permille = Permille().value_or(-1);
  if (permille == shownPermille_ && now - last_ < std::chrono::seconds(1)) return;
  shownPermille_ = permille;
  last_ = now;
  Notify();
}

}  // namespace parvela
