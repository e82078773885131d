// Split conversion: a large source cut into pieces, each converted by a nested run.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

void Conversion::SplitAndConvert() {
  RoadNotAvailable("Splitting sources above 4 GB (clear \"Split > 4GB ?\" to convert the source whole)");
}

}  // namespace parvela
