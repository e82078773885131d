#include <gtest/gtest.h>

#include "dshow/dshow.h"
#include "fake_graph.h"
#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "test_support.h"

namespace parvela {
namespace {

using testing::FakeFilterDef;
using testing::FakeGraphBackend;
using testing::FakePinDef;
using Lines = std::vector<std::string>;
using dshow::kPinInput;
using dshow::kPinOutput;

const std::string kWrapper = std::string("CreateWrapper ") + dshow::kClsidFileSinkWrapper + " " +
                             dshow::kIidFileSinkWrapper;

class DshowDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    app.graph = &graph;
    graph.host = &host;
    // One entry per poll that waits: the text shown and the sleeps done when events run.
    host.onDoEvents = [this] {
      shown.push_back(txtProgress.Text());
      sleepsAtEvents.push_back(sleeper.waits.size());
    };
  }
  void Decode() {
    DecodeAudioToWav(app, txtProgress, source, temp, "My Movie");
    // The read that finds the end lets no events run: take its text once the graph stopped.
    if (!graph.Entries("Stop").empty()) shown.push_back(txtProgress.Text());
  }
  bool WavWritten() const { return FileIsPresent(temp + "movie.wav"); }
  void ExpectSilentEnd() {
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(WavWritten());
    EXPECT_TRUE(graph.Entries("Stop").empty());
    EXPECT_EQ(graph.log.back(), "ReleaseGraph");
  }
  Lines Connected() const { return graph.Entries("Connect "); }

  testing::TempDir appDir, work;
  testing::RecordingRunner runner;
  testing::ScriptedHost host;
  testing::RecordingSleeper sleeper;
  Application app{appDir.path(), work.path() + "/", runner, host, sleeper};
  FakeGraphBackend graph;
  TextBox txtProgress;
  const std::string source = "/films/My Movie (2009).mkv";
  const std::string temp = work.path() + kSep;
  Lines shown;
  std::vector<size_t> sleepsAtEvents;
};

TEST_F(DshowDecode, BuildsRunsPollsAndStopsTheGraphInOrder) {
  graph.duration = 5400.4;
  graph.positions = {0, 1234.5, 5400.4};
  Decode();
  EXPECT_EQ(graph.log, (Lines{"CreateFilterGraph", "Filter AC3Filter", "Filter WAV Dest",
                              "Filter File writer", "AddSourceFilter " + source,
                              "Connect Source.Audio -> AC3Filter.In",
                              "Connect AC3Filter.Out -> WAV Dest.In",
                              "Connect WAV Dest.Out -> File writer.in", kWrapper,
                              "Attach File writer", "IsReady", "SetFileName " + temp + "movie.wav",
                              "Run", "Stop", "ReleaseWrapper", "ReleaseGraph"}));
  EXPECT_EQ(shown, (Lines{"Extracting 5400 seconds of Audio :0", "Extracting 5400 seconds of Audio :1234",
                          "Extracting 5400 seconds of Audio :5400"}));
  EXPECT_EQ(graph.positionReads, 3);
  EXPECT_TRUE(WavWritten());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowDecode, EachPollButTheLastSleepsOneSecondBeforeLettingEventsRun) {
  graph.duration = 3;
  graph.positions = {0, 1, 2, 3};
  Decode();
  EXPECT_EQ(sleeper.waits, (std::vector<int>{1000, 1000, 1000}));  // none after the end is seen
  EXPECT_EQ(sleepsAtEvents, (std::vector<size_t>{1, 2, 3}));
  EXPECT_EQ(shown.back(), "Extracting 3 seconds of Audio :3");
  EXPECT_TRUE(WavWritten());
}

TEST_F(DshowDecode, SecondsAreRoundedHalfToEven) {
  graph.duration = 3.5;
  graph.positions = {0.5, 1.5, 2.5, 2.51, 3.5};
  Decode();
  EXPECT_EQ(shown, (Lines{"Extracting 4 seconds of Audio :0", "Extracting 4 seconds of Audio :2",
                          "Extracting 4 seconds of Audio :2", "Extracting 4 seconds of Audio :3",
                          "Extracting 4 seconds of Audio :4"}));
}

TEST_F(DshowDecode, HalfSecondDurationRoundsDownToEven) {
  graph.duration = 2.5;
  graph.positions = {-0.5, 2.5};
  Decode();
  EXPECT_EQ(shown, (Lines{"Extracting 2 seconds of Audio :0", "Extracting 2 seconds of Audio :2"}));
  EXPECT_EQ(graph.Entries("Stop").size(), 1u);
}

TEST_F(DshowDecode, CounterTakesUpTo32767WholeSeconds) {
  graph.duration = 32767.4;
  graph.positions = {32767.4};
  Decode();
  EXPECT_EQ(shown, Lines{"Extracting 32767 seconds of Audio :32767"});
  EXPECT_TRUE(WavWritten());
}

