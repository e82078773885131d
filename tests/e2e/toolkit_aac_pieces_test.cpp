// The FFmpeg role's AAC encode in pieces: the joined stream against one encode of the same WAV
// and against the WAV itself.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

constexpr size_t kFrame = 1024;

// Stereo float samples, interleaved.
std::vector<float> Decode(const std::string& file) {
  std::string raw = Spawn({"ffmpeg", "-v", "error", "-i", file, "-ac", "2", "-c:a", "pcm_f32le", "-f", "f32le", "-"}).out;
  std::vector<float> samples(raw.size() / sizeof(float));
  std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
  return samples;
}

// Per 1024-sample block: the mean square and the peak of the difference to the source, the
// decoded stream being one frame (the encoder's priming) late.
struct BlockError {
  double meanSquare = 0, peak = 0;
};

std::vector<BlockError> ErrorsAgainst(const std::vector<float>& source, const std::vector<float>& decoded) {
  std::vector<BlockError> blocks(source.size() / 2 / kFrame);
  for (size_t b = 0; b < blocks.size(); ++b) {
    for (size_t i = b * kFrame * 2; i < (b + 1) * kFrame * 2; ++i) {
      double d = decoded[i + kFrame * 2] - source[i];
      blocks[b].meanSquare += d * d / (kFrame * 2);
      blocks[b].peak = std::max(blocks[b].peak, std::abs(d));
    }
  }
  return blocks;
}

class ScopedPieces {
 public:
  explicit ScopedPieces(const char* count) { setenv("PARVELA_AAC_PIECES", count, 1); }
  ~ScopedPieces() { unsetenv("PARVELA_AAC_PIECES"); }
};

// Once as a plain RIFF file, once as RF64, the form a WAV past 4 GB takes.
class ToolkitAacPiecesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ToolkitAacPiecesTest, JoinedEncodeIsAsLongAndAsCloseToTheSourceAtTheJoinsAsElsewhere) {
  TempDir dir;
  std::string wav = dir / "movie.wav";
  // Eight seconds of 5.1 (375 frames): a tone with noise bursts every third of a second, so that
  // bursts (and the short windows they bring) fall right on the joins at frames 125 and 250.
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i",
                      "aevalsrc=0.15*sin(2*PI*440*t)*(1+0.5*sin(2*PI*3*t))+0.1*random(0)*lt(mod(t\\,1/3)\\,0.02)"
                      ":s=48000:d=8",
                      "-af", "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "pcm_s16le", "-rf64", GetParam(), wav}));
  ASSERT_EQ(ReadFile(wav).substr(0, 4), std::string(GetParam()) == "always" ? "RF64" : "RIFF");
  auto encode = [&](const char* pieces, const std::string& name) {
    ScopedPieces scoped(pieces);
    return RunLine(Quoted(AppTool("FFMpeg/FFmpeg.exe")) + " -f wav -i " + Quoted(wav) +
                   " -acodec libfaac -ac 2 -ab 224kb " + Quoted(dir / name));
  };
  Ran joined = encode("3", "joined.aac");
  ASSERT_EQ(joined.code, 0) << joined.err;
  std::vector<std::string> piece;
  for (int j = 0; j < 3; ++j) {
    piece.push_back("FFmpeg: ffmpeg -nostdin -hide_banner -loglevel error -y -f wav -i pipe:0 -acodec aac -ac 2 -ab 224k"
                    " -f adts " + dir / "joined.aac.piece" + std::to_string(j) + ".part");
  }
  EXPECT_EQ(RoleLines(joined, "FFmpeg"), piece);
  ASSERT_EQ(encode("1", "single.aac").code, 0);
  EXPECT_EQ(FolderListing(dir.path()), (std::vector<std::string>{"joined.aac", "movie.wav", "single.aac"}));

  std::vector<float> source = Decode(wav), one = Decode(dir / "single.aac"), both = Decode(dir / "joined.aac");
  ASSERT_EQ(source.size(), 8u * 48000 * 2);
  ASSERT_EQ(both.size(), one.size());  // the same length, to the sample
  ASSERT_GE(one.size(), source.size() + kFrame * 2);

  std::vector<BlockError> joinedErrors = ErrorsAgainst(source, both), singleErrors = ErrorsAgainst(source, one);
  BlockError nearJoins, elsewhere, single;
  for (size_t b = 0; b < joinedErrors.size(); ++b) {
    bool near = (b + 8 >= 125 && b <= 125 + 8) || (b + 8 >= 250 && b <= 250 + 8);
    BlockError& into = near ? nearJoins : elsewhere;
    into.meanSquare = std::max(into.meanSquare, joinedErrors[b].meanSquare);
    into.peak = std::max(into.peak, joinedErrors[b].peak);
    single.meanSquare = std::max(single.meanSquare, singleErrors[b].meanSquare);
    single.peak = std::max(single.peak, singleErrors[b].peak);
  }
  // A click would stand out as the largest error of the file, or beyond one encode's worst.
  EXPECT_LE(nearJoins.meanSquare, elsewhere.meanSquare);
  EXPECT_LE(nearJoins.peak, elsewhere.peak);
  EXPECT_LE(nearJoins.meanSquare, single.meanSquare);
  EXPECT_LE(nearJoins.peak, single.peak);
}

INSTANTIATE_TEST_SUITE_P(WavForms, ToolkitAacPiecesTest, ::testing::Values("auto", "always"));

}  // namespace
}  // namespace parvela::testing::toolkit
