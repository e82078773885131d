// What the window does around a run: a typed-over source is inspected before it is converted,
// Stop ends a run and removes only what it made, and a batch ends with its summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dshow/dshow.h"
#include "fake_graph.h"
#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const std::string kEbml("\x1A\x45\xDF\xA3 matroska", 13);

// An H.264 + AC-3 source at the frame rate its name starts with ("25 a.mkv" is 25 fps).
std::string Report(const std::string& fps) {
  return "+ Segment, size 52480\r\n|+ Segment tracks\r\n| + A track\r\n"
         "|  + Track number: 1 (track ID for mkvmerge & mkvextract: 0)\r\n|  + Track type: video\r\n"
         "|  + Codec ID: V_MPEG4/ISO/AVC\r\n|  + Default duration: 40.000ms (" + fps + " fps for a video track)\r\n"
         "|  + Video track\r\n|   + Pixel width: 1280\r\n|   + Pixel height: 720\r\n|   + Display width: 1280\r\n"
         "| + A track\r\n|  + Track number: 2 (track ID for mkvmerge & mkvextract: 1)\r\n"
         "|  + Track type: audio\r\n|  + Codec ID: A_AC3\r\n|  + Language: eng\r\n";
}

class RunControl : public ::testing::Test {
 protected:
  RunControl() {
    fx.runner.onRun = [this](const std::string& line) { return Play(line); };
    f.txtTMP.SetText(out.path() + "/");
    f.Check1.SetValue(0);
  }

  // Plays every tool: mkvinfo reports from the source's name, the others leave their files.
  int Play(const std::string& line) {
    const Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (duringTool && duringTool(tool)) return 143;
    if (tool == "mkvinfo.exe") {
      const std::string name = FileNamePart(a[1]);
      const bool matroska = ReadFile(a[1]).starts_with(kEbml.substr(0, 4));
      WriteFile(a[3], !matroska ? "Error: no EBML data in " + a[1] : Report(name.starts_with("25") ? "25.000" : "23.976"));
    } else if (tool == "x264_checker.exe") {
      WriteFile(a[2], "dpb check: [OK]\r\n");
    } else if (tool == "mkvextract.exe") {
      for (size_t i = 3; i < a.size(); ++i) WriteFile(a[i].substr(a[i].find(':') + 1), "track");
    } else if (tool == "valdec.exe") {
      WriteFile(a[3], "wav");
    } else if (tool == "MP4Box.exe") {
      WriteFile(a[a.size() - 3], "mp4");
    } else {
      WriteFile(a.back(), "out");
    }
    return 0;
  }

  Lines Remaining() const {
    Lines names;
    for (auto& e : std::filesystem::directory_iterator(out.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  FormFixture fx;
  Form1& f = fx.form;
  TempDir in, out;
  // Returns true to play a tool that was ended before it finished.
  std::function<bool(const std::string& tool)> duringTool;
};

TEST_F(RunControl, PathTypedOverTheChosenSourceIsInspectedBeforeItIsConverted) {
  const std::string a = in / "25 a.mkv", b = in / "b.mkv";
  WriteFile(a, kEbml);
  WriteFile(b, kEbml);
  fx.host.fileAnswers.push_back(a);
  f.Command1_Click();
  EXPECT_EQ(f.txtSFPS.Text(), "25.000");
  f.txtFile.SetText(b);
  fx.runner.calls.clear();
  f.Command2_Click();
  const Lines lines = fx.runner.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "\"" + fx.app.appFolder + "/MKVToolnix/mkvinfo.exe\" \"" + b + "\" -o \"" +
                          fx.app.appFolder + "/info.txt\"");
  EXPECT_EQ(f.txtSFPS.Text(), "23.976");
  EXPECT_NE(lines.back().find("movie.h264:fps=24000/1001"), std::string::npos) << lines.back();
  EXPECT_EQ(f.txtProgress.Text(), "Conversion done");
  // Converting the same source again needs no second inspection.
  fx.runner.calls.clear();
  f.Command2_Click();
  EXPECT_EQ(std::count_if(fx.runner.calls.begin(), fx.runner.calls.end(),
                          [](auto& c) { return c.commandLine.find("mkvinfo") != std::string::npos; }),
            0);
}

TEST_F(RunControl, StopEndsTheRunAndRemovesOnlyWhatItMade) {
  const std::string source = out / "movie.mkv";  // the source lies in the output folder, named like a temp file
  WriteFile(source, kEbml);
  WriteFile(out / "earlier.mp4", "an output of an earlier run");
  WriteFile(out / "movie.txt", "the user's own, untouched by the run");
  f.txtFile.SetText(source);
  ASSERT_TRUE(f.ReadInfo(source));
  bool stopShown = false;
  duringTool = [&](const std::string& tool) {
    if (tool != "FFmpeg.exe") return false;
    stopShown = f.cmdStop.Visible();
    WriteFile(out / "movie.aac", "half");
    f.cmdStop.Click();
    return true;
  };
  f.Command2_Click();
  EXPECT_TRUE(stopShown);
  EXPECT_FALSE(f.cmdStop.Visible());
  EXPECT_EQ(f.txtProgress.Text(), "Stopped; temporary files removed");
  EXPECT_EQ(Remaining(), (Lines{"earlier.mp4", "movie.mkv", "movie.txt"}));
  EXPECT_TRUE(fx.host.messages.empty());
  // MP4Box never ran: the run ended with the tool that was stopped.
  for (const auto& line : fx.runner.Lines()) EXPECT_EQ(line.find("MP4Box"), std::string::npos);
  EXPECT_FALSE(fx.app.stopRequested);

  // A run that fails on its own keeps its files, as before.
  duringTool = [](const std::string& tool) { return tool == "MP4Box.exe"; };
  f.Command2_Click();
  EXPECT_EQ(f.txtProgress.Text(), "Conversion Error");
  EXPECT_TRUE(FileIsPresent(out / "movie.h264"));
}

TEST_F(RunControl, BatchEndsWithItsSummaryAndStopCanEndTheRest) {
  for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) WriteFile(in / name, kEbml);
  WriteFile(in / "bad.mkv", "RIFF, not a film");
  WriteFile(out / "b.mp4", "converted before");
  std::string summary;
  f.onBatchFinished = [&](const std::string& text) { summary = text; };
  f.cmdlineFolder(in.path());
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, in / "bad.mkv" + " is not a Matroska file.");
  EXPECT_EQ(summary,
            "4 files: 2 converted, 1 skipped (already converted), 1 failed: bad.mkv \u2014 not a Matroska file");

