// The transport-stream road and the h264info driver, with the tools played by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "streams/streams.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

std::string Q(const std::string& s) { return "\"" + s + "\""; }

Lines Remaining(const std::string& folder) {
  Lines names;
  for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class TsRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) { return PlayTool(line); };
    A = fx.appDir.path();
    std::filesystem::create_directories(A + "/h264info");
    O = out.path() + "/";
    source = in.path() + "/film.mkv";
    WriteFile(source, "mkv");
    fx.app.sourceInfo.videoKind = "avc";
    fx.form.Option1.Select(0);
    fx.form.txtFile.SetText(source);
    fx.form.txtTMP.SetText(O);
    fx.form.txtS1.SetText("1");
    fx.form.txtS2.SetText("2");
    fx.form.txtSFPS.SetText("23.976");
    fx.form.Check1.SetValue(0);
    fx.form.chkVob.SetValue(1);
    fx.form.cmbSubs.SetVisible(true);
    fx.form.txtProgress.Observe([this] { progress.push_back(fx.form.txtProgress.Text()); });
  }
  int PlayTool(const std::string& line) {
    Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (failing.count(tool)) return 1;
    if (tool == "mkvextract.exe") {
      for (size_t i = 3; i < a.size(); ++i) WriteFile(a[i].substr(a[i].find(':') + 1), "track");
    } else if (tool == "h264info.exe") {
      std::filesystem::copy_file(O + "movie_raw.h264", O + "movie.h264");
    } else if (tool == "valdec.exe") {
      WriteFile(a[3], "wav");
    } else {
      WriteFile(a.back(), "out");  // FFmpeg, aften, tsMuxeR
    }
    return 0;
  }
  std::string Extraction(const std::string& ext) const {
    return Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + " 1:" + Q(O + "movie_raw.h264") + " 2:" +
           Q(O + "movie." + ext);
  }
  std::string Aften() const {
    return Q(A + "/aften/aften.exe") + " " + Q(O + "movie.wav") + " -b 640 " + Q(O + "movie.ac3");
  }
  std::string TsMuxer() const {
    return Q(A + "/TS/tsmuxer.exe") + " " + Q(O + "movie.meta") + " " + Q(O + "film.m2ts");
  }

  FormFixture fx;
  TempDir in, out;
  std::string A, O, source;
  std::set<std::string> failing;
  Lines progress;
};

TEST_F(TsRoad, Ac3SourceIsRewrittenAndMuxedUnderTheMpgName) {
  // Every name of the clean-up list, and two it leaves alone.
  for (const char* n : {"movie.aac", "movie.avi", "movie_video.h264", "movie.srt", "movie.ssa", "movie.ass",
                        "movie.dts", "movie.mp3", "movie.ogg", "movie.wav", "movie.mp4"}) {
    WriteFile(O + n, "old");
  }
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extraction("ac3"), Q(A + "/h264info/h264info.exe"), TsMuxer()}));
  EXPECT_TRUE(fx.runner.calls[1].hidden);
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Adjusting header", "Adjusting Header",
                             "Muxing MPEG PS", "Conversion done"}));
  EXPECT_EQ(ReadFile(A + "/h264info/h264info.ini"),
            "[Paths]\r\nInputPath=" + O + "movie_raw.h264\r\nOutputPath=" + O + "movie.h264\r\n");
  EXPECT_EQ(ReadFile(A + "/debug.log"), Extraction("ac3") + "\r\n" + TsMuxer() + "\r\n");
  EXPECT_EQ(Remaining(out.path()), (Lines{"film.mpg", "movie.mp4", "movie.wav"}));
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>{100});
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_FALSE(fx.form.cmbSubs.Visible());
  EXPECT_EQ(fx.host.log.back(), "Topmost");
}

TEST_F(TsRoad, MetaFileNamesTheRewrittenVideoAndTheAc3) {
  failing = {"tsmuxer.exe"};
  fx.form.Command2_Click();
  EXPECT_EQ(ReadFile(O + "movie.meta"), "V_MPEG4/ISO/AVC, " + Q(O + "movie.h264") + ", fps=23.976\r\nA_AC3, " +
                                            Q(O + "movie.ac3") + "\r\n");
}

