// The average frame rate of a track with variable frame rate, from its timestamps: the rate at
// which the frames fill the time they span, so that a film muxed at that constant rate ends
// with its sound.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "analysis/analysis.h"

namespace parvela {

namespace {

std::vector<double> ReadStamps(const std::string& timestampFile) {
  std::ifstream in(timestampFile);
  std::vector<double> stamps;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;  // the format line
    char* end = nullptr;
    const double ms = std::strtod(line.c_str(), &end);
    if (end != line.c_str()) stamps.push_back(ms);
  }
  return stamps;
}

}  // namespace

size_t TimestampCount(const std::string& timestampFile) { return ReadStamps(timestampFile).size(); }

std::string AverageFrameRate(const std::string& timestampFile) {
  std::vector<double> stamps = ReadStamps(timestampFile);
  // Frames stored in decoding order come out of order, and mkvextract may repeat the last
  // timestamp: the distinct times, from the least to the most, are the frames.
  std::sort(stamps.begin(), stamps.end());
  stamps.erase(std::unique(stamps.begin(), stamps.end()), stamps.end());
  if (stamps.size() < 2) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.3f",
                static_cast<double>(stamps.size() - 1) * 1000.0 / (stamps.back() - stamps.front()));
  return text;
}

}  // namespace parvela
