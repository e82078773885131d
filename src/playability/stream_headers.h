// Internal to the playability check: readers of the few header bytes the rules need.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parvela::playability {

// ffprobe's hex dump of a stream's extradata ("00000000: 0164 001f ...  .d..") back to bytes.
std::string BytesFromHexDump(std::string_view dump);

struct VolFlags {
  bool gmc = false;   // sprites of any kind: global motion compensation or a static sprite
  bool qpel = false;  // quarter-pixel motion vectors
};
// The flags of the first MPEG-4 Visual video object layer header in `bytes`; none when there
// is no complete rectangular one.
std::optional<VolFlags> ReadVolFlags(std::string_view bytes);

// Whether an MP4's moov box comes before its mdat box, from the top-level box headers alone;
// none when neither is found.
std::optional<bool> Mp4IndexFirst(const std::string& path);

}  // namespace parvela::playability
