// The audio roles: valdec and BeSweet done with ffmpeg, FFmpeg's translations, faad and
// soundstretch passed through.
#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

// The highest sample level ffmpeg measures, in dB below full scale.
double PeakDb(const std::string& file) {
  Ran ran = Spawn({"ffmpeg", "-nostdin", "-hide_banner", "-i", file, "-af", "volumedetect", "-f", "null", "-"});
  size_t at = ran.err.find("max_volume: ");
  return at == std::string::npos ? 99 : std::stod(ran.err.substr(at + 12));
}

class ToolkitAudioTest : public ::testing::Test {
 protected:
  // A loud 5.1 AC-3 track, two seconds.
  void SetUp() override {
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.8*sin(2*PI*440*t):s=48000:c=5.1:d=2", "-c:a", "ac3", ac3}));
  }

  std::string Tool(const std::string& relative) const { return Quoted(AppTool(relative)); }

  TempDir dir;
  std::string ac3 = dir / "movie.ac3", wav = dir / "movie.wav";
};

TEST_F(ToolkitAudioTest, ValdecStereoWithGainAndCompressionNeverClips) {
  // The backup decoder's line.
  Ran ran = RunLine(Tool("ac3filter/valdec.exe") + " " + Quoted(ac3) + " -wav " + Quoted(wav) +
                    " -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8 ");
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(RoleLines(ran, "valdec"),
            std::vector<std::string>{"valdec: ffmpeg -nostdin -hide_banner -loglevel error -y -i " + ac3 +
                                     " -map 0:a:0 -af aformat=channel_layouts=stereo,acompressor=threshold=0.1:"
                                     "ratio=3:attack=20:release=250,volume=8dB,alimiter=limit=0.977:level=false"
                                     " -c:a pcm_s16le -rf64 auto -f wav " + wav});
  EXPECT_EQ(Probe(wav, "codec_name,channels,sample_rate"), "pcm_s16le,2,48000");
  EXPECT_LT(PeakDb(wav), 0.0);
}

TEST_F(ToolkitAudioTest, ValdecKeepsTheSixChannelsWithSpeakerSettingZero) {
  Ran ran = RunLine(Tool("ac3filter/valdec.exe") + " " + Quoted(ac3) + " -wav " + Quoted(wav) + " -spk:0 -fmt:0");
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Probe(wav, "codec_name,channels"), "pcm_s16le,6");
}

TEST_F(ToolkitAudioTest, BeSweetShortensTheSoundToTheFasterRateInStereo) {
  ASSERT_TRUE(Ffmpeg({"-i", ac3, "-c:a", "pcm_s16le", dir / "movie2.wav"}));
  double before = ProbeDuration(dir / "movie2.wav");
  Ran ran = RunLine(Tool("besweet/BeSweet.exe") + " -core( -input " + Quoted(dir / "movie2.wav") + " -2ch -output " +
                    Quoted(wav) + " ) -ota( -r 23976 25000 ) ");
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Probe(wav, "channels,sample_rate"), "2,48000");
  EXPECT_NEAR(ProbeDuration(wav) / before, 23976.0 / 25000.0, 0.002);
}

TEST_F(ToolkitAudioTest, FfmpegEncodesWithTheNativeAacInsteadOfLibfaac) {
  ASSERT_TRUE(Ffmpeg({"-i", ac3, "-c:a", "pcm_s16le", wav}));
  std::string aac = dir / "movie.aac";
  Ran ran = RunLine(Tool("FFMpeg/FFmpeg.exe") + " -f wav -i " + Quoted(wav) + " -acodec libfaac -ac 2 -ab 224kb " +
                    Quoted(aac));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(RoleLines(ran, "FFmpeg"),
            std::vector<std::string>{"FFmpeg: ffmpeg -nostdin -hide_banner -loglevel error -stats -y -f wav -i " + wav +
                                     " -acodec aac -ac 2 -ab 224k " + aac});
  EXPECT_EQ(Probe(aac, "codec_name,channels"), "aac,2");
}

TEST_F(ToolkitAudioTest, FfmpegMovesOptionsAfterTheOutputAndDropsForgottenOnes) {
  // An MPEG-2 source, as the road that repacks those into a program stream has it.
  std::string source = dir / "My Movie.mkv", program = dir / "My Movie.mpg";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i", "sine", "-t", "1",
                      "-c:v", "mpeg2video", "-c:a", "ac3", source}));
  Ran ran = RunLine(Tool("FFMpeg/FFmpeg.exe") + " -threads 4 -i " + Quoted(source) +
                    " -vcodec copy -acodec copy -sameq -f vob -copyts -y " + Quoted(program) + " -bug ms");
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(RoleLines(ran, "FFmpeg"),
            (std::vector<std::string>{"FFmpeg: dropped -sameq, which ffmpeg no longer knows",
                                      "FFmpeg: ffmpeg -nostdin -hide_banner -loglevel error -stats -y -threads 4 -i '" +
                                          source + "' -vcodec copy -acodec copy -f vob -copyts -bug ms '" + program +
                                          "'"}));
  EXPECT_EQ(Probe(program, "codec_name"), "mpeg2video\nac3");
}

TEST_F(ToolkitAudioTest, FaadAndSoundstretchTakeParvelasArgumentsAsTheyAre) {
  std::string aac = dir / "movie.aac";
  ASSERT_TRUE(Ffmpeg({"-i", ac3, "-c:a", "aac", aac}));
  Ran faad = RunLine(Tool("ffmpeg/faad.exe") + " -d " + Quoted(aac) + " -o " + Quoted(wav));
  ASSERT_EQ(faad.code, 0) << faad.err;
  EXPECT_EQ(RoleLines(faad, "faad"), std::vector<std::string>{"faad: faad -d " + aac + " -o " + wav});
  EXPECT_EQ(Probe(wav, "channels"), "2");

  std::string pitched = dir / "movie2.wav";
  Ran stretch = RunLine(Tool("Sounds/soundstretch.exe") + " " + Quoted(wav) + " " + Quoted(pitched) + " -pitch=-1 ");
  ASSERT_EQ(stretch.code, 0) << stretch.err;
  EXPECT_EQ(RoleLines(stretch, "soundstretch"),
            std::vector<std::string>{"soundstretch: soundstretch " + wav + " " + pitched + " -pitch=-1"});
  EXPECT_NEAR(ProbeDuration(pitched), ProbeDuration(wav), 0.05);
}

}  // namespace
}  // namespace parvela::testing::toolkit
