// The WAV-to-AAC encode of Parvela's audio step on every core: the WAV is cut into as many pieces
// as there are cores, each piece is encoded by its own ffmpeg from a little before its start,
// and the ADTS streams are joined at frame boundaries so that the result decodes like one
// encode of the whole file, frame for frame.
#pragma once

#include <optional>
#include <string_view>

#include "toolkit.h"

namespace parvela::toolkit {

// `translated` is the FFmpeg role's argument list, program and fixed options left out. Nothing
// (and nothing done) when it is not a plain WAV-to-AAC encode or the WAV is too short to be worth
// cutting: the caller then runs ffmpeg once. PARVELA_AAC_PIECES in the environment overrides the
// number of pieces (1 turns the cutting off).
std::optional<int> EncodeAacInPieces(std::string_view role, const Args& translated);

}  // namespace parvela::toolkit
