// parvela-cli on MKV files made on the spot, with the real tool folder.
#include <gtest/gtest.h>


#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli_test_util.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::cli::Names;
using testing::cli::Probe;
using testing::cli::Q;
using testing::cli::Shell;

// H.264 High@5.1 with AC-3 5.1 audio, a few seconds long.
void MakeSample(const std::string& path, double seconds = 3) {
  const std::string t = std::to_string(seconds);
  ASSERT_EQ(Shell("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=24000/1001 "
                  "-f lavfi -i sine=frequency=440:sample_rate=48000 -t " + t +
                  " -map 0:v -map 1:a -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -pix_fmt yuv420p "
                  "-c:a ac3 -ac 6 -b:a 384k " + Q(path)),
            0);
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// A private copy of the application folder: settings, report and log live there.
class CliConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(std::string(PARVELA_APP_DIR) + "/parvela-cli"));
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
  }
  int RunCli(const std::string& args) {
    return Shell("HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " " + args + " > " + Q(home / "out.txt") +
                 " 2> " + Q(home / "err.txt"));
  }
  std::string Stdout() { return ReadFile(home / "out.txt"); }
  std::string Stderr() { return ReadFile(home / "err.txt"); }

  TempDir app, home, in, out;
};

TEST_F(CliConversion, H264High51WithAc3BecomesAnMp4AtLevel41WithAac) {
  const std::string source = in / "My Film.v2.mkv";
  MakeSample(source);
  ASSERT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(source)), 0) << Stderr();
  const std::string mp4 = out / "My Film_v2.mp4";
  EXPECT_EQ(Names(out.path()), std::vector<std::string>{"My Film_v2.mp4"});
  EXPECT_EQ(Probe(mp4, "v:0", "codec_name,level"), "h264,41");
  EXPECT_EQ(Probe(mp4, "a:0", "codec_name,channels"), "aac,2");
  const double duration = std::stod(Probe(mp4, "v:0", "duration"));
  EXPECT_NEAR(duration, 3.0, 0.2);

  std::vector<std::string> texts;
  for (const auto& line : LinesOf(Stdout())) {
    if (line.rfind("Extracting ", 0) == 0 && line.find(" seconds of Audio :") != std::string::npos) continue;
    texts.push_back(line);
  }
  // The plan comes first, then the steps.
  EXPECT_EQ(texts, (std::vector<std::string>{"H.264 Baseline@5.1 640x360 23.976 fps \u2192 copied, level 5.1 \u2192 4.1 "
                                             "\u00b7 AC-3 5.1 und \u2192 AAC stereo 224 kbit/s \u00b7 MP4",
                                             "Extracting video/audio stream", "Adjusting header", "Encoding Audio",
                                             "Creating MP4", "Cleaning temporary files", "Conversion done",
                                             "Plays on: PS3, Xbox 360"}));
  EXPECT_TRUE(fs::exists(app / "parvela.conf"));
  EXPECT_FALSE(fs::exists(app / "info.txt"));
}

TEST_F(CliConversion, BrokenSourceReportsTheErrorAndKeepsTemporaryFiles) {
  const std::string good = in / "good.mkv";
  MakeSample(good);
  // The track headers survive, the frames do not.
  const std::string broken = in / "broken.mkv";
  fs::copy_file(good, broken);
  fs::resize_file(broken, 2500);
  EXPECT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(broken)), 1) << Stdout();
  EXPECT_NE(Stderr().find("MP4box error: Error creating " + out / "broken.mp4"), std::string::npos) << Stderr();
  const auto left = Names(out.path());
  EXPECT_FALSE(left.empty());
  EXPECT_EQ(std::count(left.begin(), left.end(), "broken.mp4"), 0);
}

TEST_F(CliConversion, SourceWithoutVideoIsRefusedBeforeAnyToolRuns) {
  const std::string source = in / "radio.mkv";
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=sample_rate=48000 -t 2 -c:a ac3 " + Q(source)),
            0);
  EXPECT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(source)), 1);
  EXPECT_NE(Stderr().find("Inspection error: " + source + " has no video track: there is no picture to convert."),
            std::string::npos)
      << Stderr();
  EXPECT_TRUE(Names(out.path()).empty());
  EXPECT_TRUE(LinesOf(Stdout()).empty()) << Stdout();
}

// Every audio format the window knows reaches the MP4 as stereo AAC, by the graph or the backup.
TEST_F(CliConversion, EachAudioFormatBecomesStereoAac) {
  struct Case {
    std::string encoder;
    bool backup;
  };
  for (const Case& c : std::vector<Case>{{"dca -strict -2 -ac 6", false},
                                         {"libmp3lame -ac 2", false},
                                         {"aac -ac 2", true},
                                         {"libvorbis -ac 2", false}}) {
    SCOPED_TRACE(c.encoder);
    const std::string source = in / "film.mkv";
    ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x180:rate=25 -f lavfi -i "
                    "sine=sample_rate=48000 -t 2 -map 0:v -map 1:a -c:v libx264 -preset ultrafast -profile:v high "
                    "-level 5.1 -pix_fmt yuv420p -c:a " + c.encoder + " " + Q(source)),
              0);
    fs::remove(out / "film.mp4");
    ASSERT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(source)), 0) << Stderr();
    EXPECT_EQ(Names(out.path()), std::vector<std::string>{"film.mp4"});
    EXPECT_EQ(Probe(out / "film.mp4", "v:0", "codec_name,level"), "h264,41");
    EXPECT_EQ(Probe(out / "film.mp4", "a:0", "codec_name,channels"), "aac,2");
    EXPECT_EQ(Stdout().find("Extracting audio with backup method.") != std::string::npos, c.backup);
  }
}

TEST_F(CliConversion, TwentyFiveFpsOutputRetimesVideoAndAudio) {
  const std::string source = in / "film.mkv";
  MakeSample(source, 5);
  ASSERT_EQ(RunCli("--25fps -o " + Q(out.path()) + " " + Q(source)), 0) << Stderr();
  const std::string mp4 = out / "film.mp4";
  EXPECT_EQ(Probe(mp4, "v:0", "r_frame_rate"), "25/1");
  // 5 s at 24000/1001 played at 25 frames per second last 4.795 s; the audio follows.
  EXPECT_NEAR(std::stod(Probe(mp4, "v:0", "duration")), 4.795, 0.1);
  EXPECT_NEAR(std::stod(Probe(mp4, "a:0", "duration")), 4.795, 0.15);
  EXPECT_EQ(Names(out.path()), std::vector<std::string>{"film.mp4"});
}

TEST_F(CliConversion, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunCli(""), 2);
  EXPECT_EQ(RunCli("--bogus x.mkv"), 2);
  EXPECT_EQ(RunCli(Q(in / "missing.mkv")), 2);
  EXPECT_NE(Stderr().find("not an MKV file or a folder"), std::string::npos);
  EXPECT_EQ(RunCli("--version"), 0);
  EXPECT_EQ(Stdout(), "parvela-cli 0.23\n");
}

TEST_F(CliConversion, FolderBatchConvertsEachFileAndSkipsConvertedOnes) {
  MakeSample(in / "a.mkv", 1);
  MakeSample(in / "b.mkv", 1);
  ASSERT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(in.path())), 0) << Stderr();
  EXPECT_EQ(Names(out.path()), (std::vector<std::string>{"a.mp4", "b.mp4"}));
  // A second batch finds both converted and runs no tool.
  ASSERT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(in.path())), 0);
  EXPECT_EQ(Stdout().find("Extracting video/audio stream"), std::string::npos) << Stdout();
}

}  // namespace
}  // namespace parvela
