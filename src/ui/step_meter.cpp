#include "ui/step_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace parvela {

void StepMeter::Start(Clock::time_point now) {
  running_ = true;
  fraction_ = -1;
  start_ = last_ = now;
  Notify();
}

void StepMeter::Update(double fraction, Clock::time_point now) {
  if (!running_ || !std::isfinite(fraction)) return;
  fraction = std::clamp(fraction, 0.0, 1.0);
  const bool moved = fraction_ < 0 || std::abs(fraction - fraction_) >= 0.001;
  // The estimate changes with the clock too: once a second is enough for it.
  const bool ticked = now - last_ >= std::chrono::seconds(1);
  if (!moved && !ticked) return;
  fraction_ = fraction;
  last_ = now;
  Notify();
}

void StepMeter::Stop() {
  if (!running_) return;
  running_ = false;
  fraction_ = -1;
  Notify();
}

std::optional<int> StepMeter::Permille() const {
  if (!running_ || fraction_ < 0) return std::nullopt;
  return static_cast<int>(fraction_ * 1000);
}

std::optional<int> StepMeter::SecondsLeft() const {
  const std::chrono::duration<double> elapsed = last_ - start_;
  if (!running_ || fraction_ <= 0 || elapsed < kSettling) return std::nullopt;
  return static_cast<int>(std::lround(elapsed.count() / fraction_ * (1 - fraction_)));
}

std::string StepMeter::Text() const {
  const std::optional<int> permille = Permille();
  if (!permille) return {};
  std::string text = std::to_string(*permille / 10) + "%";
  if (const std::optional<int> left = SecondsLeft()) text += " \u00b7 " + ClockText(*left) + " left";
  return text;
}

std::string ClockText(int seconds) {
  char text[32];
  const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  if (h > 0) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", h, m, s);
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", m, s);
  }
  return text;
}

}  // namespace parvela