  f.cmdlineFolder(in.path());  // everything is there now but bad.mkv
  for (const char* name : {"a.mp4", "c.mp4"}) EXPECT_TRUE(FileIsPresent(out / name));
  EXPECT_EQ(summary, "4 files: 0 converted, 3 skipped (already converted), 1 failed: bad.mkv \u2014 not a Matroska file");
  std::filesystem::remove(in / "bad.mkv");
  f.cmdlineFolder(in.path());
  EXPECT_EQ(summary, "3 files: all skipped (already converted)");

  // Stop during the first file, answering that the whole batch ends.
  for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) std::filesystem::remove(out / name);
  fx.host.answers.push_back(MsgAnswer::Yes);
  duringTool = [&](const std::string& tool) {
    if (tool != "FFmpeg.exe") return false;
    f.cmdStop.Click();
    return true;
  };
  f.cmdlineFolder(in.path());
  EXPECT_EQ(fx.host.messages.back().title, "Stop");
  EXPECT_EQ(summary, "3 files: 0 converted, 0 skipped (already converted), 1 failed: a.mkv \u2014 stopped; "
                     "batch stopped, 2 not started");
  EXPECT_FALSE(f.cmdStop.Visible());
  EXPECT_EQ(Remaining(), Lines{});
}

TEST_F(RunControl, FrameRateThatIsNoPositiveNumberIsRefusedBeforeAnyTool) {
  const std::string source = in / "film.mkv";
  WriteFile(source, kEbml);
  f.txtFile.SetText(source);
  ASSERT_TRUE(f.ReadInfo(source));
  for (const char* rate : {"", "abc", "0", "-25", "25 fps", "nan", "1e999"}) {
    fx.runner.calls.clear();
    fx.host.messages.clear();
    f.txtSFPS.SetText(rate);
    f.Command2_Click();
    EXPECT_TRUE(fx.runner.calls.empty()) << rate;
    ASSERT_EQ(fx.host.messages.size(), 1u) << rate;
    EXPECT_EQ(fx.host.messages[0].title, "FPS error");
    EXPECT_EQ(fx.host.messages[0].text, std::string("The frame rate in the \"FPS\" box, \"") + rate +
                                            "\", is not a positive number (for example 23.976 or 25). Nothing was "
                                            "converted.");
  }
  f.txtSFPS.SetText("29.97");
  f.Command2_Click();
  EXPECT_EQ(f.txtProgress.Text(), "Conversion done");
}

TEST(DecoderOptionsFile, ChoicesAreKeptBesideTheSettingsAndReadAtTheNextStart) {
  FormFixture first;
  testing::FakeGraphBackend graph;
  graph.host = &first.host;
  first.app.graph = &graph;
  first.host.onPropertyPages = [](dshow::DecoderSettings& s) {
    s.outputChannels = 2;
    s.dynamicRangeCompression = true;
    s.gainDb = -6;
  };
  first.form.Command3_Click();
  EXPECT_EQ(ReadFile(first.app.appFolder + "/decoder.conf"), "2\r\n1\r\n-6\r\n");
  EXPECT_FALSE(FileIsPresent(first.app.appFolder + "/parvela.conf"));  // its ten lines stay its own

  testing::FakeGraphBackend nextGraph;
  Application next(first.app.appFolder, first.app.homeFolder, first.runner, first.host, first.sleeper);
  next.graph = &nextGraph;
  Form1 form(next);
  form.LoadSettings();
  EXPECT_TRUE(nextGraph.decoderSettings == (dshow::DecoderSettings{2, true, -6}));
  // A file edited into nonsense leaves the defaults whole.
  WriteFile(first.app.appFolder + "/decoder.conf", "2\r\nyes\r\n-6\r\n");
  nextGraph.decoderSettings = {};
  form.LoadSettings();
  EXPECT_TRUE(nextGraph.decoderSettings == dshow::DecoderSettings{});
}

}  // namespace
}  // namespace parvela
