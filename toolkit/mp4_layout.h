// The most room an MP4's index can take, from the number of samples of each track. ffmpeg
// writes the index into room kept for it at the front of the file (-moov_size), so the film is
// written once and still starts with its index, where the consoles look for it first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parvela::toolkit {

struct TrackCounts {
  uint64_t samples = 0;
  uint64_t configBytes = 0;  // the decoder configuration in the sample description
  bool video = false;        // audio frames all last as long and are all sync samples
};

// Every table of every track at its largest for these counts, and the boxes of fixed size.
uint64_t IndexRoom(const std::vector<TrackCounts>& tracks);

// The frames of an ADTS file; nothing when it is not one.
std::optional<TrackCounts> AdtsCounts(const std::string& path);

// ffmpeg may end with status 0 although writing the index failed (a full disk, a size limit):
// the file is complete only when its top-level boxes fill it exactly and one is the index.
bool Mp4IsComplete(const std::string& path);

}  // namespace parvela::toolkit
