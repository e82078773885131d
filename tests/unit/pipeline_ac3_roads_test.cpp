// The audio chain to AC-3 and the transport-stream road, with the tools played by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "streams/streams.h"

namespace parvela {

// Runs the driver's set-up and then the chain alone, as a road would.
class ConversionProbe {
 public:
  using Road = Conversion::ChainRoad;
  static bool Chain(Form1& form, Road road) {
    Conversion c(form);
    c.SetUp();
    return c.ConvertAudioToAc3(road);
  }
};

namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;
using Road = ConversionProbe::Road;

std::string Q(const std::string& s) { return "\"" + s + "\""; }

class Ac3Roads : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) { return PlayTool(line); };
    std::filesystem::create_directories(A + "/h264info");
    WriteFile(source, "mkv");
    fx.ChooseH264Source(source, O, "23.976", progress);
  }
  int PlayTool(const std::string& line) {
    Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (tool == "mkvextract.exe") {
      for (size_t i = 3; i < a.size(); ++i) WriteFile(a[i].substr(a[i].find(':') + 1), extracted);
    } else if (tool == "h264info.exe") {
      std::filesystem::copy_file(O + "movie_raw.h264", O + "movie.h264");
    } else if (tool == "valdec.exe") {
      WriteFile(a[3], "wav");
    } else if (tool == "aften.exe") {
      WriteFile(a.back(), encoded);
    } else if (tool != "tsmuxer.exe" || muxerWorks) {
      WriteFile(a.back(), "out");  // FFmpeg, tsMuxeR
    }
    return 0;
  }
  bool Chain(int button, Road road = Road::Mpeg2) {
    fx.runner.calls.clear();
    fx.form.Option1.Select(button);
    return ConversionProbe::Chain(fx.form, road);
  }
  void ChooseSubtitleRow() {
    fx.app.sourceInfo.subtitleTracks[1] = {"eng", "ASS", "4"};
    for (const char* item : {"undefined", "eng"}) fx.form.cmbSubs.AddItem(item);
    fx.form.cmbSubs.SetListIndex(1);
    fx.form.chkSubs.SetValue(1);
  }
  void ConvertToTs(int button) {
    fx.runner.calls.clear();
    fx.sleeper.waits.clear();
    fx.form.chkVob.SetValue(1);
    fx.form.Option1.Select(button);
    fx.form.Command2_Click();
  }
  std::string Extract(const std::string& specs) const {
    return Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + specs;
  }
  std::string ExtractBoth(const std::string& ext) const {
    return Extract(" 1:" + Q(O + "movie_raw.h264") + " 2:" + Q(O + "movie." + ext));
  }
  std::string Valdec(const std::string& input, const std::string& options) const {
    return Q(A + "/ac3filter/valdec.exe") + " " + Q(O + input) + " -wav " + Q(O + "movie.wav") + options;
  }
  std::string FfmpegToPcm(const std::string& input) const {
    return Q(A + "/FFMpeg/FFmpeg.exe") + " -i " + Q(O + input) + " -acodec pcm_s16le " + Q(O + "movie.wav");
  }
  std::string Aften() const {
    return Q(A + "/aften/aften.exe") + " " + Q(O + "movie.wav") + " -b 640 " + Q(O + "movie.ac3");
  }
  std::string H264Info() const { return Q(A + "/h264info/h264info.exe"); }
  std::string TsMuxer() const {
    return Q(A + "/TS/tsmuxer.exe") + " " + Q(O + "movie.meta") + " " + Q(O + "film.m2ts");
  }
  Lines Remaining() const {
    Lines names;
    for (auto& e : std::filesystem::directory_iterator(out.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::FormFixture fx;
  TempDir in, out;
  const std::string A = fx.appDir.path(), O = out.path() + "/", source = in / "film.mkv";
  std::string extracted = "track", encoded = "ac3";
  bool muxerWorks = true;
  Lines progress;
};

TEST_F(Ac3Roads, ChainCommandLinesByFormat) {
  struct Case {
    int button;
    Road road;
    bool subtitles;
    Lines lines, left;
  };
  const std::string ass = "  4:" + Q(O + "movie.ASS");
  for (const Case& c : std::vector<Case>{
           {1, Road::Mpeg2, false,
            {Extract(" 2:" + Q(O + "movie.dts") + " "), Valdec("movie.dts", " -spk:0 -fmt:0"), Aften()}, {"movie.ac3"}},
           {4, Road::Mpeg2, true, {Extract(" 2:" + Q(O + "movie.aac") + ass), FfmpegToPcm("movie.aac"), Aften()},
            {"movie.ASS", "movie.ac3"}},
           {0, Road::Mpeg2, false, {Extract(" 2:" + Q(O + "movie.ac3") + " ")}, {"movie.ac3"}},
           {0, Road::Xvid, false,
            {Extract(" 2:" + Q(O + "movie.ac3") + " "), Valdec("movie.ac3", " -spk:0 -fmt:0"), Aften()}, {"movie.ac3"}},
           // Without a decoding graph (Vorbis on Linux) FFmpeg decodes the track; the WAV stays.
           {2, Road::Mpeg2, true,
            {Extract(ass), Extract(" 2:" + Q(O + "movie.ogg")), FfmpegToPcm("movie.ogg"), Aften()},
            {"movie.ASS", "movie.ac3", "movie.wav"}},
       }) {
    SCOPED_TRACE(c.lines.front());
    std::filesystem::remove_all(out.path());
    std::filesystem::create_directory(out.path());
    fx.form.chkSubs.SetValue(0);
    if (c.subtitles) ChooseSubtitleRow();
    fx.sleeper.waits.clear();
    EXPECT_TRUE(Chain(c.button, c.road));
    EXPECT_EQ(fx.runner.Lines(), c.lines);
    EXPECT_EQ(Remaining(), c.left);
    EXPECT_EQ(fx.sleeper.waits, std::vector<int>{100});
  }
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_EQ(ReadFile(O + "movie.ac3"), "ac3");
}

TEST_F(Ac3Roads, ChainTakesTheDecodingGraphsWavForMp3) {
  WriteFile(O + "movie.wav", "wav");  // the graph's work: it has no filters here
  EXPECT_TRUE(Chain(3));
  EXPECT_EQ(fx.runner.Lines(), Lines{Aften()});
}

TEST_F(Ac3Roads, EmptyOrMissingAc3EndsTheRunWithTheAudioError) {
  // An encoder leaving an empty file, an empty AC-3 track kept as it is, an MP3 without a WAV.
  for (auto [button, track, ac3] : std::vector<std::tuple<int, std::string, std::string>>{
           {1, "track", ""}, {0, "", "ac3"}, {3, "", ""}}) {
    SCOPED_TRACE(button);
    fx.host.messages.clear();
    extracted = track;
    encoded = ac3;
    EXPECT_FALSE(Chain(button));
    ASSERT_EQ(fx.host.messages.size(), 1u);
    EXPECT_EQ(fx.host.messages[0].text, "Error during audio extraction. Temp files not deleted.");
    EXPECT_EQ(fx.host.messages[0].title, "Audio error");
    EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(fx.form.txtProgress.Text(), "Conversion error.");
    EXPECT_NE(fx.host.log.back(), "Topmost");  // no common end
  }
}

TEST_F(Ac3Roads, TsRoadRewritesMuxesAndCleansUp) {
  // Every name of the clean-up list, and two it leaves alone.
  for (const char* n : {"movie.aac", "movie.avi", "movie_video.h264", "movie.srt", "movie.ssa", "movie.ass",
                        "movie.dts", "movie.mp3", "movie.ogg", "movie.wav", "movie.mp4"}) {
    WriteFile(O + n, "old");
  }
  fx.form.cmbSubs.SetVisible(true);
  ConvertToTs(0);
  EXPECT_EQ(fx.runner.Lines(), (Lines{ExtractBoth("ac3"), H264Info(), TsMuxer()}));
  EXPECT_TRUE(fx.runner.calls[1].hidden);
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Adjusting header", "Adjusting Header",
                             "Muxing MPEG PS", "Conversion done"}));
  EXPECT_EQ(ReadFile(A + "/debug.log"), ExtractBoth("ac3") + "\r\n" + TsMuxer() + "\r\n");
  EXPECT_EQ(Remaining(), (Lines{"film.mpg", "movie.mp4", "movie.wav"}));
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>{100});
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_FALSE(fx.form.cmbSubs.Visible());
  EXPECT_EQ(fx.host.log.back(), "Topmost");
}

