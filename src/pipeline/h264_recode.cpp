// H.264 re-encoding with x264 through mencoder, subtitles burnt in.
// Not built yet: the road ends with its "not available" message.
#include "pipeline/conversion.h"

namespace parvela {

void Conversion::ReencodeH264() { RoadNotAvailable("Re-encoding to H264"); }

}  // namespace parvela
