// mencoder: Debian's mencoder, translating the suboptions it no longer accepts.
// Not built yet.
#include "toolkit.h"

namespace parvela::toolkit {

int MencoderMain(const Args&) { return Fail("mencoder", "this role is not built yet"); }

}  // namespace parvela::toolkit
