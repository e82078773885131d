// Patching H.264 elementary streams in place.
#pragma once

#include <string>

namespace parvela {

// Rewrites the level byte of the stream's sequence parameter sets from 5.1 to 4.1. Looks only
// at the first few thousand bytes; a file without a known pattern is left untouched.
void PatchH264Level(const std::string& path);

}  // namespace parvela
