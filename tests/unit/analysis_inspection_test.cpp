// Source inspection: the two tool runs, the checker's verdict and the bounded report waits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <numeric>
#include <optional>

#include "analysis/analysis.h"
#include "pipeline/conversion.h"
#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::WriteFile;

std::string Report(const std::string& videoCodec) {
  return "+ Segment, size 52480\r\n"
         "|+ Segment tracks\r\n"
         "| + A track\r\n"
         "|  + Track number: 1 (track ID for mkvmerge & mkvextract: 0)\r\n"
         "|  + Track type: video\r\n"
         "|  + Codec ID: " +
         videoCodec +
         "\r\n"
         "|  + Default duration: 41.708ms (23.976 fps for a video track)\r\n"
         "|  + Video track\r\n"
         "|   + Pixel width: 1920\r\n"
         "|   + Pixel height: 1080\r\n"
         "|   + Display width: 1920\r\n"
         "| + A track\r\n"
         "|  + Track number: 2 (track ID for mkvmerge & mkvextract: 1)\r\n"
         "|  + Track type: audio\r\n"
         "|  + Codec ID: A_AC3\r\n"
         "|  + Language: eng\r\n";
}

const std::string kAvc = Report("V_MPEG4/ISO/AVC");
const std::string kFailed = "profile: High\r\nlevel: 5.1\r\ndpb check: [FAILED]\r\nsize check: [OK]\r\n";
const std::string kPassed = "profile: High\r\nlevel: 4.1\r\ndpb check: [OK]\r\n";
const std::string kNotPlayable =
    "This AVC file is not playable on PS3 or 360. Setting mpeg2 output to convert to playable format.";

class AnalysisInspectionTest : public ::testing::Test {
 protected:
  AnalysisInspectionTest() {
    fx.runner.onRun = [this](const std::string& line) {
      const std::optional<std::string>& report =
          line.starts_with("\"" + Mkvinfo()) ? mkvinfoReport : checkerReport;
      if (report) WriteFile(ReportPath(), *report);
      return 0;
    };
  }
  std::string App() const { return fx.appDir.path(); }
  std::string Mkvinfo() const { return App() + "/MKVToolnix/mkvinfo.exe"; }
  std::string Checker() const { return App() + "/Checker/x264_checker.exe"; }
  std::string ReportPath() const { return App() + "/info.txt"; }
  std::string Source() const { return fx.homeDir.path() + "/My Movie.mkv"; }
  std::string MkvinfoLine() const {
    return "\"" + Mkvinfo() + "\" \"" + Source() + "\" -o \"" + ReportPath() + "\"";
  }
  std::string CheckerLine() const {
    return "\"" + Checker() + "\" \"" + Source() + "\" \"" + ReportPath() + "\"";
  }
  int DoEventsCount() const {
    return static_cast<int>(std::count(fx.host.log.begin(), fx.host.log.end(), "DoEvents"));
  }

  FormFixture fx;
  Form1& f = fx.form;
  std::optional<std::string> mkvinfoReport = kAvc;
  std::optional<std::string> checkerReport = kPassed;
};

TEST_F(AnalysisInspectionTest, RunsMkvinfoThenTheCheckerWithExactCommandLines) {
  f.ReadInfo("  " + Source() + " ");
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine(), CheckerLine()}));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "avc");
  EXPECT_EQ(f.cmbAudio.Items(), (std::vector<std::string>{" eng"}));
  EXPECT_FALSE(FileIsPresent(ReportPath()));
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_TRUE(fx.sleeper.waits.empty());
}

