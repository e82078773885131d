// parvela-cli on today's MKV files: audio in every format FFmpeg decodes, no audio at all, and a
// picture of variable frame rate. Each source is a tiny generated file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

class CliAudioFormats : public ::testing::Test {
 protected:
  void SetUp() override { testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path()); }
  Ran Convert(const std::string& source, std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {"env", "HOME=" + home.path(), app / "parvela-cli", "-o", out.path()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(source);
    return Spawn(argv);
  }
  // Two seconds of a small picture at 25 fps and a tone in the given audio format.
  std::string Source(const std::string& name, std::vector<std::string> audio) {
    const std::string path = in / name;
    std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i",
                                     "sine=sample_rate=48000", "-t", "2", "-c:v", "libx264", "-preset", "veryfast"};
    args.insert(args.end(), audio.begin(), audio.end());
    args.push_back(path);
    EXPECT_TRUE(Ffmpeg(args)) << name;
    return path;
  }
  void ExpectOnly(const std::string& output) {
    EXPECT_EQ(FolderListing(out.path()), std::vector<std::string>{output});
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) std::filesystem::remove(entry.path());
  }
  TempDir app, home, in, out;
};

// Every family without a button reaches the MP4 as stereo AAC, in step with the picture.
TEST_F(CliAudioFormats, EveryAudioFamilyBecomesStereoAacInTheMp4) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> families = {
      {"eac3", {"-c:a", "eac3", "-ac", "6"}},
      {"truehd", {"-c:a", "truehd", "-strict", "-2", "-ac", "2"}},
      {"flac", {"-c:a", "flac", "-af", "aformat=channel_layouts=7.1"}},
      {"opus", {"-c:a", "libopus", "-ac", "2"}},
      {"pcm", {"-c:a", "pcm_s16le", "-ac", "2"}},
      {"mp2", {"-c:a", "mp2", "-ac", "1"}},
  };
  for (const auto& [name, audio] : families) {
    SCOPED_TRACE(name);
    Ran ran = Convert(Source(name + ".mkv", audio), {"--no-vob"});
    ASSERT_EQ(ran.code, 0) << ran.err;
    EXPECT_EQ(Lines(ran.out).back(), "Plays on: PS3, Xbox 360");
    const std::string mp4 = out / (name + ".mp4");
    EXPECT_EQ(Probe(mp4, "codec_type,codec_name,channels"), "audio,aac,2\nvideo,h264,?");
    EXPECT_NEAR(ProbeDuration(mp4), 2.0, 0.15);
    ExpectOnly(name + ".mp4");
  }
}

// The roads that mux AC-3: E-AC-3 becomes AC-3 in the transport stream (the PS3 plays no
// E-AC-3), FLAC becomes AC-3 in the Xvid AVI.
TEST_F(CliAudioFormats, EAc3OnTheTransportStreamAndFlacOnTheXvidRoadBecomeAc3) {
  Ran ts = Convert(Source("film.mkv", {"-c:a", "eac3", "-ac", "6"}), {"--vob"});
  ASSERT_EQ(ts.code, 0) << ts.err;
  EXPECT_EQ(Lines(ts.out).back(), "Plays on: PS3 (Xbox 360: MPEG transport stream)");
  EXPECT_EQ(Probe(out / "film.mpg", "codec_name,channels", "a"), "ac3,6\nac3,6");  // stream and program
  EXPECT_NEAR(ProbeDuration(out / "film.mpg"), 2.0, 0.15);
  ExpectOnly("film.mpg");
  Ran avi = Convert(Source("clip.mkv", {"-c:a", "flac", "-ac", "2"}), {"--no-vob", "--recode", "xvid"});
  ASSERT_EQ(avi.code, 0) << avi.err;
  EXPECT_EQ(Lines(avi.out).back(), "Plays on: PS3, Xbox 360");
  EXPECT_EQ(Probe(out / "clip.avi", "codec_name,channels"), "mpeg4,?\nac3,2");
  EXPECT_NEAR(ProbeDuration(out / "clip.avi"), 2.0, 0.15);
  ExpectOnly("clip.avi");
}

// A screen recording: no audio track, a silent MP4. --tracks lists what there is.
TEST_F(CliAudioFormats, SourceWithoutAudioBecomesASilentMp4) {
  const std::string source = in / "screen.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-t", "2", "-c:v", "libx264", source}));
  Ran tracks = Spawn({app / "parvela-cli", "--tracks", source});
  EXPECT_EQ(tracks.out, source + ":\n  track 1: video, und, H.264\n");
  Ran ran = Convert(source, {"--no-vob"});
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Lines(ran.out), (std::vector<std::string>{"H.264 High@1.1 160x120 25.000 fps \u2192 copied, level 1.1 "
                                                      "\u00b7 no audio, the output is silent \u00b7 MP4",
                                                      "No audio track: the output is silent",
                                                      "Extracting video/audio stream", "Adjusting header",
                                                      "Creating MP4", "Cleaning temporary files", "Conversion done",
                                                      "Plays on: PS3, Xbox 360"}));
  EXPECT_EQ(Probe(out / "screen.mp4", "codec_name"), "h264");
  EXPECT_NEAR(ProbeDuration(out / "screen.mp4"), 2.0, 0.1);
  ExpectOnly("screen.mp4");
}

// Variable frame rate: frames 40 and 80 ms apart by turns (an average of 16.667 fps) and no
// default duration, as mkvmerge leaves a phone recording. The MP4 takes the average rate, so
// its last frame comes when the source's does, and the audio after the video is still found.
TEST_F(CliAudioFormats, VariableFrameRateSourceStaysInStepToItsEnd) {
  const std::string h264 = in / "v.h264", ac3 = in / "a.ac3", times = in / "times.txt", source = in / "phone.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "61", "-c:v", "libx264",
                      "-bf", "0", h264}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "3.7", "-c:a", "ac3", ac3}));
  std::string stamps = "# timestamp format v2\n";
  for (int i = 0, ms = 0; i < 61; ms += i++ % 2 ? 80 : 40) stamps += std::to_string(ms) + "\n";
  WriteFile(times, stamps);  // the last frame at 3600 ms
  ASSERT_EQ(Spawn({"mkvmerge", "-q", "-o", source, "--timestamps", "0:" + times, h264, ac3}).code, 0);
  ASSERT_EQ(Spawn({"mkvpropedit", "-q", source, "--edit", "track:v1", "--delete", "default-duration"}).code, 0);
  Ran ran = Convert(source, {"--no-vob"});
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Lines(ran.out).back(), "Plays on: PS3, Xbox 360");
  const std::string mp4 = out / "phone.mp4";
  EXPECT_EQ(Probe(mp4, "codec_name,r_frame_rate", "v"), "h264,16667/1000");
  // 61 frames at the average rate end 3.66 s after the start, as the source's last frame plus
  // one frame's time; the sound runs to 3.7 s beside it.
  const double videoEnd = std::stod(Probe(mp4, "duration", "v"));
  EXPECT_NEAR(videoEnd, 3.66, 0.02);
  EXPECT_NEAR(std::stod(Probe(mp4, "duration", "a")), 3.7, 0.1);
  ExpectOnly("phone.mp4");
}

}  // namespace
}  // namespace parvela::testing::toolkit
