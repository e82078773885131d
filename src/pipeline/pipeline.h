// The conversion pipeline's helpers that other parts of the program use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parvela {

// The frame-rate argument for encoders and the muxer: "23.976" -> "24000/1001",
// "29.970" -> "30000/1001", "25.000" -> "25".
std::string MakeFpsArg(const std::string& fpsText);
// The MPEG-2 encoder's rate: a MakeFpsArg result MPEG-2 has a code for stays as it is; any other
// ("29.833", "10.13", "15") becomes the nearest rate with a code ("30000/1001", "24000/1001").
std::string Mpeg2FpsArg(const std::string& fpsArg);

// mkvextract's command line: the tool, " tracks ", the trimmed source, and each track
// argument after one blank.
std::string MkvextractLine(const std::string& strMKV, const std::string& source,
                           const std::vector<std::string>& trackSpecs);
// A track argument: the track number, ":" and the quoted target path.
std::string TrackSpec(const std::string& track, const std::string& target);

// The progress line of a run the user stopped, once its files are removed.
inline constexpr const char* kStoppedText = "Stopped; temporary files removed";

class Form1;
// The size in thousands of bytes from which the split road cuts a source, for the options set.
int32_t SplitThresholdKB(const Form1& form);

// The MP4 road's output name: every "." of the base name becomes "_", then ".mp4".
std::string Mp4OutputName(const std::string& baseName);

}  // namespace parvela