TEST_F(AnalysisInspectionTest, FailedCheckInteractiveShowsTheNoticeOnceAndTicksRecode) {
  checkerReport = kFailed;
  f.ReadInfo(Source());
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, kNotPlayable);
  EXPECT_EQ(fx.host.messages[0].title, "");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::None);
  EXPECT_EQ(fx.host.messages[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(f.chkMP2.Value(), 1);
  // The handler ran: 25 FPS output is off limits, Embed subs available.
  EXPECT_FALSE(f.chk25.Enabled());
  EXPECT_TRUE(f.chkSubs.Enabled());
  // The whole checker report is logged, the lines after the failure too, then deleted.
  EXPECT_TRUE(EndsWith(ReadFile(fx.app.DebugLogPath()), kFailed));
  EXPECT_FALSE(FileIsPresent(ReportPath()));
}

TEST_F(AnalysisInspectionTest, FailedCheckInBatchCommandLineOrSplitTicksRecodeSilently) {
  for (int which = 0; which < 3; ++which) {
    FormFixture run;
    run.runner.onRun = [&](const std::string& line) {
      WriteFile(run.app.InfoReportPath(), Contains(line, "mkvinfo.exe") ? kAvc : kFailed);
      return 0;
    };
    run.app.bBatch = which == 0;
    run.app.bCmdLine = which == 1;
    run.form.bSplit = which == 2;
    run.form.ReadInfo(Source());
    EXPECT_TRUE(run.host.messages.empty()) << which;
    EXPECT_EQ(run.form.chkMP2.Value(), 1) << which;
    EXPECT_FALSE(run.form.chk25.Enabled()) << which;
  }
}

TEST_F(AnalysisInspectionTest, FailedCheckRunsTheRecodeHandlerWhenAlreadyTicked) {
  checkerReport = kFailed;
  f.chkMP2.SetValue(1);
  f.chk25.SetEnabled(true);
  f.chkSubs.SetEnabled(false);
  f.ReadInfo(Source());
  EXPECT_EQ(f.chkMP2.Value(), 1);
  EXPECT_FALSE(f.chk25.Enabled());
  EXPECT_TRUE(f.chkSubs.Enabled());
}

TEST_F(AnalysisInspectionTest, PassedCheckUnticksRecode) {
  f.chkMP2.SetValue(1);
  f.chkSubs.SetValue(1);
  f.ReadInfo(Source());
  EXPECT_EQ(f.chkMP2.Value(), 0);
  EXPECT_EQ(f.chkSubs.Value(), 0);
  EXPECT_FALSE(f.chkSubs.Enabled());
  EXPECT_TRUE(f.chk25.Enabled());

  // Unticked already: the handler still runs and enables what recoding had disabled.
  f.chkVob.SetEnabled(false);
  f.ReadInfo(Source());
  EXPECT_TRUE(f.chkVob.Enabled());
}

TEST_F(AnalysisInspectionTest, PassedCheckDuringASplitLeavesRecodeAlone) {
  f.bSplit = true;
  f.chkMP2.SetValue(1);
  f.chk25.SetEnabled(true);  // would be disabled again if the handler ran
  f.ReadInfo(Source());
  EXPECT_EQ(f.chkMP2.Value(), 1);
  EXPECT_TRUE(f.chk25.Enabled());
  EXPECT_EQ(fx.runner.calls.size(), 2u);
}

TEST_F(AnalysisInspectionTest, Vc1SourceDisablesOptionsAndRunsNoChecker) {
  mkvinfoReport = Report("V_MS/VC1") + "|  + CodecPrivate, length 40 (FourCC: WVC1)\r\n";
  f.ReadInfo(Source());
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine()}));
  EXPECT_FALSE(f.chkVob.Enabled());
  EXPECT_FALSE(f.chk25.Enabled());
  EXPECT_FALSE(f.chkFF.Enabled());
  EXPECT_TRUE(f.chkMP2.Enabled());
}

TEST_F(AnalysisInspectionTest, Mpeg2SourceRunsNoCheckerAndChangesNoOption) {
  mkvinfoReport = Report("V_MPEG2");
  f.chkMP2.SetValue(1);
  f.ReadInfo(Source());
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine()}));
  EXPECT_EQ(f.chkMP2.Value(), 1);
  EXPECT_TRUE(f.chkVob.Enabled());
  EXPECT_TRUE(f.chkFF.Enabled());
}

TEST_F(AnalysisInspectionTest, MissingMkvinfoReportIsReportedOnceAfterABoundedWait) {
  mkvinfoReport.reset();
  fx.app.sourceInfo.videoKind = "avc";  // from the previous source
  f.txtS1.SetText("4");
  f.ReadInfo(Source());
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text,
            "mkvinfo wrote no report (" + ReportPath() + "). Is " + Mkvinfo() + " installed?");
  EXPECT_EQ(fx.host.messages[0].title, "Inspection error");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "");
  EXPECT_EQ(f.txtS1.Text(), "4");
  EXPECT_EQ(fx.runner.calls.size(), 1u);
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>(60, 50));
  EXPECT_EQ(DoEventsCount(), 60);
}

