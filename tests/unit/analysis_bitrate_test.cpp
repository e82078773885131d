// The source bitrate read from the H.264 encoder's option text.
#include <gtest/gtest.h>

#include <string>

#include "analysis/analysis.h"
#include "test_support.h"

namespace parvela {
namespace {

using testing::TempDir;
using testing::WriteFile;

class AnalysisBitrateTest : public ::testing::Test {
 protected:
  int16_t BitrateOf(const std::string& content) {
    WriteFile(path, content);
    return ReadSourceBitrate(path);
  }
  // Binary-looking bytes, NULs included, before the option text.
  static std::string Filler(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 7 == 0 ? 0 : 'a' + i % 20);
    return s;
  }

  TempDir dir;
  std::string path = dir / "movie.mkv";
};

TEST_F(AnalysisBitrateTest, ReadsTheValueAfterTheFirstBitrateOption) {
  const std::string options = "x264 - core 67 - options: cabac=1 ref=3 rc=abr bitrate=";
  EXPECT_EQ(BitrateOf(Filler(5000) + options + "8000 ratetol=1.0 bitrate=1000"), 8000);
  EXPECT_EQ(BitrateOf(Filler(5000) + options + "12345/x"), 12345);
  EXPECT_EQ(BitrateOf(options + " 900 qcomp"), 900);
  EXPECT_EQ(BitrateOf(options + "77"), 77);  // file ends within the five characters
}

TEST_F(AnalysisBitrateTest, NoBitrateGivesTheDefault) {
  EXPECT_EQ(BitrateOf(Filler(20000)), 8000);
  EXPECT_EQ(BitrateOf(""), 8000);
  EXPECT_EQ(ReadSourceBitrate(dir / "missing.mkv"), 8000);
  // Only the first 100000 bytes are searched.
  EXPECT_EQ(BitrateOf(Filler(100000) + "bitrate=2500 "), 8000);
  EXPECT_EQ(BitrateOf(Filler(99995) + "bitrate=2500 "), 8000);  // straddles the end of the block
}

TEST_F(AnalysisBitrateTest, ValueMayLieBeyondTheSearchedBlock) {
  EXPECT_EQ(BitrateOf(Filler(99992) + "bitrate=2500 ratetol"), 2500);
  EXPECT_EQ(BitrateOf(Filler(99991) + "bitrate=31000"), 31000);
}

TEST_F(AnalysisBitrateTest, TextThatIsNoPositiveSixteenBitNumberGivesTheDefault) {
  EXPECT_EQ(BitrateOf("bitrate=32767"), 32767);
  EXPECT_EQ(BitrateOf("bitrate=40000"), 8000);
  EXPECT_EQ(BitrateOf("bitrate=32768"), 8000);
  EXPECT_EQ(BitrateOf("bitrate=800 k"), 8000);
  EXPECT_EQ(BitrateOf("bitrate=abc"), 8000);
  EXPECT_EQ(BitrateOf("bitrate=     x"), 8000);
  EXPECT_EQ(BitrateOf("bitrate=0"), 8000);
  EXPECT_EQ(BitrateOf("bitrate=-1200"), 8000);
}

TEST_F(AnalysisBitrateTest, FractionsRoundHalfToEven) {
  EXPECT_EQ(BitrateOf("bitrate=122.5"), 122);
  EXPECT_EQ(BitrateOf("bitrate=123.5"), 124);
  EXPECT_EQ(BitrateOf("bitrate=122.6"), 123);
  EXPECT_EQ(BitrateOf("bitrate=99.49"), 99);
  EXPECT_EQ(BitrateOf("bitrate=1234.5"), 1234);  // only "1234." is read
  EXPECT_EQ(BitrateOf("bitrate=0.5"), 8000);     // rounds to 0
}

}  // namespace
}  // namespace parvela
