// Patching H.264 elementary streams in place.
#pragma once

#include <string>

namespace parvela {

class ProcessRunner;

// Rewrites the level byte of the stream's sequence parameter sets from 5.1 to 4.1. Looks only
// at the first few thousand bytes. When none of its four byte patterns is there, the first
// sequence parameter set's level byte is rewritten to 4.1 if it announces more; otherwise the
// file is left untouched.
void PatchH264Level(const std::string& path);

// Has h264info copy outputFolder's movie_raw.h264 to movie.h264 with its headers rewritten:
// its ini file beside it is written afresh, the tool runs hidden, and movie_raw.h264 is deleted
// whatever the tool did. toolHome holds h264info/ (the application folder, or a state folder
// with a link to the tool there); outputFolder ends in the separator.
void RewriteH264Header(ProcessRunner& runner, const std::string& toolHome, const std::string& outputFolder);

}  // namespace parvela