TEST_F(AnalysisInspectionTest, LeftoverReportIsNotTakenForTheSources) {
  mkvinfoReport.reset();
  WriteFile(ReportPath(), Report("V_MPEG2"));
  f.ReadInfo(Source());
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "Inspection error");
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "");
}

TEST_F(AnalysisInspectionTest, ReportAppearingWhileWaitingIsRead) {
  mkvinfoReport.reset();
  fx.host.onDoEvents = [this] {
    if (DoEventsCount() == 3) WriteFile(ReportPath(), kAvc);
  };
  f.ReadInfo(Source());
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "avc");
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>(3, 50));
  EXPECT_TRUE(fx.host.messages.empty());
}

TEST_F(AnalysisInspectionTest, MissingCheckerReportCountsAsPassed) {
  checkerReport.reset();
  f.ReadInfo(Source());
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text,
            "x264_checker wrote no report (" + ReportPath() + "). Is " + Checker() + " installed?");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(f.chkMP2.Value(), 0);
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "avc");
  EXPECT_EQ(std::accumulate(fx.sleeper.waits.begin(), fx.sleeper.waits.end(), 0), 3000);
}

TEST_F(AnalysisInspectionTest, UnwritableDebugLogLeavesTheSourceUninspected) {
  std::filesystem::create_directory(fx.app.DebugLogPath());
  fx.app.sourceInfo.videoKind = "mpeg2";
  f.ReadInfo(Source());
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "The debug log (" + fx.app.DebugLogPath() + ") cannot be written.");
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "");
  EXPECT_EQ(fx.runner.calls.size(), 1u);
}

TEST_F(AnalysisInspectionTest, CheckerVerdictReadsToTheEndAndMatchesCase) {
  WriteFile(fx.app.DebugLogPath(), "before\r\n");
  WriteFile(ReportPath(), "dpb check: [failed]\nDPB CHECK: [FAILED]\n");
  EXPECT_TRUE(ReadCheckerVerdict(f));
  EXPECT_EQ(ReadFile(fx.app.DebugLogPath()), "before\r\ndpb check: [failed]\r\nDPB CHECK: [FAILED]\r\n");
  EXPECT_FALSE(FileIsPresent(ReportPath()));

  WriteFile(ReportPath(), "x dpb check: [FAILED] y\r\nlast\r\n");
  ::chmod(ReportPath().c_str(), 0444);
  EXPECT_FALSE(ReadCheckerVerdict(f));
  EXPECT_TRUE(EndsWith(ReadFile(fx.app.DebugLogPath()), "x dpb check: [FAILED] y\r\nlast\r\n"));
  EXPECT_TRUE(FileIsPresent(ReportPath()));  // read-only: stays
}

}  // namespace
}  // namespace parvela

namespace parvela {
namespace {

// No default duration: mkvextract writes the video track's timestamps, and the FPS box gets
// their average (repeated and unordered stamps counted once); without them, 30 fps stands in.
TEST_F(AnalysisInspectionTest, VariableFrameRateIsMeasuredFromTheTimestamps) {
  std::string vfr = kAvc;
  vfr.erase(vfr.find("|  + Default duration"), vfr.find("|  + Video track") - vfr.find("|  + Default duration"));
  mkvinfoReport = vfr;
  const std::string stamps = App() + "/timestamps.txt";
  std::string written = "# timestamp format v2\r\n0\r\n80\r\n40\r\n120\r\n200\r\n200\r\n";
  fx.runner.onRun = [&, inner = fx.runner.onRun](const std::string& line) {
    if (Contains(line, "mkvextract.exe")) return WriteFile(stamps, written), 0;
    return inner(line);
  };
  f.ReadInfo(Source());
  const std::string extract = "\"" + App() + "/MKVToolnix/mkvextract.exe\" timecodes_v2 \"" + Source() + "\" 1:\"" +
                              stamps + "\"";
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine(), extract, CheckerLine()}));
  EXPECT_EQ(f.txtSFPS.Text(), "20.000");  // four intervals over 200 ms
  EXPECT_EQ(f.cmbAudio.Items(), (std::vector<std::string>{" eng"}));
  EXPECT_FALSE(FileIsPresent(stamps));
  EXPECT_TRUE(Contains(ReadFile(fx.app.DebugLogPath()), "Variable frame rate on track 1: average 20.000 fps\r\n"));
  written = "# timestamp format v2\r\n";
  f.ReadInfo(Source());
  EXPECT_EQ(f.txtSFPS.Text(), "30.000");
}

