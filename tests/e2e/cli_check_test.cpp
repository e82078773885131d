// parvela-cli --check on files made on the spot: what the consoles refuse, and why.
#include <gtest/gtest.h>


#include <cstdlib>
#include <filesystem>

#include "cli_test_util.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::cli::Q;
using testing::cli::Shell;

// A fraction of a second of H.264 with stereo AAC; `x264` picks the level and references.
void MakeH264(const std::string& path, const std::string& size, const std::string& x264, double seconds = 1) {
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" + size +
                  ":rate=25 -f lavfi -i sine=sample_rate=48000 -t " + std::to_string(seconds) +
                  " -map 0:v -map 1:a -c:v libx264 -preset ultrafast -pix_fmt yuv420p -x264-params " + x264 +
                  " -c:a aac -ac 2 -movflags +faststart " + Q(path)),
            0);
}

class CliCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
  }
  int Check(const std::string& files) {
    return Shell("HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " --check " + files + " > " +
                 Q(home / "out.txt") + " 2> " + Q(home / "err.txt"));
  }
  std::string Stdout() { return ReadFile(home / "out.txt"); }

  TempDir app, home, media;
};

TEST_F(CliCheck, AnMp4AtLevel41PlaysOnBoth) {
  const std::string mp4 = media / "film.mp4";
  MakeH264(mp4, "320x240", "level=4.1");
  EXPECT_EQ(Check(Q(mp4)), 0);
  EXPECT_EQ(Stdout(), mp4 + ": Plays on: PS3, Xbox 360\n");
  EXPECT_FALSE(fs::exists(app / "probe.json"));
}

TEST_F(CliCheck, TheConsolesRefuseMatroskaLevel51AndAnOverfullBuffer) {
  const std::string good = media / "good.mp4", mkv = media / "film.mkv", high = media / "level51.mp4",
                    refs = media / "refs16.mp4";
  MakeH264(good, "320x240", "level=4.1");
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -i " + Q(good) + " -c copy " + Q(mkv)), 0);
  MakeH264(high, "320x240", "level=5.1");
  // Labelled 4.1, but sixteen 1080p frames need four times the buffer level 4.1 gives.
  MakeH264(refs, "1920x1080", "level=4.1:ref=16", 0.2);
  EXPECT_EQ(Check(Q(good) + " " + Q(mkv) + " " + Q(high) + " " + Q(refs)), 1);
  EXPECT_EQ(Stdout(), good + ": Plays on: PS3, Xbox 360\n" +                                 //
                          mkv + ": Plays on: none (Matroska container)\n" +                  //
                          high + ": Plays on: none (H.264 level 5.1 above 4.1)\n" +          //
                          refs + ": Plays on: none (16 reference frames, level 4.1 holds 4 at 1920x1080)\n");
}

}  // namespace
}  // namespace parvela
