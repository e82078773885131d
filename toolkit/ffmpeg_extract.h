// The mkvextract role's way out: a track Debian's mkvextract leaves no file for (it aborts on
// some AAC tracks, and refuses an H.264 track without codec private data) is taken out by
// ffmpeg instead, in the form mkvextract would have written.
#pragma once

#include <string>
#include <vector>

#include "toolkit.h"

namespace parvela::toolkit {

struct TrackTarget {
  unsigned ordinal = 0;  // counted from 1 in header order, as Parvela numbers tracks
  std::string path;
};

// The ffmpeg line that copies each track into its target: video as an Annex B stream, audio
// as it is. Empty when no track is known to the header of `source`.
Args FfmpegExtractLine(const std::string& source, const std::vector<TrackTarget>& targets);

// Runs FfmpegExtractLine for the targets that are missing or empty, saying so on standard
// error. The exit code of ffmpeg, or `mkvextractCode` when nothing was missing.
int ExtractMissingWithFfmpeg(std::string_view role, const std::string& source,
                             const std::vector<TrackTarget>& targets, int mkvextractCode);

}  // namespace parvela::toolkit
