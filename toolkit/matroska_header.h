// The header of a Matroska file: what its Tracks element says about each track, read the way
// mkvinfo does, without looking at a single frame (so a file cut short still shows every track).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parvela::toolkit {

struct MatroskaTrack {
  uint64_t number = 0, uid = 0, type = 0;
  std::string codecId, codecPrivate;
  std::string language = "und";  // a track that names no language is shown as undetermined
  std::string name;              // the track's own name; empty when absent
  uint64_t defaultDuration = 0;  // nanoseconds; 0 when absent
  uint64_t pixelWidth = 0, pixelHeight = 0;
  uint64_t displayWidth = 0, displayHeight = 0, displayUnit = 0;  // 0 when absent
  double samplingFrequency = 8000;
  uint64_t channels = 1;
};

struct MatroskaHeader {
  std::string docType = "matroska";
  double durationSeconds = -1;  // -1 when absent
  std::vector<MatroskaTrack> tracks;
};

// False with `error` set when the file is no Matroska file or has no track list.
bool ReadMatroskaHeader(const std::string& path, MatroskaHeader& header, std::string& error);

// "video", "audio", "subtitles", ...
std::string TrackTypeName(uint64_t type);

}  // namespace parvela::toolkit