TEST_F(Ac3Roads, TsRoadDecodesOtherFormatsWithoutTheChainsCheck) {
  for (auto [button, ext, decode] : std::vector<std::tuple<int, std::string, std::string>>{
           {1, "dts", Valdec("movie.dts", " -fmt:0")},
           {4, "aac", FfmpegToPcm("movie.aac")},
           {2, "ogg", FfmpegToPcm("movie.ogg")}}) {
    SCOPED_TRACE(ext);
    ConvertToTs(button);
    EXPECT_EQ(fx.runner.Lines(), (Lines{ExtractBoth(ext), H264Info(), decode, Aften(), TsMuxer()}));
    EXPECT_EQ(Remaining(), Lines{"film.mpg"});
    EXPECT_EQ(fx.sleeper.waits, std::vector<int>{100});  // the output test's pause only
  }
}

TEST_F(Ac3Roads, NoStreamFromTheMuxerIsReportedAndTheTempFilesStay) {
  WriteFile(O + "film.mpg", "an earlier conversion");
  WriteFile(O + "film.m2ts", "left by an interrupted run");
  muxerWorks = false;
  fx.form.strSubBrowse = "/subs/film.srt";
  ConvertToTs(0);
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "Error: " + O + "film.mpg was not created.");
  EXPECT_EQ(fx.host.messages[0].title, "info");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::None);
  EXPECT_EQ(progress.back(), "Conversion done");
  EXPECT_EQ(Remaining(), (Lines{"film.mpg", "movie.ac3", "movie.h264", "movie.meta"}));
  EXPECT_EQ(ReadFile(O + "movie.meta"), "V_MPEG4/ISO/AVC, " + Q(O + "movie.h264") + ", fps=23.976\r\nA_AC3, " +
                                            Q(O + "movie.ac3") + "\r\n");
  EXPECT_EQ(ReadFile(O + "film.mpg"), "an earlier conversion");
  EXPECT_EQ(fx.form.strSubBrowse, "");  // the common end ran
}

TEST(RewriteH264Header, IniIsWrittenAfreshAndTheRawStreamGoes) {
  TempDir base, outDir;
  const std::string app = base / "Parvela Tools", O = outDir.path() + "/";
  std::filesystem::create_directories(app + "/h264info");
  WriteFile(app + "/h264info/h264info.ini", "[Paths]\r\nInputPath=old\r\nOutputPath=old\r\nStale=1\r\n");
  WriteFile(O + "movie_raw.h264", "raw");
  testing::RecordingRunner runner;
  RewriteH264Header(runner, app, O);
  EXPECT_EQ(runner.Lines(), Lines{Q(app + "/h264info/h264info.exe")});
  EXPECT_TRUE(runner.calls[0].hidden);
  EXPECT_EQ(ReadFile(app + "/h264info/h264info.ini"),
            "[Paths]\r\nInputPath=" + O + "movie_raw.h264\r\nOutputPath=" + O + "movie.h264\r\n");
  EXPECT_FALSE(FileIsPresent(O + "movie_raw.h264"));  // though the tool did nothing
}

}  // namespace
}  // namespace parvela
