// The re-encoding roads on sources with the traits of files people make: rates MPEG-2 has no
// code for, formats whose decoding mencoder loses, timestamps with gaps. Each output keeps its
// source's picture and sound lengths and plays on a console.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "toolkit_test_util.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using namespace testing::toolkit;

constexpr const char* kMpegVerdict = "Plays on: PS3 (Xbox 360: MPEG program stream)";
constexpr double kTolerance = 0.25;  // a few pictures or sound frames either way

bool HasText(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The sound's length as decoded, in seconds (some files' timestamps lie about it).
double SoundSeconds(const std::string& file) {
  const Ran ran = Spawn({"sh", "-c",
                         "ffmpeg -nostdin -v quiet -i \"$0\" -map 0:a:0 -ac 1 -ar 8000 -f s16le - | wc -c", file});
  return std::atof(ran.out.c_str()) / 16000;
}

// The picture's length: from its first packet's decoding time to its last one's end.
double PictureLength(const std::string& file) {
  const Ran ran = Spawn({"sh", "-c",
                         "ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,dts_time,duration_time "
                         "-of csv=p=0 \"$0\" | awk -F, '{ t = $2 != \"N/A\" ? $2 : $1 } t == \"N/A\" { next } "
                         "{ e = t + ($3 == \"N/A\" ? 0 : $3); if (n++ == 0 || t < s) s = t; if (e > m) m = e } "
                         "END { print m - s }'",
                         file});
  return std::atof(ran.out.c_str());
}

// The brightest luma of the picture at `seconds`.
int BrightestAt(const std::string& file, const std::string& seconds) {
  const Ran ran = Spawn({"sh", "-c",
                         "ffmpeg -nostdin -v quiet -ss \"$1\" -i \"$0\" -frames:v 1 -vf signalstats,metadata=print:"
                         "key=lavfi.signalstats.YMAX:file=- -f null - | sed -n 's/.*YMAX=//p'",
                         file, seconds});
  return std::atoi(ran.out.c_str());
}

class RealworldRecode : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh installation: no settings file, so re-encoding makes the MPEG-2 target.
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
    fs::remove(app / "parvela.conf");
  }
  // A two-second source: `video` and the codec options, with a tone in `audio` ("" for none).
  ::testing::AssertionResult Make(const std::string& name, const std::string& video, std::vector<std::string> codec,
                                  const std::string& audio = "libvorbis") {
    std::vector<std::string> args = {"-f", "lavfi", "-i", video};
    if (!audio.empty()) args.insert(args.end(), {"-f", "lavfi", "-i", "sine=sample_rate=48000", "-c:a", audio});
    args.insert(args.end(), {"-t", "2"});
    args.insert(args.end(), codec.begin(), codec.end());
    args.push_back(in / name);
    return Ffmpeg(args);
  }
  // Converts a source made by Make, the tools' own words on standard error; returns the verdict.
  std::string Convert(const std::string& name, std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {app / "parvela-cli", "-v", "-o", out.path()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(in / name);
    last = Spawn(argv);
    EXPECT_EQ(last.code, 0) << last.out << last.err;
    std::string verdict;
    for (const std::string& line : Lines(last.out)) {
      if (line.rfind("Plays on: ", 0) == 0) verdict = line;
    }
    return verdict;
  }
  // The output keeps the source's picture and sound lengths.
  void ExpectLengthsOf(const std::string& source, const std::string& output, bool sound = true) {
    EXPECT_NEAR(PictureLength(out / output), PictureLength(in / source), kTolerance) << output;
    if (sound) {
      EXPECT_NEAR(SoundSeconds(out / output), SoundSeconds(in / source), kTolerance) << output;
    }
  }
  TempDir app, in, out;
  Ran last;
};

// 29.833 fps has no MPEG-2 code: the film is encoded at the nearest rate that has
// one, pictures repeated or dropped so that it keeps its length and its sound.
TEST_F(RealworldRecode, RateWithoutAnMpeg2CodeBecomesTheNearestOneAndTheFilmKeepsItsLength) {
  ASSERT_TRUE(Make("vp9.mkv", "testsrc2=size=160x120:rate=179/6", {"-c:v", "libvpx-vp9", "-deadline", "realtime"},
                   "libopus"));
  EXPECT_EQ(Convert("vp9.mkv"), kMpegVerdict);
  EXPECT_EQ(Probe(out / "vp9.mpg", "codec_name,r_frame_rate", "v"), "mpeg2video,30000/1001");
  EXPECT_EQ(Probe(out / "vp9.mpg", "codec_name", "a"), "ac3");
  ExpectLengthsOf("vp9.mkv", "vp9.mpg");
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"vp9.mpg"}));
}

// Theora and ProRes lose pictures in mencoder's own decoding: FFmpeg decodes them, mencoder
// encodes, and burnt-in subtitles are still drawn into the picture.
TEST_F(RealworldRecode, VideoMencoderCannotDecodeIsDecodedByFfmpegOnEveryRoad) {
  ASSERT_TRUE(Make("theora.mkv", "color=c=black:size=160x120:rate=25", {"-c:v", "libtheora"}));
  ASSERT_TRUE(Make("prores.mkv", "testsrc2=size=160x120:rate=25", {"-c:v", "prores_ks"}, "flac"));
  testing::WriteFile(in / "words.srt", "1\r\n00:00:00,500 --> 00:00:01,800\r\nWHITE WORDS\r\n\r\n");
  EXPECT_EQ(Convert("theora.mkv", {"--subs", in / "words.srt"}), kMpegVerdict);
  EXPECT_TRUE(HasText(last.err, "FFmpeg decodes")) << last.err;
  EXPECT_EQ(Probe(out / "theora.mpg", "codec_name,width,height", "v"), "mpeg2video,160,120");
  ExpectLengthsOf("theora.mkv", "theora.mpg");
  EXPECT_GT(BrightestAt(out / "theora.mpg", "1.2"), 120);  // the words on a black picture
  EXPECT_LT(BrightestAt(out / "theora.mpg", "0.2"), 40);
  EXPECT_EQ(Convert("prores.mkv"), kMpegVerdict);
  ExpectLengthsOf("prores.mkv", "prores.mpg");
  EXPECT_EQ(Convert("theora.mkv", {"--recode", "h264"}), "Plays on: PS3, Xbox 360");
  EXPECT_EQ(Probe(out / "theora.mp4", "codec_name,width,height", "v"), "h264,160,120");
  ExpectLengthsOf("theora.mkv", "theora.mp4");
  EXPECT_EQ(Convert("theora.mkv", {"--recode", "xvid"}), "Plays on: PS3, Xbox 360");
  ExpectLengthsOf("theora.mkv", "theora.avi");
}

// A source whose timestamps jump over a second of missing pictures: the film is complete and
// kept (no "disk may be full"), the gap held by the last picture before it.
TEST_F(RealworldRecode, FilmEndingBeforeItsSourcesLastTimestampIsNoFullDisk) {
  ASSERT_TRUE(Make("gap.mkv", "testsrc2=size=160x120:rate=25",
                   {"-vf", "select='not(between(t,0.6,1.4))'", "-fps_mode", "passthrough", "-c:v", "libx264"}, ""));
  ASSERT_NEAR(PictureLength(in / "gap.mkv"), 2.0, 0.1);
  EXPECT_EQ(Convert("gap.mkv", {"--recode", "mpeg2"}), kMpegVerdict);
  EXPECT_FALSE(HasText(last.err, "disk may be full")) << last.err;
  ExpectLengthsOf("gap.mkv", "gap.mpg", false);
}

}  // namespace
}  // namespace parvela
