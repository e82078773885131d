// tsMuxeR's meta-file reader on any text: it ends, and every track it accepts is one the muxer
// can act on (a codec it takes, a path without quotes or surrounding blanks, a rate it reads).
#include "fuzz_support.h"
#include "role_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  std::vector<toolkit::MetaTrack> tracks;
  std::string error;
  const bool read = toolkit::ParseMeta({reinterpret_cast<const char*>(data), size}, tracks, error);
  fuzz::Require(read == error.empty(), "an error exactly when the file is refused");
  fuzz::Require(!read || !tracks.empty(), "an accepted file names a track");
  for (const auto& track : tracks) {
    fuzz::Require(track.codec == "V_MPEG4/ISO/AVC" || track.codec == "A_AC3", "a codec the muxer takes");
    const std::string& path = track.path;
    fuzz::Require(!path.empty() && path.find('"') == std::string::npos, "a path without quotes");
    fuzz::Require(path.front() != ' ' && path.back() != ' ', "a path without surrounding blanks");
    const std::string rate = toolkit::RateFraction(track.fps);
    fuzz::Require(rate.empty() || rate.find('/') != std::string::npos, "a rate as a fraction");
  }
  return 0;
}