// With ffprobe in the application folder, inspection asks FFmpeg about the source's first
// seconds, between mkvinfo and the checker: a picture it decodes makes a video the codec table
// has no row for convertible; a track it reads no sound from is marked, and named when chosen.
class ProbedInspectionTest : public AnalysisInspectionTest {
 protected:
  ProbedInspectionTest() {
    std::filesystem::create_directories(App() + "/FFMpeg");
    WriteFile(Ffprobe(), "");
    fx.runner.onRun = [this, inner = fx.runner.onRun](const std::string& line) {
      if (line.starts_with("\"" + Ffprobe())) return WriteFile(ProbeReport(), probeReport), 0;
      return inner(line);
    };
  }
  std::string Ffprobe() const { return App() + "/FFMpeg/ffprobe.exe"; }
  std::string ProbeReport() const { return fx.app.stateFolder + "/source_probe.json"; }
  std::string ProbeLine() const {
    return "\"" + Ffprobe() +
           "\" -v error -skip_frame nokey -read_intervals %+5 -print_format json -show_entries "
           "stream=index,codec_type,codec_name,channels,start_time:packet=stream_index,pts_time:"
           "frame=stream_index -o \"" +
           ProbeReport() + "\" \"file:" + Source() + "\"";
  }
  // Stream 0 video, stream 1 audio without a channel count; the entries given.
  static std::string Streams(const std::string& videoCodec, const std::string& entries) {
    return R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": ")" + videoCodec +
           R"("}, {"index": 1, "codec_type": "audio", "codec_name": "ac3", "channels": 0}],
              "packets_and_frames": [)" + entries + "]}";
  }
  std::string probeReport = Streams("h264", R"({"type": "packet", "stream_index": 0},
                                               {"type": "frame", "stream_index": 0},
                                               {"type": "packet", "stream_index": 1})");
};

TEST_F(ProbedInspectionTest, ProbeRunsBetweenMkvinfoAndTheCheckerAndMarksTheSoundFfmpegCannotDecode) {
  EXPECT_TRUE(f.ReadInfo(Source()));
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine(), ProbeLine(), CheckerLine()}));
  EXPECT_TRUE(fx.app.sourceInfo.ffmpegDecodesVideo);
  EXPECT_TRUE(fx.app.sourceInfo.audioTracks[0].undecodable);
  EXPECT_FALSE(FileIsPresent(ProbeReport()));
  EXPECT_EQ(UndecodableAudioText(fx.app.sourceInfo, 1, 0),
            "The audio track 1 (AC-3) cannot be decoded: FFmpeg finds no sound in it. The source has no other audio "
            "track; --audio none converts the picture alone. Nothing was converted.");
  fx.app.sourceInfo.audioTracks[1] = fx.app.sourceInfo.audioTracks[0];
  fx.app.sourceInfo.audioTracks[2].codecId = "A_DTS";
  fx.app.sourceInfo.audioTracks[3].codecId = "A_AAC";
  EXPECT_EQ(UndecodableAudioText(fx.app.sourceInfo, 4, 1),
            "The audio track 2 (AC-3) cannot be decoded: FFmpeg finds no sound in it. Choose another audio track "
            "(--audio N; 3 and 4 decode), or none (--audio none) for the picture alone. Nothing was converted.");
}

