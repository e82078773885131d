// The rule that holds an output to its source: the sound as long as the source's (retimed when
// the film is), the picture as long as the output's own sound, or, for a silent film, as long as
// the source's picture. A second or 3 % of the longer length, whichever is larger, is allowed.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "faithfulness/faithfulness.h"

namespace parvela::faithfulness {

namespace {

bool Agree(double a, double b) { return std::fabs(a - b) <= std::max(1.0, 0.03 * std::max(a, b)); }

std::string Tenths(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

}  // namespace

std::string Disagreement(const Request& request, const Lengths& source, const Lengths& output) {
  if (!output.picture) return "it has no picture";
  const bool silent = request.audioStream < 0;
  if (request.wholeFilm && !silent && !output.sound && source.sound) {
    return "it has no sound, the source's lasts " + Tenths(*source.sound);
  }
  if (request.wholeFilm && !silent && source.sound && output.sound) {
    const double expected = *source.sound * request.timeScale;
    if (!Agree(*output.sound, expected)) {
      return "the sound lasts " + Tenths(*output.sound) + ", the source's " + Tenths(expected);
    }
  }
  if (output.sound && !Agree(*output.sound, *output.picture)) {
    return "the sound lasts " + Tenths(*output.sound) + ", the picture " + Tenths(*output.picture);
  }
  if (request.wholeFilm && silent && source.picture) {
    const double expected = *source.picture * request.timeScale;
    if (!Agree(*output.picture, expected)) {
      return "the picture lasts " + Tenths(*output.picture) + ", the source's " + Tenths(expected);
    }
  }
  return {};
}

}  // namespace parvela::faithfulness
