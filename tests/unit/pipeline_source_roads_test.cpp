// The split road, the VC-1 road and the MPEG-2 repack, command line by command line, with the
// tools played by the test and the source sizes made sparse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

std::string Report(const std::string& videoCodec, bool withSubtitles = false) {
  std::string r = "+ Segment, size 52480\r\n|+ Segment tracks\r\n| + A track\r\n"
                  "|  + Track number: 1 (track ID for mkvmerge & mkvextract: 0)\r\n|  + Track type: video\r\n"
                  "|  + Codec ID: " + videoCodec + "\r\n"
                  "|  + Default duration: 41.708ms (23.976 fps for a video track)\r\n|  + Video track\r\n"
                  "|   + Pixel width: 1920\r\n|   + Pixel height: 1080\r\n|   + Display width: 1920\r\n"
                  "| + A track\r\n|  + Track number: 2 (track ID for mkvmerge & mkvextract: 1)\r\n"
                  "|  + Track type: audio\r\n|  + Codec ID: A_AC3\r\n|  + Language: eng\r\n";
  if (withSubtitles) {
    r += "| + A track\r\n|  + Track number: 3 (track ID for mkvmerge & mkvextract: 2)\r\n"
         "|  + Track type: subtitles\r\n|  + Codec ID: S_TEXT/UTF8\r\n|  + Language: eng\r\n";
  }
  return r;
}

void Resize(const std::string& path, uint64_t bytes) {
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(bytes)), 0);
}

class SourceRoads : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) { return Play(line); };
    fx.app.freeSpace = [this](const std::string&, uint64_t& bytes) {
      bytes = freeBytes;
      return true;
    };
    A = fx.appDir.path();
    O = out.path() + "/";
    source = in / "film.mkv";
    WriteFile(source, "mkv");
    fx.app.sourceInfo.videoKind = "mpeg2";
    fx.form.Option1.Select(0);
    fx.form.txtFile.SetText(source);
    fx.form.txtTMP.SetText(O);
    fx.form.Check1.SetValue(0);
    fx.form.txtProgress.Observe([this] { events.push_back(fx.form.txtProgress.Text()); });
    fx.form.lblMulti.Observe([this] {
      events.push_back("[" + fx.form.lblMulti.Caption() + (fx.form.lblMulti.Visible() ? "]" : " hidden]"));
    });
  }
  void EnableSplit(uint64_t sourceBytes) {
    fs::create_directories(A + "/MKVToolnix");
    WriteFile(A + "/MKVToolnix/mkvmerge.exe", "x");
    fx.form.Check1.SetValue(1);
    Resize(source, sourceBytes);
  }
  // Plays each tool: the files its command line names appear, unless the test says otherwise.
  int Play(const std::string& line) {
    const Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (tool == "mkvmerge.exe") {
      const std::string stem = a[2].substr(0, a[2].size() - 4);
      for (int i = 1; i <= pieces; ++i) {
        WriteFile(stem + "-00" + std::to_string(i) + ".mkv", "piece");
        Resize(stem + "-00" + std::to_string(i) + ".mkv", pieceBytes);
      }
    } else if (tool == "mkvinfo.exe") {
      WriteFile(a.back(), pieceReport);
    } else if (tool == "x264_checker.exe") {
      WriteFile(a.back(), "dpb check: [OK]\r\n");
    } else if (tool == "mkvextract.exe") {
      WriteFile(a[3].substr(a[3].find(':') + 1), "video");
      if (EndsWith(a[3], ".h264")) subsAtPiece.push_back(fx.form.chkSubs.Value());
    } else if (tool == "MP4Box.exe") {
      WriteFile(O + "movie_video.vc1", "raw");
    } else if (tool == "FFmpeg.exe" && ffmpegWrites &&
               FileIsPresent(*(std::find(a.begin(), a.end(), "-i") + 1))) {
      WriteFile(EndsWith(line, " -bug ms") ? a[a.size() - 3] : a.back(), "out");
    }
    return 0;
  }
  std::string Q(const std::string& s) const { return "\"" + s + "\""; }
  std::string Mkvmerge(const std::string& folder, const std::string& tail) const {
    return Q(A + "/MKVToolnix/mkvmerge.exe") + " -o " + Q(O + folder + "/film.mkv") + " -d 1 -a 2 " + tail;
  }
  std::string Repack(const std::string& from, const std::string& to) const {
    return Q(A + "/FFMpeg/FFmpeg.exe") + " -threads 4 -i " + Q(from) + " -vcodec copy -acodec copy -f vob -copyts -y " +
           Q(O + to) + " -bug ms";
  }
  std::string Mkvinfo(const std::string& piece) const {
    return Q(A + "/MKVToolnix/mkvinfo.exe") + " " + Q(piece) + " -o " + Q(A + "/info.txt");
  }
  std::string Wma() const {
    return Q(A + "/FFMpeg/FFmpeg.exe") + " -i " + Q(O + "movie.wav") + " -acodec wmav2 -ab 192000 -ac 2 " +
           Q(O + "movie.wma");
  }
  Lines Remaining(const std::string& folder) const {
    Lines names;
    for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  FormFixture fx;
  TempDir in, out;
  std::string A, O, source;
  int pieces = 2;
  uint64_t pieceBytes = 5;
  uint64_t freeBytes = 1ULL << 50;
  bool ffmpegWrites = true;
  std::string pieceReport = Report("V_MPEG2");
  Lines events;
  std::vector<int> subsAtPiece;
};

