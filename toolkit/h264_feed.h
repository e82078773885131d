// Raw H.264 handed to ffmpeg over a pipe as a Matroska stream: the stream's own pictures, each
// with the presentation time its order count gives, so that ffmpeg writes composition offsets
// without a wrapped copy of the video on disk.
#pragma once

#include <string_view>

#include "h264_timing.h"
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

}  // namespace parvela::toolkit
