// Is a finished file the film it was made from? Compares the lengths of its picture and sound
// with each other and with the source's, read from the streams (the source's packets, the
// output's index), never by decoding.
#pragma once

#include <optional>
#include <string>

namespace parvela {

class ProcessRunner;
struct Application;

namespace faithfulness {

// Seconds; none when the file has no such stream.
struct Lengths {
  std::optional<double> picture;
  std::optional<double> sound;
};

// What the output is held to.
struct Request {
  std::string source;
  int audioStream = 0;      // the source's audio stream converted (0 the first); -1: silent
  double timeScale = 1;     // output length / source length (a film retimed to 25 fps is shorter)
  bool wholeFilm = true;    // false for the first of several pieces: only its own lengths agree
  std::string sourceReport;  // the source measured beside (MeasureSourceBeside), ended: read, not run again
};

// The source, from its packets: the sound as the sum of its packets' durations (the samples,
// whatever the timestamps say), the picture as the longer of its frames' durations and its
// timestamps' span (a cover picture is no picture). False when ffprobe gave no report.
bool MeasureSource(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                   const Request& request, Lengths& lengths);
// The output, from the lengths its muxer recorded per stream (an MP4's or AVI's index; a
// program or transport stream's first and last timestamps).
bool MeasureOutput(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                   const std::string& path, Lengths& lengths);

// What differs, as a user reads it ("the sound lasts 30.0 s, the picture 6.0 s"); empty when
// every length agrees within a second or 3 %, whichever is larger.
std::string Disagreement(const Request& request, const Lengths& source, const Lengths& output);

// Starts the source's measurement as the runner's beside tool, for a road whose next step
// leaves a processor free; the report's path, for Request::sourceReport once the runner's
// beside tool was waited for; empty when there is no ffprobe.
std::string MeasureSourceBeside(Application& app, const std::string& source);

// The pipeline's one call: empty when the output keeps to its source, or when it cannot be
// measured (no ffprobe, no report: the playability check speaks for unreadable files).
std::string CheckOutput(Application& app, const Request& request, const std::string& output);

}  // namespace faithfulness
}  // namespace parvela
