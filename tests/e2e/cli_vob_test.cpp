// parvela-cli --vob: the PS3 transport stream, with the real tool folder in a folder whose
// name holds a blank.
#include <gtest/gtest.h>

#include <filesystem>

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

namespace fs = std::filesystem;

class CliVob : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app);
  }
  // H.264 High@5.1, 24000/1001, with a 5.1 track made by `audio`.
  void MakeFilm(const std::vector<std::string>& audio) {
    std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=24000/1001", "-f", "lavfi",
                                     "-i", "sine=sample_rate=48000", "-t", "3", "-map", "0:v", "-map", "1:a",
                                     "-c:v", "libx264", "-preset", "ultrafast", "-profile:v", "high", "-level",
                                     "5.1", "-pix_fmt", "yuv420p", "-ac", "6"};
    args.insert(args.end(), audio.begin(), audio.end());
    args.push_back(source);
    ASSERT_TRUE(Ffmpeg(args));
  }
  Ran Convert() {
    return Spawn({"env", "HOME=" + home.path(), app + "/parvela-cli", "--vob", "-o", out.path(), source});
  }
  void ExpectPs3Stream(const std::string& audio) {
    const std::string mpg = out / "My Film.mpg";
    EXPECT_EQ(FolderListing(out.path()), std::vector<std::string>{"My Film.mpg"});
    EXPECT_EQ(Spawn({"ffprobe", "-v", "error", "-show_entries", "format=format_name,nb_streams", "-of", "csv=p=0",
                     mpg}).out,
              "2,mpegts\n");  // in ffprobe's own order
    // Blu-ray packets: 4 bytes of arrival time before each 188-byte packet.
    const std::string head = ReadHead(mpg);
    ASSERT_GE(head.size(), 388u);
    EXPECT_EQ(head[4], 'G');
    EXPECT_EQ(head[196], 'G');
    // ffprobe lists a transport stream's streams twice: in their program and on their own.
    EXPECT_EQ(Probe(mpg, "codec_name,level", "v"), "h264,41\nh264,41");
    EXPECT_EQ(Probe(mpg, "codec_name,channels,bit_rate", "a"), audio + "\n" + audio);
    EXPECT_NEAR(ProbeDuration(mpg), 3.0, 0.2);
  }
  static std::string ReadHead(const std::string& path) { return ReadFile(path).substr(0, 400); }

  TempDir base, home, in, out;
  const std::string app = base / "Parvela Tools";
  const std::string source = in / "My Film.mkv";
};

TEST_F(CliVob, Ac3FiveOneIsMuxedUntouchedAtLevel41) {
  MakeFilm({"-c:a", "ac3", "-b:a", "384k"});
  Ran ran = Convert();
  ASSERT_EQ(ran.code, 0) << ran.err;
  ExpectPs3Stream("ac3,6,384000");
  EXPECT_EQ(Lines(ran.out), (std::vector<std::string>{"H.264 Baseline@5.1 320x240 23.976 fps \u2192 copied, level 5.1 "
                                                      "\u2192 4.1 \u00b7 AC-3 5.1 und \u2192 kept \u00b7 M2TS as .mpg",
                                                      "Extracting video/audio stream", "Adjusting header",
                                                      "Adjusting Header", "Muxing MPEG PS", "Conversion done",
                                                      "Plays on: PS3 (Xbox 360: MPEG transport stream)"}));
  EXPECT_EQ(ReadFile(app + "/h264info/h264info.ini"), "[Paths]\r\nInputPath=" + out / "movie_raw.h264" +
                                                          "\r\nOutputPath=" + out / "movie.h264" + "\r\n");
  const std::string log = ReadFile(app + "/debug.log");
  EXPECT_NE(log.find(" 1:\"" + out / "movie_raw.h264\" 2:\"" + out / "movie.ac3\"\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\"" + app + "/TS/tsmuxer.exe\" \"" + out / "movie.meta\" \"" + out / "My Film.m2ts\"\r\n"),
            std::string::npos)
      << log;
}

TEST_F(CliVob, DtsFiveOneBecomesAc3At640WithItsChannels) {
  MakeFilm({"-c:a", "dca", "-strict", "-2"});
  Ran ran = Convert();
  ASSERT_EQ(ran.code, 0) << ran.err;
  ExpectPs3Stream("ac3,6,640000");
}

}  // namespace
}  // namespace parvela::testing::toolkit
