// tsMuxeR: a Blu-ray-style M2TS from a meta file.
// Not built yet.
#include "toolkit.h"

namespace parvela::toolkit {

int TsMuxerMain(const Args&) { return Fail("tsMuxeR", "this role is not built yet"); }

}  // namespace parvela::toolkit
