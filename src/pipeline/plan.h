// The plan of a conversion before it runs: one line that says what the source is and what will
// become of it, from the last inspection and the window's options, and the steps the run will
// take with the seconds each is expected to need, for the whole run's progress. It reads the
// codec table and the checker's findings; it decides nothing the driver does not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/run_meter.h"

namespace parvela {

class Form1;

struct ConversionPlan {
  // "H.264 High@5.1 1280x720 23.976 fps → copied, level 5.1 → 4.1 · AC-3 5.1 eng → AAC
  // stereo 224 kbit/s · MP4"; empty before any inspection.
  std::string line;
  bool convertible = false;
  std::string refusal;  // why not, when it is not convertible
  std::vector<RunStep> steps;
};

// `sourceBytes` is the source's size (0: read it from the file system).
ConversionPlan PlanConversion(const Form1& form, uint64_t sourceBytes = 0);

}  // namespace parvela