// A track of which FFmpeg read no packet is looked for in the whole file: holding no frame, it
// loses nothing, and the source is made as one without audio; holding frames, it stays refused.
TEST_F(ProbedInspectionTest, AudioTrackWithoutAFrameInTheWholeFileLeavesTheSoundOut) {
  probeReport = Streams("h264", R"({"type": "packet", "stream_index": 0}, {"type": "frame", "stream_index": 0})");
  const std::string stamps = App() + "/timestamps.txt";
  std::string written = "# timestamp format v2\r\n";
  fx.runner.onRun = [&, inner = fx.runner.onRun](const std::string& line) {
    if (Contains(line, "mkvextract.exe")) return WriteFile(stamps, written), 0;
    return inner(line);
  };
  EXPECT_TRUE(f.ReadInfo(Source()));
  const std::string extract = "\"" + App() + "/MKVToolnix/mkvextract.exe\" timecodes_v2 \"" + Source() + "\" 2:\"" +
                              stamps + "\"";
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine(), ProbeLine(), extract, CheckerLine()}));
  EXPECT_EQ(fx.app.sourceInfo.audioTrackCount, 0);
  EXPECT_TRUE(fx.app.sourceInfo.audioHoldsNoSound);
  EXPECT_EQ(f.txtS2.Text(), "");
  EXPECT_FALSE(FileIsPresent(stamps));

  written = "# timestamp format v2\r\n40\r\n";
  EXPECT_TRUE(f.ReadInfo(Source()));
  EXPECT_EQ(fx.app.sourceInfo.audioTrackCount, 1);
  EXPECT_FALSE(fx.app.sourceInfo.audioHoldsNoSound);
  EXPECT_TRUE(fx.app.sourceInfo.audioTracks[0].undecodable);
  EXPECT_EQ(f.txtS2.Text(), "2");
}

// A stream starts at its earliest packet (the pictures come out of order), or where ffprobe
// says it does when none of its packets was read.
TEST_F(ProbedInspectionTest, EachStreamStartsAtItsEarliestPacket) {
  probeReport = R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": "h264"},
                                {"index": 1, "codec_type": "audio", "codec_name": "ac3", "channels": 2,
                                 "start_time": "0.500000"}],
                    "packets_and_frames": [{"type": "packet", "stream_index": 0, "pts_time": "2.020000"},
                                           {"type": "packet", "stream_index": 0, "pts_time": "1.980000"},
                                           {"type": "frame", "stream_index": 0}]})";
  EXPECT_TRUE(f.ReadInfo(Source()));
  EXPECT_EQ(fx.app.sourceInfo.videoStart, std::optional<double>(1.98));
  EXPECT_EQ(fx.app.sourceInfo.audioTracks[0].start, std::optional<double>(0.5));
}

TEST_F(ProbedInspectionTest, VideoWithoutATableRowIsReencodedOnlyWhenFfmpegDecodesIt) {
  mkvinfoReport = Report("V_MS/VFW/FOURCC (FourCC: MP42)");
  f.ReadInfo(Source());
  EXPECT_EQ(fx.app.sourceInfo.videoCodec, "MP42");
  EXPECT_TRUE(VideoIsConvertible(fx.app.sourceInfo));
  EXPECT_EQ(f.chkMP2.Value(), 1);

  probeReport = Streams("unknown", R"({"type": "packet", "stream_index": 0})");
  f.chkMP2.SetValue(0);
  f.ReadInfo(Source());
  EXPECT_FALSE(VideoIsConvertible(fx.app.sourceInfo));
  EXPECT_EQ(f.chkMP2.Value(), 0);
  EXPECT_TRUE(fx.host.messages.empty());  // the refusal is the driver's, with its own message
}

TEST_F(ProbedInspectionTest, SourceWithoutAFrameOrWithoutVideoIsRefusedBeforeTheChecker) {
  probeReport = Streams("h264", "");
  EXPECT_FALSE(f.ReadInfo(Source()));
  EXPECT_EQ(fx.runner.Lines(), (std::vector<std::string>{MkvinfoLine(), ProbeLine()}));
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, Source() + " holds no picture: its video track has no frame (the file may end "
                                                 "after its header). Nothing can be converted.");
  EXPECT_EQ(fx.host.messages[0].title, "Inspection error");
  EXPECT_EQ(f.inspectionProblem, "holds no picture");
  EXPECT_TRUE(fx.app.sourceInfo.videoKind.empty());

  std::string audioOnly = kAvc;
  const size_t videoTrack = audioOnly.find("| + A track");
  audioOnly.erase(videoTrack, audioOnly.find("| + A track", videoTrack + 1) - videoTrack);
  mkvinfoReport = audioOnly;
  EXPECT_FALSE(f.ReadInfo(Source()));
  ASSERT_EQ(fx.host.messages.size(), 2u);
  EXPECT_EQ(fx.host.messages[1].text,
            Source() + " has no video track: there is no picture to convert. Nothing can be converted.");
}

}  // namespace
}  // namespace parvela
