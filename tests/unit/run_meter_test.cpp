// The whole run's progress: steps weighted by what they are expected to take, a step beside the
// others, what steps that ended teach the ones to come; and the plan of the split road.
#include <gtest/gtest.h>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "pipeline/plan.h"
#include "ui/run_meter.h"

namespace parvela {
namespace {

using Clock = RunMeter::Clock;
using std::chrono::seconds;

TEST(RunMeter, WeighsTheStepsRunsOneBesideAndLearnsFromThePiecesThatEnded) {
  const Clock::time_point t0 = Clock::time_point{} + seconds(100);
  RunMeter meter;
  meter.Start({{"Extracting video/audio stream", 10, false, "extract"},
               {"Encoding H264", 60, true, "h264"},
               {"Encoding Audio", 20, false, "aac"},
               {"Creating MP4", 10, false, "mux", true}},
              t0 + seconds(1));
  meter.OnText("progress......", t0 + seconds(1));  // begins no step
  EXPECT_EQ(meter.Permille(), 0);
  meter.OnText("Extracting video/audio stream", t0 + seconds(1));
  meter.OnStepShare(0.5, t0 + seconds(2));
  EXPECT_EQ(meter.Permille(), 50);  // 5 of 100 expected seconds
  EXPECT_EQ(meter.SecondsLeft(), std::nullopt);  // not settled yet
  meter.OnText("Encoding H264", t0 + seconds(3));
  meter.OnText("Encoding Audio", t0 + seconds(4));  // the extraction ended as the encode began: 2 s of its 10
  meter.OnBesideShare(0.1, t0 + seconds(10));
  meter.OnStepShare(0.5, t0 + seconds(10));
  // The encode beside tells its own pace: 10% in 7 s, so 70 s in all and 63 left; the muxer
  // waits for it. The audio (20 s, half done) is the quicker of the two.
  EXPECT_EQ(meter.SecondsLeft(), 63 + 2);  // the mux as the extraction taught: 0.2 of its 10
  EXPECT_EQ(meter.Text().substr(0, 11), "Whole run: ");
  meter.OnBesideEnded(t0 + seconds(70));
  meter.OnText("Creating MP4", t0 + seconds(71));
  EXPECT_GE(*meter.Permille(), 900);
  meter.Stop();
  EXPECT_FALSE(meter.Running());
  EXPECT_EQ(meter.Text(), "");

  // Two pieces of one kind: the first piece's real length is the second's expectation.
  meter.Start({{"Piece", 10, false, "piece"}, {"Piece", 10, false, "piece"}}, t0);
  meter.OnText("Piece", t0);
  meter.OnText("Piece", t0 + seconds(30));  // the first took 30 s
  EXPECT_EQ(meter.Permille(), 500);
  EXPECT_EQ(meter.SecondsLeft(), 30);
}

TEST(ConversionPlanTest, ASplitSourceRunsEachPieceOfItsRoadAndTheLineNamesThePieces) {
  testing::FormFixture fx;
  std::vector<std::string> progress;
  fx.ChooseH264Source(fx.homeDir / "big.mkv", fx.homeDir.path() + "/", "25.000", progress);
  fx.form.Check1.SetValue(1);
  SourceInfo& info = fx.app.sourceInfo;
  info.videoCodec = "V_MPEG4/ISO/AVC";
  info.audioTrackCount = 0;
  info.durationSeconds = 3600;
  const ConversionPlan plan = PlanConversion(fx.form, 9'000'000'000ull);
  ASSERT_TRUE(plan.convertible);
  EXPECT_EQ(plan.line, "H.264 25.000 fps \u2192 copied, level \u2192 4.1 \u00b7 no audio, the output is silent "
                       "\u00b7 MP4, split in pieces of 4190 MB");
  std::vector<std::string> texts;
  for (const RunStep& s : plan.steps) texts.push_back(s.text);
  const std::vector<std::string> piece = {"Performing Split file conversion", "Extracting video/audio stream",
                                          "Adjusting header", "Creating MP4", "Cleaning temporary files"};
  std::vector<std::string> expected = {"Splitting MKV"};
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), piece.begin(), piece.end());
  EXPECT_EQ(texts, expected);

  // Video that no tool decodes cannot be converted, and the line says so.
  info.videoKind.clear();
  info.videoCodec = "V_QUICKTIME";
  const ConversionPlan refused = PlanConversion(fx.form, 1000);
  EXPECT_FALSE(refused.convertible);
  EXPECT_EQ(refused.line, "V_QUICKTIME 25.000 fps \u2192 cannot be converted: no tool of Parvela decodes its video "
                          "(V_QUICKTIME)");
}

// A runner whose mencoder tells its position, as the real one does on its output.
class TalkingRunner : public testing::RecordingRunner {
 public:
  int RunAndWait(const std::string& commandLine) override {
    const int code = RecordingRunner::RunAndWait(commandLine);
    Talk(observer_, commandLine);
    return code;
  }
  void StartBeside(const std::string& commandLine) override {
    RecordingRunner::StartBeside(commandLine);
    Talk(besideObserver_, commandLine);
  }

 private:
  static void Talk(const OutputObserver& observer, const std::string& commandLine) {
    if (observer && commandLine.find("Mencoder.exe") != std::string::npos) {
      observer("Pos:  12.3s    296f (45%) 20.1fps Trem:   0min   0mb  A-V:0.000 [0:0]");
    }
  }
};

// The encode started beside the audio work moves the beside meter and the whole run's step.
TEST(BesideProgress, MencodersPositionReachesTheBesideMeterAndTheWholeRun) {
  testing::TempDir appDir, homeDir, films;
  TalkingRunner runner;
  testing::ScriptedHost host;
  testing::RecordingSleeper sleeper;
  Application app(appDir.path(), homeDir.path() + "/", runner, host, sleeper);
  Form1 form(app);
  const std::string source = films / "Film.mkv";
  testing::WriteFile(source, "x264 - core 164 - options: bitrate=2500");
  app.sourceInfo.videoKind = "avc";
  app.sourceInfo.audioTrackCount = 1;
  form.inspectedSource = source;
  form.txtFile.SetText(source);
  form.txtTMP.SetText(films.path() + "/");
  form.txtSFPS.SetText("25.000");
  form.Check1.SetValue(0);
  form.Option1.Select(0);
  form.cmdConv.SetListIndex(1);
  form.chkMP2.SetValue(1);
  int besidePermille = -1;
  std::string runText;
  form.besideMeter.Observe([&] {
    if (const std::optional<int> p = form.besideMeter.Permille()) besidePermille = std::max(besidePermille, *p);
    if (form.besideMeter.Running() && runText.empty()) runText = form.runMeter.Text();
  });
  std::string plan;
  form.onPlan = [&](const std::string& line) { plan = line; };
  form.Command2_Click();
  EXPECT_EQ(besidePermille, 450);
  EXPECT_EQ(runText.substr(0, 11), "Whole run: ");
  EXPECT_EQ(plan, "H.264 25.000 fps \u2192 re-encoded to H.264 (as asked) \u00b7 MP4");  // no track listed
  EXPECT_FALSE(form.besideMeter.Running());
  EXPECT_FALSE(form.runMeter.Running());  // the run has ended
  EXPECT_TRUE(form.Command2.Enabled());
}

}  // namespace
}  // namespace parvela
