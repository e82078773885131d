// avimux_gui: muxes the streams named in its script into an AVI.
// Not built yet.
#include "toolkit.h"

namespace parvela::toolkit {

int AvimuxMain(const Args&) { return Fail("avimux_gui", "this role is not built yet"); }

}  // namespace parvela::toolkit
