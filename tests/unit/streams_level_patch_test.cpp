#include <gtest/gtest.h>

#include "streams/streams.h"
#include "test_support.h"

namespace parvela {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

class LevelPatch : public ::testing::Test {
 protected:
  // Patches `content` and returns the file afterwards.
  std::string Patch(const std::string& content) {
    WriteFile(path, content);
    PatchH264Level(path);
    return ReadFile(path);
  }
  TempDir dir;
  std::string path = dir / "movie.h264";
};

TEST_F(LevelPatch, HighProfileLevelByteBecomes41AndNothingElseChanges) {
  const std::string in = Bytes({0, 0, 0, 1, 0x67, 0x64, 0x00, 0x33, 0xAC, 0xD9}) + std::string(20000, '\x11');
  std::string expected = in;
  expected[7] = 0x29;
  EXPECT_EQ(Patch(in), expected);
}

TEST_F(LevelPatch, StreamAlreadyAtLevel41IsUntouched) {
  const std::string in = Bytes({0, 0, 0, 1, 0x67, 0x64, 0x00, 0x29, 0xAC});
  EXPECT_EQ(Patch(in), in);
}

TEST_F(LevelPatch, MainProfileBeyondItsWindowIsNotFound) {
  std::string in(3500, '\0');
  in += Bytes({0x4D, 0x40, 0x33});
  EXPECT_EQ(Patch(in), in);
  std::string inside(2999, '\0');
  inside += Bytes({0x4D, 0x40, 0x33, 0x4D, 0x40, 0x33});
  std::string expected = inside;
  expected[3001] = 0x29;  // start 2999 is in the window, start 3002 is not
  EXPECT_EQ(Patch(inside), expected);
}

TEST_F(LevelPatch, HighPatternAtTheLastStartOffsetIsPatchedBeyondTheWindow) {
  std::string in(5999, '\0');
  in += Bytes({0x64, 0x00, 0x33, 0x01});
  std::string expected = in;
  expected[6001] = 0x29;
  EXPECT_EQ(Patch(in), expected);
}

TEST_F(LevelPatch, FirstPatternFoundEndsTheCascade) {
  const std::string in = Bytes({0x4D, 0x40, 0x33, 0, 0x64, 0x00, 0x33, 0, 0x42, 0xC0, 0x33});
  std::string expected = in;
  expected[6] = 0x29;  // only the High-profile occurrence
  EXPECT_EQ(Patch(in), expected);
  const std::string baseline = Bytes({0x58, 0xA0, 0x29, 0x42, 0xC0, 0x33});
  EXPECT_EQ(Patch(baseline), Bytes({0x58, 0xA0, 0x29, 0x42, 0xC0, 0x29}));
}

TEST_F(LevelPatch, AtMostElevenOccurrencesArePatched) {
  std::string in;
  for (int i = 0; i < 13; ++i) in += Bytes({0x64, 0x00, 0x33});
  const std::string out = Patch(in);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(out[static_cast<size_t>(i * 3 + 2)], i < 11 ? 0x29 : 0x33) << i;
}

// Labels the four patterns do not list: the first sequence parameter set's level byte becomes 4.1
// when it announces more, and only that one; a level at or below 4.1 stays.
TEST_F(LevelPatch, FirstParameterSetAboveLevel41IsRewrittenWhenNoPatternMatched) {
  const std::string sps52 = Bytes({0, 0, 0, 1, 0x67, 0x64, 0x00, 0x34, 0xAC});
  const std::string sps51Flags = Bytes({0, 0, 1, 0x27, 0x64, 0x0C, 0x33, 0xAC});
  const std::string sps42 = Bytes({0, 0, 1, 0x67, 0x4D, 0x00, 0x2A, 0xAC});
  const std::string tail = Bytes({0, 0, 1, 0x68, 0xEE}) + sps52;
  std::string expected = Bytes({0x09, 0x10}) + sps52 + tail;
  const std::string in = expected;
  expected[9] = 0x29;  // the second parameter set stays as it is
  EXPECT_EQ(Patch(in), expected);
  std::string flags = sps51Flags;
  flags[6] = 0x29;
  EXPECT_EQ(Patch(sps51Flags), flags);
  std::string main42 = sps42;
  main42[6] = 0x29;
  EXPECT_EQ(Patch(sps42), main42);
  const std::string sps40 = Bytes({0, 0, 1, 0x67, 0x64, 0x00, 0x28, 0xAC});
  EXPECT_EQ(Patch(sps40), sps40);
  const std::string late = std::string(6000, '\x11') + sps52;
  EXPECT_EQ(Patch(late), late);
}

TEST_F(LevelPatch, ShortAndMissingFilesAreLeftAlone) {
  EXPECT_EQ(Patch(Bytes({0x64, 0x00})), Bytes({0x64, 0x00}));
  PatchH264Level(dir / "missing.h264");
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.h264"));
}

}  // namespace
}  // namespace parvela