TEST_F(TsRoad, OtherFormatsAreDecodedAndEncodedWithoutACheck) {
  const std::string ff = Q(A + "/FFMpeg/FFmpeg.exe");
  struct Case {
    int button;
    std::string ext;
    Lines audio;
  };
  for (const Case& c : std::vector<Case>{
           {1, "dts", {Q(A + "/ac3filter/valdec.exe") + " " + Q(O + "movie.dts") + " -wav " + Q(O + "movie.wav") + " -fmt:0"}},
           {4, "aac", {ff + " -i " + Q(O + "movie.aac") + " -acodec pcm_s16le " + Q(O + "movie.wav")}},
           // No decoding graph here, as for Vorbis on Linux: FFmpeg decodes the extracted track.
           {2, "ogg", {ff + " -i " + Q(O + "movie.ogg") + " -acodec pcm_s16le " + Q(O + "movie.wav")}},
       }) {
    SCOPED_TRACE(c.ext);
    fx.runner.calls.clear();
    fx.sleeper.waits.clear();
    fx.form.Option1.Select(c.button);
    fx.form.Command2_Click();
    Lines expected = {Extraction(c.ext), Q(A + "/h264info/h264info.exe")};
    expected.insert(expected.end(), c.audio.begin(), c.audio.end());
    expected.insert(expected.end(), {Aften(), TsMuxer()});
    EXPECT_EQ(fx.runner.Lines(), expected);
    EXPECT_EQ(Remaining(out.path()), Lines{"film.mpg"});
    EXPECT_EQ(fx.sleeper.waits, std::vector<int>{100});  // the output test's pause only
  }
}

TEST_F(TsRoad, Mp3ComesFromTheDecodingGraph) {
  fx.form.Option1.Select(3);
  fx.runner.onRun = [this](const std::string& line) {
    if (line.find("h264info.exe") != std::string::npos) WriteFile(O + "movie.wav", "wav");  // the graph's work
    return PlayTool(line);
  };
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extraction("mp3"), Q(A + "/h264info/h264info.exe"), Aften(), TsMuxer()}));
}

TEST_F(TsRoad, NoStreamFromTheMuxerIsReportedAndTheTempFilesStay) {
  WriteFile(O + "film.mpg", "an earlier conversion");
  WriteFile(O + "film.m2ts", "left by an interrupted run");
  failing = {"tsmuxer.exe"};
  fx.form.strSubBrowse = "/subs/film.srt";
  fx.form.Command2_Click();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "Error: " + O + "film.mpg was not created.");
  EXPECT_EQ(fx.host.messages[0].title, "info");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::None);
  EXPECT_EQ(fx.host.messages[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(progress.back(), "Conversion done");
  EXPECT_EQ(Remaining(out.path()), (Lines{"film.mpg", "movie.ac3", "movie.h264", "movie.meta"}));
  EXPECT_EQ(ReadFile(O + "film.mpg"), "an earlier conversion");
  EXPECT_EQ(fx.form.strSubBrowse, "");  // the common end ran
}

TEST(RewriteH264Header, IniIsWrittenAfreshAndTheRawStreamGoes) {
  TempDir base, outDir;
  const std::string app = base / "Parvela Tools";
  std::filesystem::create_directories(app + "/h264info");
  const std::string O = outDir.path() + "/";
  WriteFile(app + "/h264info/h264info.ini", "[Paths]\r\nInputPath=old\r\nOutputPath=old\r\nStale=1\r\n");
  WriteFile(O + "movie_raw.h264", "raw");
  testing::RecordingRunner runner;
  RewriteH264Header(runner, app, O);
  RewriteH264Header(runner, app, O);
  ASSERT_EQ(runner.calls.size(), 2u);
  EXPECT_EQ(runner.calls[0].commandLine, Q(app + "/h264info/h264info.exe"));
  EXPECT_TRUE(runner.calls[0].hidden);
  EXPECT_EQ(ReadFile(app + "/h264info/h264info.ini"),
            "[Paths]\r\nInputPath=" + O + "movie_raw.h264\r\nOutputPath=" + O + "movie.h264\r\n");
  EXPECT_FALSE(FileIsPresent(O + "movie_raw.h264"));  // though the tool did nothing
}

}  // namespace
}  // namespace parvela
