// The Xvid road: re-encoding with mencoder and muxing an AVI.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

void Conversion::XvidRoad() { RoadNotAvailable("Re-encoding to Xvid"); }

}  // namespace parvela
