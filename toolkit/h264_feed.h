// Raw H.264 handed to ffmpeg over a pipe as a Matroska stream: the stream's own pictures, each
// with the presentation time its order count gives, so that ffmpeg writes composition offsets
// without a wrapped copy of the video on disk.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "h264_timing.h"
#include "mapped_file.h"
#include "mp4_layout.h"
#include "mp4_writer.h"
#include "toolkit.h"

namespace parvela::toolkit {

struct FeedFormat {
  long rateNum = 25, rateDen = 1;                  // pictures per second
  unsigned displayWidth = 0, displayHeight = 0;    // 0: square pixels
};

// Writes the whole stream to `fd`. False when the reader went away before the end.
// `sent(n)` is told after each write that the first n bytes of the stream have been passed on.
bool WriteMatroskaStream(int fd, std::string_view stream, const H264Timeline& timeline, const FeedFormat& format,
                         const std::function<void(size_t)>& sent = {});

// Runs argv, which reads "pipe:0", with the stream fed to its standard input; its exit code, or
// a failure when it stopped reading before the end.
int RunWithVideoFeed(std::string_view role, const Args& argv, std::string_view stream, const H264Timeline& timeline,
                     const FeedFormat& format, const std::function<void(size_t)>& sent = {});

// A raw H.264 file, mapped and timed, ready to be fed.
class PipedVideo {
 public:
  // False when the file holds no H.264 or what the timing does not follow (said on standard error),
  // or PARVELA_MP4BOX_WRAP=1 asks for the wrap: the caller then wraps it with mkvmerge.
  bool Open(std::string_view role, const std::string& path, std::pair<long, long> rate, std::pair<long, long> aspect);
  // RunWithVideoFeed, letting go of the pages passed on.
  int Run(std::string_view role, const Args& argv);
  // The pictures to be fed, and the size of their decoder configuration.
  TrackCounts Counts() const { return {timeline_.pictures.size(), timeline_.avcC.size(), true}; }
  // The pictures as an MP4 track, letting go of their pages once written; false when the file
  // cannot describe them as they are (pixels that are not square: the aspect goes into the
  // stream's own header, which only ffmpeg rewrites here).
  bool Track(Mp4Track& track);

 private:
  MappedFile file_;
  H264Timeline timeline_;
  FeedFormat format_;
};

}  // namespace parvela::toolkit
