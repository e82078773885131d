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
  const std::chrono::duration<double> took = now - s.began;
  s.done = true;
  s.share = 1;
  if (!ran || s.plan.kind.empty() || s.plan.seconds <= 0) return;
  const double ratio = std::clamp(took.count() / Weight(s), 0.05, 20.0);
  for (size_t j = index + 1; j < steps_.size(); ++j) {
    if (steps_[j].plan.kind == s.plan.kind && !steps_[j].done) steps_[j].plan.seconds *= ratio;
  }
}

double RunMeter::Weight(const Step& s) const { return std::max(s.plan.seconds, 0.01); }

double RunMeter::DoneSeconds() const {
  double done = 0;
  for (const Step& s : steps_) done += Weight(s) * s.share;
  return done;
}

double RunMeter::LeftSeconds(bool besideOnly) const {
  double left = 0;
  for (const Step& s : steps_) {
    if (s.plan.beside == besideOnly) left += Weight(s) * (1 - s.share);
  }
  return left;
}

std::optional<int> RunMeter::Permille() const {
  if (!running_) return std::nullopt;
  double total = 0;
  for (const Step& s : steps_) total += Weight(s);
  return static_cast<int>(std::clamp(DoneSeconds() / total, 0.0, 1.0) * 1000);
}

// The weights say how the work divides; the clock says how fast this machine does it.
std::optional<int> RunMeter::SecondsLeft() const {
  const std::chrono::duration<double> elapsed = last_ - start_;
  const double done = DoneSeconds();
  if (!running_ || elapsed < kSettling || done <= 0) return std::nullopt;
  double serialDone = 0, besideDone = 0;
  for (const Step& s : steps_) (s.plan.beside ? besideDone : serialDone) += Weight(s) * s.share;
  const double pace = std::clamp(elapsed.count() / std::max(serialDone, besideDone), 0.05, 20.0);
  return static_cast<int>(std::lround(std::max(LeftSeconds(false), LeftSeconds(true)) * pace));
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
