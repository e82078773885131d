// The rule that holds an output to its source: the sound as long as the source's, the picture as
// long as the source's (both retimed when the film is), or, with no source to go by (a piece of a
// film), the picture as long as its own sound. A second or 3 % of the longer length, whichever is
// larger, is allowed.
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
  const bool whole = request.wholeFilm;
  const bool sound = request.audioStream >= 0 && source.sound;
  if (whole && sound && !output.sound) return "it has no sound, the source's lasts " + Tenths(*source.sound);
  if (whole && sound && !Agree(*output.sound, *source.sound * request.timeScale)) {
    return "the sound lasts " + Tenths(*output.sound) + ", the source's " + Tenths(*source.sound * request.timeScale);
  }
  // The picture as long as the source's: a source whose picture outlasts its sound keeps both.
  if (whole && source.picture) {
    const double expected = *source.picture * request.timeScale;
    if (Agree(*output.picture, expected)) return {};
    if (output.sound && Agree(*output.sound, expected)) {
      return "the sound lasts " + Tenths(*output.sound) + ", the picture " + Tenths(*output.picture);
    }
    return "the picture lasts " + Tenths(*output.picture) + ", the source's " + Tenths(expected);
  }
  // Nothing to compare with: the picture as long as the film's own sound.
  if (output.sound && !Agree(*output.sound, *output.picture)) {
    return "the sound lasts " + Tenths(*output.sound) + ", the picture " + Tenths(*output.picture);
  }
  return {};
}

}  // namespace parvela::faithfulness
