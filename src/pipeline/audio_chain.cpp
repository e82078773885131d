// The audio conversion chain: the source's audio to movie.ac3 for the roads that mux AC-3.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

bool Conversion::ConvertAudioToAc3(ChainRoad) { return false; }

void Conversion::PrepareSubtitleArg() {}

}  // namespace parvela