TEST_F(SourceRoads, SplitThresholdsAndPieceSizes) {
  struct Case {
    uint64_t bytes;
    std::function<void()> options;
    std::string split;  // the end of the mkvmerge line; empty: not split
  };
  auto dvd = [this] { fx.form.chkDVD.SetValue(1); };
  auto dvdVob = [this] { fx.form.chkDVD.SetValue(1), fx.form.chkVob.SetValue(1); };
  auto mpeg2 = [this] { fx.form.chkMP2.SetValue(1), fx.form.cmdConv.SetListIndex(0); };
  const std::vector<Case> cases = {
      {4189999499ULL, [] {}, ""},                           // 4189999 units
      {4189999500ULL, [] {}, " --split 2095000K"},         // 4190000 units: two pieces
      {9000000000ULL, [] {}, " --split 3000000K"},         // parts 2: three pieces
      {9000000000ULL, dvd, " --split 4190000K"},           // "Fit to DVD": the threshold itself
      {4240740000ULL, dvdVob, ""},                         // Fit to DVD with Vob: 4240741
      {4240741000ULL, dvdVob, " --split 4240741K"},
      {2399999000ULL, mpeg2, ""},                          // MPEG-2 target: 2400000
      {2400000000ULL, mpeg2, " --split 1200000K"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    fx.form.chkDVD.SetValue(0), fx.form.chkVob.SetValue(0), fx.form.chkMP2.SetValue(0);
    fx.form.cmdConv.SetListIndex(-1);
    fx.app.sourceInfo.videoKind = "mpeg2";
    pieces = 0;  // nothing to convert: only the line matters here
    fx.runner.calls.clear();
    EnableSplit(c.bytes);
    c.options();
    fx.form.Command2_Click();
    const std::string expected =
        c.split.empty() ? Repack(source, "film.mpg") : Mkvmerge("split", " " + Q(source) + c.split);
    EXPECT_EQ(fx.runner.Lines().front(), expected);
  }
}

// Two pieces, each above the threshold itself: converted one after the other, never split again.
TEST_F(SourceRoads, SplitConvertsEachPieceByANestedRunAndRemovesTheFolder) {
  EnableSplit(4500000000ULL);
  pieceBytes = 4400000000ULL;
  fx.form.txtS1.SetText("1");
  fx.form.txtS2.SetText("2");
  fx.form.strH264Bitrate = "stale";
  fs::permissions(source, fs::perms::owner_write, fs::perm_options::remove);  // a read-only source splits too
  fx.form.Command2_Click();
  const std::string p1 = O + "split/film-001.mkv", p2 = O + "split/film-002.mkv";
  const std::string mkvmerge = Mkvmerge("split", " " + Q(source) + " --split 2250000K");
  EXPECT_EQ(fx.runner.Lines(), (Lines{mkvmerge, Mkvinfo(p1), Repack(p1, "film-001.mpg"), Mkvinfo(p2),
                                      Repack(p2, "film-002.mpg")}));
  EXPECT_EQ(events, (Lines{"Splitting MKV", "Performing Split file conversion", "[1 of 2]",
                           "Repacking to mpeg2 container", "Conversion done", "Performing Split file conversion",
                           "[2 of 2]", "Repacking to mpeg2 container", "Conversion done", "[2 of 2 hidden]"}));
  EXPECT_EQ(Remaining(out.path()), (Lines{"film-001.mpg", "film-002.mpg"}));
  EXPECT_NE(ReadFile(A + "/debug.log").find(mkvmerge + "\r\n"), std::string::npos);
  EXPECT_EQ(std::count(fx.host.log.begin(), fx.host.log.end(), "Repaint"), 4);
  EXPECT_EQ(std::count(fx.host.log.begin(), fx.host.log.end(), "Topmost"), 0);  // no common end
  EXPECT_FALSE(fx.form.bSplit);
  EXPECT_EQ(fx.form.strH264Bitrate, "");
  EXPECT_EQ(fx.form.txtFile.Text(), p2);
  EXPECT_TRUE(FileIsPresent(source));
}

TEST_F(SourceRoads, SplitTakesTheChosenSubtitleTrackAndEachPieceBurnsItIn) {
  EnableSplit(4500000000ULL);
  pieceReport = Report("V_MPEG4/ISO/AVC", true);
  fx.app.sourceInfo.videoKind = "avc";
  fx.app.sourceInfo.subtitleTracks[1].trackNumber = "4";
  for (const char* item : {"eng", "fre"}) fx.form.cmbSubs.AddItem(item);
  fx.form.cmbSubs.SetListIndex(1);
  fx.form.chkSubs.SetValue(1);
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines().front(), Mkvmerge("split", " -s 4 " + Q(source) + " --split 2250000K"));
  // Inspecting a piece clears "Embed subs"; the loop checks it again for the piece's run.
  EXPECT_EQ(subsAtPiece, (std::vector<int>{1, 1}));
  EXPECT_EQ(fx.form.cmbSubs.ListIndex(), 0);
  EXPECT_FALSE(fx.form.bSubs);
}

