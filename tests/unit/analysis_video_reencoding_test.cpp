// The video knowledge of the codec table that the re-encoding roads read: which noted formats
// are decoded, and the frame a re-encoding makes within what the consoles decode.
#include <gtest/gtest.h>

#include "analysis/codecs.h"

namespace parvela {
namespace {

TEST(VideoReencoding, NotedFormatsAreFoundByCodecIdOrVfwFourcc) {
  const std::pair<const char*, const char*> known[] = {
      {"V_MPEGH/ISO/HEVC", "HEVC"}, {"V_VP9", "VP9"},  {"V_MPEG4/ISO/ASP", "MPEG-4 Visual"},
      {"XVID", "MPEG-4 Visual"},     {"FFV1", "FFV1"}, {"MPNG", "PNG"},
      {"ffv1", "FFV1"}};
  for (const auto& [noted, name] : known) {
    const CodecInfo* row = FindNotedVideoCodec(noted);
    ASSERT_NE(row, nullptr) << noted;
    EXPECT_STREQ(row->name, name);
  }
  for (const char* unknown : {"V_QUICKTIME", "QQV1", "A_AC3", ""}) EXPECT_EQ(FindNotedVideoCodec(unknown), nullptr) << unknown;
}

TEST(VideoReencoding, FramesFitTheTargetAndLevel41sRate) {
  struct Case {
    int width, height;
    double fps;
    const char* target;
    FrameSize expected;
  };
  const Case cases[] = {
      {1920, 1080, 23.976, "h264", {1920, 1080}},   // fits: unchanged
      {2560, 1440, 25, "h264", {1920, 1080}},        // too large: scaled, aspect kept
      {3840, 1600, 24, "mpeg2video", {1920, 800}},   // scope film
      {1920, 1080, 59.94, "h264", {1280, 720}},      // above level 4.1's rate: 720p, every frame
      {1280, 720, 60, "h264", {1280, 720}},          // 720p60 fits
      {1920, 1080, 25, "mpeg4", {1280, 720}},        // the Xbox 360's MPEG-4 Visual ceiling
      {1441, 1081, 25, "h264", {1438, 1080}},        // even sides, never above the limit
      {0, 0, 25, "h264", {0, 0}},                    // unknown size: nothing to scale
  };
  for (const Case& c : cases) {
    const FrameSize got = ReencodedFrame(c.width, c.height, c.fps, c.target);
    EXPECT_EQ(got, c.expected) << c.width << "x" << c.height << "@" << c.fps << " " << c.target << ": " << got.width
                               << "x" << got.height;
  }
}

}  // namespace
}  // namespace parvela
