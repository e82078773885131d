// The clean-ups of each road's temporary files in the output folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "fsutil/cleanup.h"
#include "fsutil/fsutil.h"
#include "test_support.h"
#include "ui/controls.h"

namespace parvela {
namespace {

using testing::TempDir;
using testing::WriteFile;
using Names = std::set<std::string>;

// Every fixed temporary name a conversion can leave, and what the roads themselves handle.
const Names kAllTemporaries = {
    "movie.aac",  "movie.h264", "movie.avi", "movie_video.h264", "movie.srt",  "movie.ssa",
    "movie.ass",  "movie.ac3",  "movie.dts", "movie.mp3",        "movie.ogg",  "movie.meta",
    "movie_raw.h264", "movie.wav", "movie2.wav", "movie.wvc1",   "movie.wma",  "movie.mpg",
    "movie.mp4"};

class Cleanup : public ::testing::Test {
 protected:
  Cleanup() { txtTMP.SetText(dir.path() + "/"); }

  void Make(const Names& names) {
    for (const auto& n : names) WriteFile(dir / n, n);
  }
  Names Left() const {
    Names left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.insert(e.path().filename());
    return left;
  }

  TempDir dir;
  TextBox txtTMP;
};

TEST_F(Cleanup, Mp4ListLeavesTheRoadsOwnFiles) {
  Make(kAllTemporaries);
  DeleteMp4TempFiles(txtTMP);
  EXPECT_EQ(Left(), (Names{"movie.meta", "movie_raw.h264", "movie.wav", "movie2.wav", "movie.wvc1",
                           "movie.wma", "movie.mpg", "movie.mp4"}));
}

TEST_F(Cleanup, MpegListAlsoTakesMetaAndRawStream) {
  Make(kAllTemporaries);
  DeleteMpegTempFiles(txtTMP);
  EXPECT_EQ(Left(), (Names{"movie.wav", "movie2.wav", "movie.wvc1", "movie.wma", "movie.mpg", "movie.mp4"}));
}

TEST_F(Cleanup, Vc1ListTakesOnlyAviAndWav) {
  Make(kAllTemporaries);
  DeleteVc1TempFiles(txtTMP);
  Names expected = kAllTemporaries;
  expected.erase("movie.avi");
  expected.erase("movie.wav");
  EXPECT_EQ(Left(), expected);
}

TEST_F(Cleanup, MissingNamesAreNoError) {
  Make({"movie.h264", "movie.ac3", "film.mkv"});
  DeleteMp4TempFiles(txtTMP);
  EXPECT_EQ(Left(), (Names{"film.mkv"}));
}

TEST_F(Cleanup, AReadOnlyFileStaysAndLaterNamesStillGo) {
  using Routine = void (*)(const TextBox&);
  for (auto [routine, first, last] : std::vector<std::tuple<Routine, std::string, std::string>>{
           {DeleteMp4TempFiles, "movie.aac", "movie.ogg"},
           {DeleteMpegTempFiles, "movie.aac", "movie_raw.h264"},
           {DeleteVc1TempFiles, "movie.avi", "movie.wav"}}) {
    Make({first, last});
    ASSERT_EQ(::chmod((dir / first).c_str(), 0444), 0);
    routine(txtTMP);
    EXPECT_EQ(Left(), Names{first}) << first;
    ASSERT_EQ(::chmod((dir / first).c_str(), 0644), 0);
    std::filesystem::remove(dir / first);
  }
}

TEST_F(Cleanup, OutputFolderTextIsJoinedAsItStands) {
  TempDir parent;
  txtTMP.SetText(parent / "out");  // no separator: the names are appended to the text itself
  WriteFile(parent / "outmovie.h264", "");
  WriteFile(parent / "movie.h264", "");
  DeleteMp4TempFiles(txtTMP);
  EXPECT_FALSE(FileIsPresent(parent / "outmovie.h264"));
  EXPECT_TRUE(FileIsPresent(parent / "movie.h264"));
}

}  // namespace
}  // namespace parvela