TEST_F(DshowDecode, WholeSecondsBeyond32767EndSilently) {
  graph.duration = 32767.5;  // rounds to 32768
  graph.positions = {0, 10};
  Decode();
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(txtProgress.Text().empty());
  EXPECT_TRUE(sleeper.waits.empty());
  ExpectSilentEnd();
}

TEST_F(DshowDecode, ZeroDurationEndsSilentlyWithoutStopping) {
  graph.duration = 0;
  graph.positions = {0, 0};
  Decode();
  EXPECT_EQ(graph.positionReads, 1);
  EXPECT_TRUE(txtProgress.Text().empty());
  EXPECT_TRUE(sleeper.waits.empty());
  ExpectSilentEnd();
}

// A pipeline that stalls without an error would otherwise be polled for ever.
TEST_F(DshowDecode, PositionUnmovedForThirtyPollsStopsTheGraphAndDropsTheHalfWav) {
  graph.duration = 100;
  graph.positions = {0, 5};
  for (int i = 0; i < 40; ++i) graph.positions.push_back(5);
  Decode();
  EXPECT_EQ(graph.positionReads, 32);
  EXPECT_EQ(sleeper.waits, std::vector<int>(31, 1000));
  EXPECT_EQ(graph.Entries("Stop"), Lines{"Stop"});
  EXPECT_EQ(graph.log.back(), "ReleaseGraph");
  EXPECT_FALSE(WavWritten());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowDecode, UnreadablePositionEndsThePolling) {
  graph.duration = 10;
  graph.positions = {0, 1};  // the third read fails
  Decode();
  EXPECT_EQ(shown, (Lines{"Extracting 10 seconds of Audio :0", "Extracting 10 seconds of Audio :1"}));
  ExpectSilentEnd();
}

TEST_F(DshowDecode, EachMissingFilterEndsAtOnce) {
  for (const std::string name : {"AC3Filter", "WAV Dest", "File writer"}) {
    SCOPED_TRACE(name);
    FakeGraphBackend fresh;
    std::erase_if(fresh.registered, [&](const FakeFilterDef& f) { return f.name == name; });
    app.graph = &fresh;
    Decode();
    EXPECT_TRUE(fresh.Entries("AddSourceFilter").empty());
    EXPECT_TRUE(fresh.Entries("Run").empty());
    EXPECT_EQ(fresh.log.back(), "ReleaseGraph");
  }
  EXPECT_FALSE(WavWritten());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(txtProgress.Text().empty());
}

TEST_F(DshowDecode, FilterNamesAreComparedExactly) {
  graph.registered[0].name = "ac3filter";
  graph.registered.push_back({"AC3Filter ", {{"In", kPinInput}, {"Out", kPinOutput}}});
  Decode();
  EXPECT_EQ(graph.log, (Lines{"CreateFilterGraph", "ReleaseGraph"}));
  ExpectSilentEnd();
}

TEST_F(DshowDecode, OnlyTheFirstEntryOfANameIsTried) {
  graph.registered.insert(graph.registered.begin(),
                          FakeFilterDef{"WAV Dest", {{"In", kPinInput}, {"Out", kPinOutput}}, false});
  Decode();
  EXPECT_EQ(graph.log, (Lines{"CreateFilterGraph", "Filter AC3Filter", "Filter WAV Dest", "ReleaseGraph"}));
  ExpectSilentEnd();
}

TEST_F(DshowDecode, NoBackendMeansNoFilters) {
  app.graph = nullptr;
  Decode();
  EXPECT_TRUE(graph.log.empty());
  EXPECT_FALSE(WavWritten());
}

TEST_F(DshowDecode, SourceThatCannotBeOpenedEndsSilently) {
  graph.sourceOpens = false;
  Decode();
  EXPECT_TRUE(Connected().empty());
  ExpectSilentEnd();
}

TEST_F(DshowDecode, EachRefusedConnectionEndsAtOnce) {
  const std::vector<std::pair<std::string, Lines>> cases = {
      {"AC3Filter.In", {}},
      {"WAV Dest.In", {"Connect Source.Audio -> AC3Filter.In"}},
      {"File writer.in",
       {"Connect Source.Audio -> AC3Filter.In", "Connect AC3Filter.Out -> WAV Dest.In"}}};
  for (const auto& [refusing, connectedBefore] : cases) {
    SCOPED_TRACE(refusing);
    FakeGraphBackend fresh;
    fresh.refusingPins = {refusing};
    fresh.duration = 1;
    fresh.positions = {1};
    app.graph = &fresh;
    Decode();
    EXPECT_EQ(fresh.Entries("Connect "), connectedBefore);
    EXPECT_EQ(fresh.Entries("Refused ").size(), 1u);
    EXPECT_TRUE(fresh.Entries("CreateWrapper").empty());
    EXPECT_TRUE(fresh.Entries("Run").empty());
    EXPECT_EQ(fresh.log.back(), "ReleaseGraph");
  }
  EXPECT_FALSE(WavWritten());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowDecode, WithoutAnAudioOutputPinNothingIsConnected) {
  graph.sourcePins = {{"Video", kPinOutput}, {"audio", kPinOutput}, {"Audio 2", kPinOutput},
                      {"Audio", kPinInput}};
  graph.duration = 1;
  graph.positions = {1};
  Decode();
  EXPECT_TRUE(Connected().empty());
  EXPECT_TRUE(graph.Entries("Refused").empty());
  EXPECT_TRUE(graph.Entries("Run").empty());
  ExpectSilentEnd();
}

