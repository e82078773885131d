// Reading how far a tool has come from the lines it writes: mkvextract's and mkvmerge's
// "Progress: 45%", FFmpeg's "time=" against the input's "Duration:", mencoder's "Pos:" line,
// MP4Box's "(45/100)" and tsMuxeR's "45.0% complete". Other tools tell nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parvela {

class ToolProgressReader {
 public:
  // The program as the command line names it; its file name picks the reader.
  explicit ToolProgressReader(std::string_view program);
  // The share done (0 to 1) when this line tells it.
  std::optional<double> Read(std::string_view line);
  bool Tells() const { return kind_ != Kind::Silent; }

 private:
  enum class Kind { Silent, Percent, Ffmpeg, Mencoder, Mp4Box, TsMuxer };
  Kind kind_ = Kind::Silent;
  double totalSeconds_ = 0;  // FFmpeg: the first input's duration
};

}  // namespace parvela
