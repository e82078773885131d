// parvela-cli on a folder with a good film and a file that is not Matroska, on a terminal: the
// steps show the tools' own progress on a redrawn line, the good film is converted, the bad one
// is named, and the batch ends with its summary and exit status 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "cli_test_util.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::cli::Names;
using testing::cli::Q;
using testing::cli::Shell;

TEST(CliProgressAndBatch, TerminalShowsProgressAndTheBatchEndsWithItsSummary) {
  TempDir app, home, in, out;
  testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
  ASSERT_EQ(Shell("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=160x90:rate=25 "
                  "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 20 -map 0:v -map 1:a -c:v libx264 "
                  "-preset ultrafast -pix_fmt yuv420p -c:a ac3 -ac 6 " + Q(in / "good.mkv")),
            0);
  WriteFile(in / "bad.mkv", "RIFF....WAVE, not a film at all");
  // `script` gives the program a terminal of its own and passes its exit status on.
  const std::string command = "HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " -o " + Q(out.path()) +
                              " " + Q(in.path());
  const int status = Shell("script -qec " + Q(command) + " /dev/null > " + Q(home / "tty.txt") + " 2>&1");
  const std::string tty = ReadFile(home / "tty.txt");
  EXPECT_EQ(status, 1) << tty;
  EXPECT_EQ(Names(out.path()), std::vector<std::string>{"good.mp4"});
  // Extraction and the AAC encode each redraw their line with a percentage that reaches 100%
  // (the video extraction, once it runs beside the audio work, as "video NN%").
  for (const char* step : {"Extracting video/audio stream", "Encoding Audio"}) {
    const size_t at = tty.find(step);
    ASSERT_NE(at, std::string::npos) << tty;
    const std::string after = tty.substr(at, tty.find("\n", tty.find("%", at)) - at);
    EXPECT_TRUE(std::regex_search(after, std::regex("\r  (video )?[0-9]+%"))) << step << ": " << after;
  }
  EXPECT_TRUE(std::regex_search(tty, std::regex("\r  100%"))) << tty;
  EXPECT_NE(tty.find("Inspection error: " + in / "bad.mkv" + " is not a Matroska file."), std::string::npos) << tty;
  EXPECT_NE(tty.find("2 files: 1 converted, 0 skipped (already converted), 1 failed: bad.mkv \u2014 not a Matroska file"),
            std::string::npos)
      << tty;
}

}  // namespace
}  // namespace parvela