TEST_F(DshowDecode, OnlyTheFirstAudioOutputPinIsUsed) {
  graph.sourcePins = {{"Audio", kPinInput, "Audio(in)"},
                      {"Video", kPinOutput},
                      {"Audio", kPinOutput, "Audio(first)"},
                      {"Audio", kPinOutput, "Audio(second)"}};
  graph.duration = 1;
  graph.positions = {1};
  Decode();
  EXPECT_EQ(Connected().front(), "Connect Source.Audio(first) -> AC3Filter.In");
  EXPECT_TRUE(WavWritten());
}

TEST_F(DshowDecode, EachConnectionTakesTheFirstPinOfTheWantedDirection) {
  graph.registered[0].pins = {{"XForm Out", kPinOutput}, {"XForm In", kPinInput}, {"Spare In", kPinInput},
                              {"Spare Out", kPinOutput}};
  graph.registered[1].pins = {{"Out", kPinOutput}, {"In", kPinInput}};
  graph.registered[2].pins = {{"Monitor", kPinOutput}, {"in", kPinInput}, {"in 2", kPinInput}};
  graph.duration = 1;
  graph.positions = {1};
  Decode();
  EXPECT_EQ(Connected(), (Lines{"Connect Source.Audio -> AC3Filter.XForm In",
                                "Connect AC3Filter.XForm Out -> WAV Dest.In",
                                "Connect WAV Dest.Out -> File writer.in"}));
}

TEST_F(DshowDecode, UnregisteredWrapperEndsBeforeRunning) {
  graph.wrapperRegistered = false;
  graph.duration = 1;
  graph.positions = {1};
  Decode();
  EXPECT_EQ(graph.Entries("Connect ").size(), 3u);
  EXPECT_EQ(graph.log.back(), "ReleaseGraph");
  EXPECT_TRUE(graph.Entries("Run").empty());
  EXPECT_TRUE(graph.Entries("Attach").empty());
  ExpectSilentEnd();
}

TEST_F(DshowDecode, WrapperThatIsNotReadyGetsNoFileName) {
  graph.wrapperReady = false;
  graph.duration = 1;
  graph.positions = {1};
  Decode();
  EXPECT_TRUE(graph.Entries("SetFileName").empty());
  EXPECT_EQ(graph.Entries("Stop").size(), 1u);  // the graph still runs to its end
  EXPECT_FALSE(WavWritten());
}

TEST_F(DshowDecode, GraphThatDoesNotRunIsReleasedWithoutPolling) {
  graph.runs = false;
  graph.duration = 1;
  graph.positions = {1};
  Decode();
  EXPECT_EQ(graph.positionReads, 0);
  ExpectSilentEnd();
}

TEST(DshowDecoderOptions, OptionsButtonShowsTheDecoderPropertyPages) {
  testing::FormFixture f;
  FakeGraphBackend graph;
  graph.host = &f.host;
  f.app.graph = &graph;
  f.form.Command3_Click();
  EXPECT_EQ(graph.log, (Lines{"CreateFilterGraph", "Filter AC3Filter", kWrapper, "Attach AC3Filter",
                              "PropertyPages AC3Filter 0", "ReleaseWrapper", "ReleaseGraph"}));
  EXPECT_EQ(f.host.log, Lines{"PropertyPages AC3Filter"});
}

TEST(DshowDecoderOptions, NothingHappensWithoutTheDecoderOrTheWrapper) {
  testing::FormFixture f;
  FakeGraphBackend noDecoder;
  noDecoder.registered[0].name = "ac3filter";
  noDecoder.host = &f.host;
  f.app.graph = &noDecoder;
  ShowDecoderOptions(f.app);
  EXPECT_EQ(noDecoder.log, (Lines{"CreateFilterGraph", "ReleaseGraph"}));

  FakeGraphBackend noWrapper;
  noWrapper.wrapperRegistered = false;
  noWrapper.host = &f.host;
  f.app.graph = &noWrapper;
  ShowDecoderOptions(f.app);
  EXPECT_TRUE(noWrapper.Entries("PropertyPages").empty());

  f.app.graph = nullptr;
  ShowDecoderOptions(f.app);
  EXPECT_TRUE(f.host.log.empty());
}

}  // namespace
}  // namespace parvela