// A split folder of the user's own is neither converted nor removed.
TEST_F(SourceRoads, SplitUsesAFolderOfItsOwn) {
  EnableSplit(4500000000ULL);
  fs::create_directory(O + "split");
  WriteFile(O + "split/mine.mkv", "mine");
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines()[0], Mkvmerge("split-2", " " + Q(source) + " --split 2250000K"));
  EXPECT_EQ(fx.runner.Lines()[1], Mkvinfo(O + "split-2/film-001.mkv"));
  EXPECT_EQ(Remaining(out.path()), (Lines{"film-001.mpg", "film-002.mpg", "split"}));
  EXPECT_EQ(Remaining(O + "split"), Lines{"mine.mkv"});
}

TEST_F(SourceRoads, SplitWithoutPiecesOrWithoutRoomEndsInAnError) {
  EnableSplit(4500000000ULL);
  pieces = 0;
  fx.form.Command2_Click();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "mkvmerge made no piece of " + source + " in " + O +
                                          "split. Nothing was converted; the source is untouched.");
  EXPECT_EQ(fx.host.messages[0].title, "Split error");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(fx.runner.calls.size(), 1u);
  EXPECT_TRUE(Remaining(out.path()).empty());
  EXPECT_FALSE(fx.form.bSplit);

  fx.runner.calls.clear();
  freeBytes = 4499999999ULL;
  fx.form.Command2_Click();
  EXPECT_EQ(fx.host.messages.back().text, "Not enough free space in " + O + " to split " + source +
                                              ": the pieces need 4500 MB, 4499 MB are free. Nothing was converted.");
  EXPECT_TRUE(fx.runner.calls.empty());
  EXPECT_TRUE(Remaining(out.path()).empty());
  EXPECT_EQ(fx.form.txtProgress.Text(), "Conversion error.");
}

TEST_F(SourceRoads, Vc1InVfwModeLeavesTheRawStreamAndTheWma) {
  fx.app.sourceInfo.videoKind = "vc1";
  fx.app.sourceInfo.vfwVideo = true;
  fx.form.txtS1.SetText("1");
  WriteFile(O + "movie.wav", "wav");  // what the decoding graph would write
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + " 1:" + Q(O + "movie.avi"),
                   Q(A + "/MP4Box/MP4Box.exe") + " -aviraw video " + Q(O + "movie.avi"), Wma()}));
  EXPECT_EQ(Remaining(out.path()), (Lines{"movie.wma", "movie_video.vc1"}));
  EXPECT_EQ(events, Lines{"Conversion Done"});
  EXPECT_EQ(fx.host.log.back(), "Repaint");
}

TEST_F(SourceRoads, Vc1TrackBecomesMovieWvc1AndAMissingWavIsAnError) {
  fx.app.sourceInfo.videoKind = "vc1";
  fx.form.txtS1.SetText("1");
  WriteFile(O + "movie.wav", "wav");
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + " 1:" + Q(O + "movie.wvc1"),
                   Wma()}));
  EXPECT_EQ(Remaining(out.path()), (Lines{"movie.wma", "movie.wvc1"}));

  fx.form.Command2_Click();  // no movie.wav this time: FFmpeg makes no WMA
  EXPECT_EQ(fx.host.messages.back().title, "Audio error");
  EXPECT_EQ(fx.form.txtProgress.Text(), "Conversion error.");
  EXPECT_EQ(Remaining(out.path()), Lines{"movie.wvc1"});
}

TEST_F(SourceRoads, Mpeg2IsRepackedUnderItsOwnNameEvenWithRecode) {
  const std::string dotted = in / "my.show.mkv";
  WriteFile(dotted, "mkv");
  fx.form.txtFile.SetText(dotted);
  fx.form.chkMP2.SetValue(1);
  for (const char* left : {"movie.wav", "movie.avi", "movie.wma", "movie.h264"}) WriteFile(O + left, "old");
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines(), Lines{Repack(dotted, "my.show.mpg")});
  EXPECT_EQ(events, (Lines{"Repacking to mpeg2 container", "Conversion done"}));
  EXPECT_EQ(Remaining(out.path()), (Lines{"movie.h264", "my.show.mpg"}));

  ffmpegWrites = false;
  fx.form.Command2_Click();
  EXPECT_EQ(fx.host.messages.back().text, "Error creating " + O + "my.show.mpg, quitting attempt.");
  EXPECT_EQ(fx.form.txtProgress.Text(), "Conversion error.");
}

}  // namespace
}  // namespace parvela
