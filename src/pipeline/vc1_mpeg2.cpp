// The VC-1 and MPEG-2 source roads.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

void Conversion::ConvertVc1() { RoadNotAvailable("Converting VC-1 sources"); }

void Conversion::RepackMpeg2() { RoadNotAvailable("Repacking MPEG-2 sources"); }

}  // namespace parvela
