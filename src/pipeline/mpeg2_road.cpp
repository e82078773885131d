// The MPEG-2 road: re-encoding with mencoder and muxing a program stream.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

void Conversion::Mpeg2RecodeRoad() { RoadNotAvailable("Re-encoding to MPEG2"); }

}  // namespace parvela
