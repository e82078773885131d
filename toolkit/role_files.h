// The small text files some roles take their orders from: tsMuxeR's meta file, h264info.ini and
// avimux_gui's muxer script. Each reader works on the text alone (the role reads the file), so
// it can be fed anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parvela::toolkit {

// Where a role stops reading its order file: they are a few lines long.
inline constexpr size_t kOrderFileLimit = 1 << 20;

// One line of a meta file: `V_MPEG4/ISO/AVC, "<stream.h264>", fps=23.976` or `A_AC3, "<stream.ac3>"`.
struct MetaTrack {
  std::string codec, path, fps;  // fps as written, e.g. "23.976"; empty: the stream's own
};
// The tracks of a meta file, in order. False with `error` set for a line that is no track of a
// codec the muxer takes, or for a file naming no track.
bool ParseMeta(std::string_view text, std::vector<MetaTrack>& tracks, std::string& error);
// "23.976" as the muxer reads it, e.g. "24000/1001"; empty for a rate that is no positive
// number of at most 1000.
std::string RateFraction(const std::string& fps);

// [Paths] InputPath= and OutputPath= of h264info.ini, trimmed and unquoted; empty when absent.
struct IniPaths {
  std::string input, output;
};
IniPaths ParseH264InfoIni(std::string_view text);

// What a muxer script asks for.
struct MuxScript {
  std::vector<std::string> files;
  size_t video = 0, audio = 0;  // 1-based numbers of loaded files, 0 when not chosen
  uint64_t maxBytes = 0;        // 0: no limit
  std::string output;
};
// False with `error` set for a line the muxer would refuse, or a script without START.
bool ParseMuxScript(std::string_view text, MuxScript& script, std::string& error);

}  // namespace parvela::toolkit
