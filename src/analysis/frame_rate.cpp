// The average frame rate of a track with variable frame rate, from its timestamps: the rate at
// which the frames fill the time they span, so that a film muxed at that constant rate ends
// with its sound.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "analysis/analysis.h"

namespace parvela {

std::string AverageFrameRate(const std::string& timestampFile) {
  std::ifstream in(timestampFile);
  std::string line;
  double first = 0, last = 0;
  long long frames = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;  // the format line
    char* end = nullptr;
    const double ms = std::strtod(line.c_str(), &end);
    if (end == line.c_str()) continue;
    // Frames stored in decoding order come out of order: the span is from the least to the most.
    first = frames == 0 ? ms : std::min(first, ms);
    last = frames == 0 ? ms : std::max(last, ms);
    ++frames;
  }
  if (frames < 2 || last <= first) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(frames - 1) * 1000.0 / (last - first));
  return text;
}

}  // namespace parvela
