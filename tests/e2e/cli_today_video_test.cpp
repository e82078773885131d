// Today's videos through parvela-cli with default options: whatever the consoles cannot decode
// is re-encoded into a film that plays, and the checker says why it sent a stream there.
#include <gtest/gtest.h>

#include <filesystem>

#include "toolkit_test_util.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using namespace testing::toolkit;

constexpr const char* kMpegVerdict = "Plays on: PS3 (Xbox 360: MPEG program stream)";
constexpr const char* kMp4Verdict = "Plays on: PS3, Xbox 360";

class TodayVideo : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh installation: no settings file, so re-encoding makes the MPEG-2 target.
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
    fs::remove(app / "parvela.conf");
  }
  // Converts `source` with the given options; the last line of standard output is the verdict.
  std::string Convert(const std::string& source, std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {app / "parvela-cli", "-o", out.path()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(source);
    Ran ran = Spawn(argv);
    EXPECT_EQ(ran.code, 0) << ran.err;
    const std::vector<std::string> lines = Lines(ran.out);
    return lines.empty() ? std::string() : lines.back();
  }
  TempDir app, in, out;
};

// Sources the consoles cannot play as they are, each re-encoded to MPEG-2 within 1920x1080 and
// level 4.1's macroblock rate, 8-bit 4:2:0.
TEST_F(TodayVideo, UndecodableOrTooLargeVideoIsReencodedIntoAPlayableProgramStream) {
  struct Case {
    const char* name;
    std::string size, rate;
    std::vector<std::string> options;
    const char* video;  // codec, size and pixel format of the output
  };
  const std::vector<Case> cases = {
      {"high10", "160x120", "25", {"-pix_fmt", "yuv420p10le"}, "mpeg2video,160,120,yuv420p"},
      {"hevc", "160x120", "25", {"-c:v", "libx265", "-x265-params", "log-level=error"}, "mpeg2video,160,120,yuv420p"},
      {"mpeg4", "160x120", "25", {"-c:v", "mpeg4"}, "mpeg2video,160,120,yuv420p"},
      {"qhd", "2560x1440", "25", {"-t", "0.4"}, "mpeg2video,1920,1080,yuv420p"},
      {"fhd60", "1920x1080", "60", {"-t", "0.2"}, "mpeg2video,1280,720,yuv420p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = in / (std::string(c.name) + ".mkv");
    ASSERT_TRUE(MakeSource(source, c.size, c.rate, {}, c.options));
    EXPECT_EQ(Convert(source), kMpegVerdict);
    const std::string mpg = out / (std::string(c.name) + ".mpg");
    EXPECT_EQ(Probe(mpg, "codec_name,width,height,pix_fmt", "v"), c.video);
    EXPECT_EQ(Probe(mpg, "codec_name", "a"), "ac3");
  }
  EXPECT_EQ(FolderListing(out.path()),
            (std::vector<std::string>{"fhd60.mpg", "hevc.mpg", "high10.mpg", "mpeg4.mpg", "qhd.mpg"}));
}

// H.264 the consoles decode once its label says 4.1, and a cover picture after the film: both
// keep their video, in an MP4 that announces level 4.1. A 1440p film asked for as H.264 is
// scaled to 1920x1080.
TEST_F(TodayVideo, FittingStreamsKeepTheirVideoAndRecodedH264FitsTheConsoles) {
  const std::string label52 = in / "label52.mkv", cover = in / "cover.mkv", qhd = in / "qhd.mkv";
  ASSERT_TRUE(MakeSource(label52, "320x240", "25", {}, {"-level", "5.2"}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=1", "-frames:v", "1", in / "cover.png"}));
  ASSERT_TRUE(MakeSource(cover, "320x240", "25", {"-i", in / "cover.png"},
                         {"-map", "0:v", "-map", "2:v", "-map", "1:a", "-c:v:1", "png", "-disposition:v:1",
                          "attached_pic"}));
  ASSERT_TRUE(MakeSource(qhd, "2560x1440", "25", {}, {"-t", "0.4"}));
  EXPECT_EQ(Probe(label52, "level", "v"), "52");

  EXPECT_EQ(Convert(label52), kMp4Verdict);
  EXPECT_EQ(Probe(out / "label52.mp4", "codec_name,width,level", "v"), "h264,320,41");
  EXPECT_EQ(Convert(cover), kMp4Verdict);
  EXPECT_EQ(Probe(out / "cover.mp4", "codec_name,width,height", "v"), "h264,320,240");
  EXPECT_EQ(Convert(qhd, {"--recode", "h264"}), kMp4Verdict);
  EXPECT_EQ(Probe(out / "qhd.mp4", "codec_name,width,height,pix_fmt,level", "v"), "h264,1920,1080,yuv420p,41");
  EXPECT_EQ(Probe(out / "qhd.mp4", "codec_name,channels", "a"), "aac,2");
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"cover.mp4", "label52.mp4", "qhd.mp4"}));
}

// Every reason the consoles cannot decode a stream gets its own line; the verdict line fails it.
TEST_F(TodayVideo, CheckerNamesEveryReasonOnItsOwnLine) {
  const std::string source = in / "all wrong.mkv", report = in / "info.txt";
  ASSERT_TRUE(MakeSource(source, "2560x1440", "60", {},
                         {"-frames:v", "2", "-profile:v", "high444", "-pix_fmt", "yuv444p10le", "-refs", "4"}));
  Ran ran = RunLine(Quoted(AppTool("Checker/x264_checker.exe")) + " " + Quoted(source) + " " + Quoted(report));
  ASSERT_EQ(ran.code, 0) << ran.err;
  std::vector<std::string> reasons;
  for (const std::string& line : Lines(testing::ReadFile(report))) {
    if (line.rfind("reason: ", 0) == 0 || line.rfind("dpb check: ", 0) == 0) reasons.push_back(line);
  }
  // Worded as the verdict on a finished file words them, console by console.
  EXPECT_EQ(reasons, (std::vector<std::string>{
                         "reason: PS3: H.264 profile High 4:4:4 Predictive",
                         "reason: PS3: 4 reference frames, level 4.1 holds 2 at 2560x1440",
                         "reason: PS3: H.264 at 2560x1440 and 60 frames a second, above level 4.1's macroblock rate",
                         "reason: Xbox 360: H.264 profile High 4:4:4 Predictive",
                         "reason: Xbox 360: H.264 above 1920x1080",
                         "reason: Xbox 360: 4 reference frames, level 4.1 holds 2 at 2560x1440",
                         "reason: Xbox 360: H.264 at 2560x1440 and 60 frames a second, above level 4.1's "
                         "macroblock rate",
                         "dpb check: [FAILED]",
                     }));
}

}  // namespace
}  // namespace parvela
