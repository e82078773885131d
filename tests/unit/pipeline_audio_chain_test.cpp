// The audio conversion chain on its own, with the tools played by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"

namespace parvela {

// Runs the driver's set-up and then one stage, as a road would.
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

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;
using Road = ConversionProbe::Road;

class AudioChain : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) { return PlayTool(line); };
    A = fx.appDir.path();
    O = out.path() + "/";
    source = in.path() + "/film.mkv";
    WriteFile(source, "mkv");
    fx.app.sourceInfo.videoKind = "avc";
    fx.form.txtFile.SetText(source);
    fx.form.txtTMP.SetText(O);
    fx.form.txtS1.SetText("1");
    fx.form.txtS2.SetText("2");
    fx.form.Check1.SetValue(0);
  }
  int PlayTool(const std::string& line) {
    Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (tool == "mkvextract.exe") {
      for (size_t i = 3; i < a.size(); ++i) WriteFile(a[i].substr(a[i].find(':') + 1), extractedTrack);
    } else if (tool == "valdec.exe") {
      WriteFile(a[3], "wav");
    } else if (tool == "aften.exe") {
      WriteFile(a.back(), aftenOutput);
    } else {
      WriteFile(a.back(), "wav");  // FFmpeg
    }
    return 0;
  }
  bool Chain(int button, Road road = Road::Mpeg2) {
    fx.form.Option1.Select(button);
    return ConversionProbe::Chain(fx.form, road);
  }
  void ChooseSubtitleRow() {
    fx.app.sourceInfo.subtitleTracks[1] = {"eng", "ASS", "4"};
    for (const char* item : {"undefined", "eng"}) fx.form.cmbSubs.AddItem(item);
    fx.form.cmbSubs.SetListIndex(1);
    fx.form.chkSubs.SetValue(1);
  }
  std::string Q(const std::string& s) const { return "\"" + s + "\""; }
  std::string Extract() const { return Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source); }
  std::string Valdec(const std::string& input) const {
    return Q(A + "/ac3filter/valdec.exe") + " " + Q(O + input) + " -wav " + Q(O + "movie.wav") + " -spk:0 -fmt:0";
  }
  std::string Aften() const {
    return Q(A + "/aften/aften.exe") + " " + Q(O + "movie.wav") + " -b 640 " + Q(O + "movie.ac3");
  }
  Lines Remaining() const {
    Lines names;
    for (auto& e : std::filesystem::directory_iterator(out.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  FormFixture fx;
  TempDir in, out;
  std::string A, O, source;
  std::string extractedTrack = "track", aftenOutput = "ac3";
};

TEST_F(AudioChain, DtsIsDecodedByValdecAndEncodedAgainAt640) {
  EXPECT_TRUE(Chain(1));
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extract() + " 2:" + Q(O + "movie.dts") + " ", Valdec("movie.dts"), Aften()}));
  EXPECT_EQ(Remaining(), Lines{"movie.ac3"});
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>{100});
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(AudioChain, AacWithASubtitleRowExtractsBothAndDecodesWithFfmpeg) {
  ChooseSubtitleRow();
  EXPECT_TRUE(Chain(4));
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract() + " 2:" + Q(O + "movie.aac") + "  4:" + Q(O + "movie.ASS"),
                   Q(A + "/FFMpeg/FFmpeg.exe") + " -i " + Q(O + "movie.aac") + " -acodec pcm_s16le " +
                       Q(O + "movie.wav"),
                   Aften()}));
  EXPECT_EQ(fx.form.subtitleFormat, "ASS");
  EXPECT_EQ(Remaining(), (Lines{"movie.ASS", "movie.ac3"}));
}

TEST_F(AudioChain, SrtBesideTheSourceMeansNoTrackIsExtracted) {
  ChooseSubtitleRow();
  fx.form.lblSRTFound.SetVisible(true);
  EXPECT_TRUE(Chain(4));
  EXPECT_EQ(fx.runner.Lines()[0], Extract() + " 2:" + Q(O + "movie.aac") + " ");
  EXPECT_EQ(fx.form.subtitleArg, "");
}

TEST_F(AudioChain, Ac3TrackIsKeptForMpeg2AndReencodedForXvid) {
  EXPECT_TRUE(Chain(0));
  EXPECT_EQ(fx.runner.Lines(), Lines{Extract() + " 2:" + Q(O + "movie.ac3") + " "});
  EXPECT_EQ(ReadFile(O + "movie.ac3"), "track");

  fx.runner.calls.clear();
  EXPECT_TRUE(Chain(0, Road::Xvid));
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extract() + " 2:" + Q(O + "movie.ac3") + " ", Valdec("movie.ac3"), Aften()}));
  EXPECT_EQ(ReadFile(O + "movie.ac3"), "ac3");
  EXPECT_EQ(Remaining(), Lines{"movie.ac3"});
}

TEST_F(AudioChain, Mp3AndOggComeFromTheDecodingGraph) {
  for (int button : {3, 2}) {
    SCOPED_TRACE(button);
    fx.runner.calls.clear();
    WriteFile(O + "movie.wav", "wav");  // the graph's work: it has no filters here
    EXPECT_TRUE(Chain(button));
    EXPECT_EQ(fx.runner.Lines(), Lines{Aften()});
    EXPECT_EQ(Remaining(), (Lines{"movie.ac3", "movie.wav"}));
  }
  fx.runner.calls.clear();
  ChooseSubtitleRow();
  EXPECT_TRUE(Chain(3));
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extract() + "  4:" + Q(O + "movie.ASS"), Aften()}));
}

TEST_F(AudioChain, EmptyOrMissingAc3EndsTheRunWithTheAudioError) {
  struct Case {
    int button;
    std::string extracted, encoded;
  };
  for (const Case& c : std::vector<Case>{{1, "track", ""}, {0, "", "ac3"}, {3, "track", ""}}) {
    SCOPED_TRACE(c.button);
    fx.host.messages.clear();
    extractedTrack = c.extracted;
    aftenOutput = c.encoded;
    EXPECT_FALSE(Chain(c.button));
    ASSERT_EQ(fx.host.messages.size(), 1u);
    EXPECT_EQ(fx.host.messages[0].text, "Error during audio extraction. Temp files not deleted.");
    EXPECT_EQ(fx.host.messages[0].title, "Audio error");
    EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(fx.form.txtProgress.Text(), "Conversion error.");
    EXPECT_NE(fx.host.log.back(), "Topmost");  // no common end
  }
  std::filesystem::remove(O + "movie.ac3");
  aftenOutput = "ac3";
  fx.runner.onRun = [](const std::string&) { return -1; };  // no tool could start
  EXPECT_FALSE(Chain(1));
}

}  // namespace
}  // namespace parvela
