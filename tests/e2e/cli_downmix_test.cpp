// The stereo down-mix of the MP4 road, measured on the output with ffmpeg's volumedetect: a loud
// 5.1 source never reaches full scale, with or without "Safe Sync", and a stereo one keeps its level.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "cli_test_util.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::cli::Q;
using testing::cli::Shell;

struct Levels {
  double mean = 0, peak = 0;
  long fullScaleSamples = 0;  // volumedetect's count of samples at 0 dB
};

Levels Measure(const std::string& file) {
  TempDir tmp;
  Shell("ffmpeg -nostdin -hide_banner -i " + Q(file) + " -map 0:a:0 -af volumedetect -f null - 2> " +
        Q(tmp / "levels.txt"));
  const std::string text = ReadFile(tmp / "levels.txt");
  Levels levels;
  std::smatch m;
  if (std::regex_search(text, m, std::regex("mean_volume: (-?[0-9.]+) dB"))) levels.mean = std::stod(m[1]);
  if (std::regex_search(text, m, std::regex("max_volume: (-?[0-9.]+) dB"))) levels.peak = std::stod(m[1]);
  if (std::regex_search(text, m, std::regex("histogram_0db: ([0-9]+)"))) levels.fullScaleSamples = std::stol(m[1]);
  EXPECT_NE(text.find("max_volume"), std::string::npos) << text;
  return levels;
}

class CliDownmix : public ::testing::Test {
 protected:
  void SetUp() override { testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path()); }
  // A two-second film whose every channel carries the same tone, peaking at -3 dBFS.
  void MakeSource(const std::string& path, int channels) {
    std::string pan = channels == 6 ? "5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" : "stereo|c0=c0|c1=c0";
    ASSERT_EQ(Shell("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=160x90:rate=25 "
                    "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 -map 0:v -map 1:a "
                    "-af 'volume=5.6,pan=" + pan + "' -c:v libx264 -preset ultrafast -pix_fmt yuv420p "
                    "-c:a ac3 -b:a 448k " + Q(path)),
              0);
  }
  std::string Convert(const std::string& source, const std::string& options) {
    const int status = Shell("HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " " + options + " -o " +
                             Q(out.path()) + " " + Q(source) + " > /dev/null 2> " + Q(home / "err.txt"));
    EXPECT_EQ(status, 0) << ReadFile(home / "err.txt");
    return out / (fs::path(source).stem().string() + ".mp4");
  }

  TempDir app, home, in, out;
};

TEST_F(CliDownmix, FiveOneNeverClipsAndStereoKeepsItsLevel) {
  const std::string surround = in / "surround.mkv";
  MakeSource(surround, 6);
  const Levels source = Measure(surround);
  ASSERT_NEAR(source.peak, -3.0, 1.0);
  // The decoding graph's six channels mixed by the encoder, then FFmpeg straight from the track.
  for (const std::string& options : {std::string(), std::string("--safe-sync")}) {
    const Levels mixed = Measure(Convert(surround, options));
    EXPECT_LT(mixed.peak, -0.5) << options;
    EXPECT_EQ(mixed.fullScaleSamples, 0) << options;
    EXPECT_NEAR(mixed.mean, source.mean, 1.0) << options;  // one channel's level, not 7.7 dB above it
    std::printf("5.1 %s: source mean %.1f peak %.1f dB, output mean %.1f peak %.1f dB\n", options.c_str(), source.mean,
                source.peak, mixed.mean, mixed.peak);
    fs::remove(out / "surround.mp4");
  }

  const std::string stereo = in / "stereo.mkv";
  MakeSource(stereo, 2);
  // volumedetect rounds to 0.1 dB: within 0.1 dB, give or take its rounding.
  EXPECT_NEAR(Measure(Convert(stereo, "")).mean, Measure(stereo).mean, 0.15);
}

}  // namespace
}  // namespace parvela
