// The transport-stream road: the H.264 header rewrite, AC-3 audio and the M2TS muxer.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

void Conversion::TransportStreamRoad() { RoadNotAvailable("Muxing to a PS3 transport stream"); }

}  // namespace parvela
