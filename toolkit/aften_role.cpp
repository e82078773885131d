// aften: AC-3 encoding of a WAV file.
// Not built yet.
#include "toolkit.h"

namespace parvela::toolkit {

int AftenMain(const Args&) { return Fail("aften", "this role is not built yet"); }

}  // namespace parvela::toolkit
