// h264info: copies an H.264 stream named in its ini file, rewriting the level.
// Not built yet.
#include "toolkit.h"

namespace parvela::toolkit {

int H264InfoMain(const Args&) { return Fail("h264info", "this role is not built yet"); }

}  // namespace parvela::toolkit
