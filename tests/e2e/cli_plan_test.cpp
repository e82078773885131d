// parvela-cli --plan on files made on the spot: one line per file, nothing converted; and a
// conversion that prints its plan before its steps.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_test_util.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::cli::Names;
using testing::cli::Q;
using testing::cli::Shell;

class CliPlan : public ::testing::Test {
 protected:
  void SetUp() override { testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path()); }
  int Cli(const std::string& args) {
    return Shell("HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " -o " + Q(out.path()) + " " + args +
                 " > " + Q(home / "out.txt") + " 2> " + Q(home / "err.txt"));
  }
  TempDir app, home, media, out;
};

TEST_F(CliPlan, EachFileGetsItsLineAndNothingIsConverted) {
  const std::string h264 = media / "film.mkv", tenBit = media / "ten.mkv", bad = media / "bad.mkv";
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i "
                  "sine=sample_rate=48000 -t 1 -map 0:v -map 1:a -c:v libx264 -preset ultrafast -pix_fmt yuv420p "
                  "-x264-params level=5.1 -c:a ac3 -ac 6 -metadata:s:a:0 language=eng " + Q(h264)),
            0);
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 1 -c:v libx264 "
                  "-preset ultrafast -pix_fmt yuv420p10le " + Q(tenBit)),
            0);
  testing::WriteFile(bad, "RIFF, not a film");
  EXPECT_EQ(Cli("--plan " + Q(h264) + " " + Q(tenBit)), 0);
  EXPECT_EQ(ReadFile(home / "out.txt"),
            h264 + ": H.264 Baseline@5.1 320x240 25.000 fps \u2192 copied, level 5.1 \u2192 4.1 \u00b7 "
                   "AC-3 5.1 eng \u2192 AAC stereo 224 kbit/s \u00b7 MP4\n" +
                tenBit + ": H.264 High 10@1.3 320x240 25.000 fps \u2192 re-encoded to MPEG-2 (H.264 profile High 10) "
                         "\u00b7 no audio, the output is silent \u00b7 MPEG program stream (.mpg)\n");
  // The options change the plan; a file that cannot be converted makes the status 1.
  EXPECT_EQ(Cli("--recode h264 --vob --plan " + Q(h264) + " " + Q(bad)), 1);
  EXPECT_EQ(ReadFile(home / "out.txt"),
            h264 + ": H.264 Baseline@5.1 320x240 25.000 fps \u2192 re-encoded to H.264 (as asked) \u00b7 "
                   "AC-3 5.1 eng \u2192 kept \u00b7 M2TS as .mpg\n" +
                bad + ": cannot be converted: not a Matroska file\n");
  EXPECT_TRUE(Names(out.path()).empty());

  // Converting prints the same line before the first step.
  EXPECT_EQ(Cli(Q(h264)), 0);
  const std::string printed = ReadFile(home / "out.txt");
  EXPECT_EQ(printed.rfind("H.264 Baseline@5.1 320x240 25.000 fps \u2192 copied", 0), 0u) << printed;
  EXPECT_LT(printed.find("\u00b7 MP4\n"), printed.find("Extracting video/audio stream"));
  EXPECT_TRUE(fs::exists(out / "film.mp4"));
}

}  // namespace
}  // namespace parvela
