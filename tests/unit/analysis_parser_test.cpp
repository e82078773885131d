// The mkvinfo report parser, fed classic reports written out line by line.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "analysis/analysis.h"
#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::WriteFile;
using Lines = std::vector<std::string>;

Lines Head() {
  return {"+ EBML head",
          "|+ Doc type: matroska",
          "+ Segment, size 52480",
          "|+ Segment information",
          "| + Timecode scale: 1000000",
          "|+ Segment tracks"};
}

Lines TrackStart(int number, const std::string& type, const std::string& codec) {
  return {"| + A track",
          "|  + Track number: " + std::to_string(number) +
              " (track ID for mkvmerge & mkvextract: " + std::to_string(number - 1) + ")",
          "|  + Track UID: 12345", "|  + Track type: " + type, "|  + Codec ID: " + codec};
}

Lines Video(int number, const std::string& codec, const std::string& width, const std::string& display,
            const std::string& fps = "23.976", const std::string& duration = "41.708ms") {
  Lines l = TrackStart(number, "video", codec);
  l.insert(l.end(), {"|  + Language: und",
                     "|  + Default duration: " + duration + " (" + fps + " fps for a video track)",
                     "|  + Video track", "|   + Pixel width: " + width, "|   + Pixel height: 1080",
                     "|   + Display width: " + display, "|   + Display height: 1080"});
  return l;
}

Lines Audio(int number, const std::string& codec, const std::string& language) {
  Lines l = TrackStart(number, "audio", codec);
  l.insert(l.end(), {"|  + Language: " + language, "|  + Audio track", "|   + Sampling frequency: 48000",
                     "|   + Channels: 6"});
  return l;
}

Lines Subtitle(int number, const std::string& codec, const std::string& language) {
  Lines l = TrackStart(number, "subtitles", codec);
  l.push_back("|  + Language: " + language);
  return l;
}

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::string Text(const Lines& lines, const std::string& eol = "\r\n") {
  std::string t;
  for (const auto& l : lines) t += l + eol;
  return t;
}

class AnalysisParserTest : public ::testing::Test {
 protected:
  void Parse(const Lines& report, const std::string& eol = "\r\n") {
    WriteFile(fx.app.InfoReportPath(), Text(report, eol));
    ASSERT_TRUE(ParseSourceReport(fx.form));
  }
  std::string Log() { return ReadFile(fx.app.DebugLogPath()); }
  const AudioTrackRow& AudioRow(int i) { return fx.app.sourceInfo.audioTracks[static_cast<size_t>(i)]; }
  const SubtitleTrackRow& SubRow(int i) { return fx.app.sourceInfo.subtitleTracks[static_cast<size_t>(i)]; }
  void ExpectAudioRow(int i, const std::string& language, const std::string& code,
                      const std::string& number) {
    EXPECT_EQ(AudioRow(i).language, language) << "row " << i;
    EXPECT_EQ(AudioRow(i).codecCode, code) << "row " << i;
    EXPECT_EQ(AudioRow(i).trackNumber, number) << "row " << i;
  }

  FormFixture fx;
  Form1& f = fx.form;
};

TEST_F(AnalysisParserTest, H264WithAc3AndDtsFillsRecordAndWindow) {
  f.txtS1.SetText("9");
  f.txtS2.SetText("9");
  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920", "25.000", "40.000ms"),
              Audio(2, "A_AC3", "eng"), Audio(3, "A_DTS", "ger")}));
  const SourceInfo& info = fx.app.sourceInfo;
  EXPECT_EQ(info.videoKind, "avc");
  EXPECT_FALSE(info.vfwVideo);
  EXPECT_EQ(info.parSuffix, "");
  EXPECT_EQ(f.txtS1.Text(), "1");
  EXPECT_EQ(f.txtSFPS.Text(), "25.000");
  // The DTS track was read last, but the window shows the first audio row.
  EXPECT_EQ(f.txtS2.Text(), "2");
  EXPECT_EQ(f.Option1.Selected(), 0);
  EXPECT_EQ(f.cmbAudio.Items(), (Lines{" eng", " ger"}));
  EXPECT_EQ(f.cmbAudio.ListIndex(), 0);
  EXPECT_FALSE(f.chkFF.Enabled());
  ExpectAudioRow(0, " eng", "0", "2");
  ExpectAudioRow(1, " ger", "1", "3");
  EXPECT_EQ(AudioRow(2).trackNumber, "");
  EXPECT_FALSE(f.cmbSubs.Visible());
  EXPECT_FALSE(f.chkSubs.Visible());
  EXPECT_FALSE(f.lblSubs.Visible());
  EXPECT_FALSE(FileIsPresent(fx.app.InfoReportPath()));
}

TEST_F(AnalysisParserTest, OnlyTheFirstVideoTrackIsRead) {
  Parse(Join({Head(), Audio(1, "A_AC3", "eng"), Video(2, "V_MPEG4/ISO/AVC", "1440", "1920"),
              Video(3, "V_MPEG4/ISO/AVC", "720", "1280", "50.000", "20.000ms"), Audio(4, "A_AAC", "fre")}));
  EXPECT_EQ(f.txtS1.Text(), "2");
  EXPECT_EQ(f.txtSFPS.Text(), "23.976");
  EXPECT_EQ(fx.app.sourceInfo.parSuffix, ":par=1920:1440");
  ExpectAudioRow(0, " eng", "0", "1");
  ExpectAudioRow(1, " fre", "4", "4");
  EXPECT_FALSE(f.chkFF.Enabled());
  EXPECT_NE(Log().find("Video found on track 2\r\n"), std::string::npos);
  EXPECT_EQ(Log().find("Video found on track 3"), std::string::npos);
}

TEST_F(AnalysisParserTest, PixelAspectSuffix) {
  struct Case {
    std::string width, display, suffix;
  } cases[] = {
      {"1440", "1920", ":par=1920:1440"},  // anamorphic
      {"1920", "1920", ""},
      {"1920", "1440", ""},  // shown narrower than stored
      {"abc", "1920", ""},   // not a number: nothing to compare
      {"720", "", ""},
  };
  for (const Case& c : cases) {
    fx.app.sourceInfo.parSuffix = "stale";
    Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", c.width, c.display)}));
    EXPECT_EQ(fx.app.sourceInfo.parSuffix, c.suffix) << c.width << " shown as " << c.display;
  }
}

TEST_F(AnalysisParserTest, DebugLogGetsReportAndFindingsAppendedWithCrLf) {
  WriteFile(fx.app.DebugLogPath(), "earlier run\r\n");
  const Lines report = Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1440", "1920"), Audio(2, "A_AC3", "eng")});
  Parse(report, "\n");  // a report with bare line feeds reads the same
  EXPECT_EQ(
      Log(),
      "earlier run\r\n" + Text(report) +
          "AVC mkv\r\n"
          "Video found on track 1\r\n"
          "Video info: Pixel resolution: 1440x 1080. Display resolution adaptation: :par=1920:1440\r\n");
}

TEST_F(AnalysisParserTest, VfwSourceSkipsTheTrackPasses) {
  f.txtS1.SetText("7");
  f.cmbAudio.AddItem("old");
  const Lines report =
      Join({Head(), Audio(1, "A_AC3", "eng"), Video(2, "V_MS/VFW/FOURCC (FourCC: WVC1)", "1440", "1920"),
            Subtitle(3, "S_TEXT/UTF8", "eng")});
  Parse(report);
  const SourceInfo& info = fx.app.sourceInfo;
  EXPECT_TRUE(info.vfwVideo);
  EXPECT_EQ(info.videoKind, "vc1");
  EXPECT_EQ(f.txtS1.Text(), "1");
  EXPECT_EQ(info.parSuffix, "");
  EXPECT_EQ(AudioRow(0).trackNumber, "");
  EXPECT_EQ(SubRow(0).trackNumber, "");
  EXPECT_TRUE(f.cmbAudio.Items().empty());
  EXPECT_EQ(f.txtS2.Text(), "");
  EXPECT_FALSE(f.cmbSubs.Visible());
  const std::string codecLine = "|  + Codec ID: V_MS/VFW/FOURCC (FourCC: WVC1)\r\n";
  EXPECT_NE(Log().find(codecLine + "Embedded VFW/FOURCC file in mkv\r\n"), std::string::npos);
  EXPECT_TRUE(EndsWith(Log(), Text({report.back(), "VC1 mkv"})));
}

TEST_F(AnalysisParserTest, Mpeg2SourceSkipsTheTrackPassesAndClearsTheTables) {
  fx.app.sourceInfo.audioTracks[0] = {" old", "1", "5"};
  fx.app.sourceInfo.parSuffix = ":par=1:2";
  f.txtS1.SetText("5");
  Parse(Join({Head(), Video(1, "V_MPEG2", "720", "1024"), Audio(2, "A_AC3", "eng")}));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "mpeg2");
  EXPECT_EQ(fx.app.sourceInfo.parSuffix, "");
  EXPECT_EQ(AudioRow(0).trackNumber, "");
  EXPECT_EQ(f.txtS1.Text(), "5");
  EXPECT_EQ(f.txtS2.Text(), "");
  EXPECT_TRUE(f.cmbAudio.Items().empty());
  EXPECT_NE(Log().find("mpeg2 mkv\r\n"), std::string::npos);
}

TEST_F(AnalysisParserTest, VideoKindPass) {
  Lines vc1 = Video(1, "V_MS/VC1", "1920", "1920");
  vc1.push_back("|  + CodecPrivate, length 40 (FourCC: WVC1)");
  Parse(Join({Head(), vc1, Video(2, "V_MPEG4/ISO/AVC", "1920", "1920")}));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "vc1");
  EXPECT_EQ(Log().find("AVC mkv"), std::string::npos);

  // Without VC-1 the last matching line decides.
  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920"), Video(2, "V_MPEG2", "720", "720")}));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "mpeg2");
  EXPECT_TRUE(EndsWith(Log(), "AVC mkv\r\nmpeg2 mkv\r\n"));

  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/HEVC", "1920", "1920"), Audio(2, "A_AC3", "eng")}));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "");
  EXPECT_EQ(f.txtS1.Text(), "1");
}

TEST_F(AnalysisParserTest, TextSubtitlesAreListedAndBitmapsAreNot) {
  f.chkSubs.SetValue(1);
  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920"), Audio(2, "A_AC3", "eng"),
              Subtitle(3, "S_TEXT/UTF8", "und"), Subtitle(4, "S_VOBSUB", "eng"),
              Subtitle(5, "S_TEXT/SSA", "fre"), Subtitle(6, "S_TEXT/ASS", "ger")}));
  EXPECT_EQ(SubRow(0).language, "undefined");
  EXPECT_EQ(SubRow(0).format, "srt");
  EXPECT_EQ(SubRow(0).trackNumber, "3");
  EXPECT_EQ(SubRow(1).language, "fre");
  EXPECT_EQ(SubRow(1).format, "SSA");
  EXPECT_EQ(SubRow(1).trackNumber, "5");
  EXPECT_EQ(SubRow(2).format, "ASS");
  EXPECT_EQ(SubRow(2).trackNumber, "6");
  EXPECT_EQ(SubRow(3).trackNumber, "");
  EXPECT_EQ(f.cmbSubs.Items(), (Lines{"undefined", "fre", "ger"}));
  EXPECT_EQ(f.cmbSubs.ListIndex(), 0);
  EXPECT_TRUE(f.cmbSubs.Visible());
  EXPECT_TRUE(f.chkSubs.Visible());
  EXPECT_EQ(f.chkSubs.Value(), 0);
  EXPECT_TRUE(f.lblSubs.Visible());
}

TEST_F(AnalysisParserTest, OnlyABitmapSubtitleHidesTheSubtitleControls) {
  f.cmbSubs.SetVisible(true);
  f.chkSubs.SetVisible(true);
  f.lblSubs.SetVisible(true);
  f.cmbSubs.AddItem("old");
  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920"), Subtitle(2, "S_VOBSUB", "und")}));
  EXPECT_EQ(SubRow(0).trackNumber, "");
  EXPECT_TRUE(f.cmbSubs.Items().empty());
  EXPECT_FALSE(f.cmbSubs.Visible());
  EXPECT_FALSE(f.chkSubs.Visible());
  EXPECT_FALSE(f.lblSubs.Visible());
}

TEST_F(AnalysisParserTest, MissingPropertyLineRunsIntoTheNextTrackWhichIsNotCounted) {
  Lines noLanguage = Audio(2, "A_AC3", "eng");
  noLanguage.erase(noLanguage.begin() + 5);  // the Language line
  ASSERT_EQ(noLanguage[5], "|  + Audio track");
  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920"), noLanguage, Audio(3, "A_DTS", "ger"),
              Audio(4, "A_AC3", "jpn")}));
  // Track 3's language was taken for track 2; track 3 itself (and its DTS line) was consumed.
  ExpectAudioRow(0, " ger", "0", "2");
  ExpectAudioRow(1, " jpn", "0", "3");
  EXPECT_EQ(AudioRow(2).trackNumber, "");
  EXPECT_TRUE(f.chkFF.Enabled());
}

// Ticked before inspection (or by --safe-sync), the box would have ffmpeg encode movie.aac
// into itself; the parse clears it as it disables it, and the box's rule frees the others.
TEST_F(AnalysisParserTest, SafeSyncTickedBeforeAnAacSourceIsCleared) {
  f.chkFF.SetValue(1);
  ASSERT_FALSE(f.chkMP2.Enabled());
  Parse(Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920"), Audio(2, "A_AAC", "eng")}));
  EXPECT_EQ(f.chkFF.Value(), 0);
  EXPECT_FALSE(f.chkFF.Enabled());
  EXPECT_TRUE(f.chkMP2.Enabled());
  EXPECT_TRUE(f.chkVob.Enabled());
}

// A format without a button gets no code (once it took the previous track's, and a FLAC track
// after an AAC one was extracted as AAC): it selects no button and disables "Safe Sync".
TEST_F(AnalysisParserTest, AudioFormatsWithoutAButtonSelectNone) {
  f.Option1.Select(3);
  Lines named = Audio(3, "A_EAC3", "fre");
  named.insert(named.begin() + 6, "|  + Name: Director's commentary");
  Parse(Join({Head(), Audio(1, "A_FLAC", "eng"), Audio(2, "A_AAC/MPEG4/LC", "ger"), named}));
  ExpectAudioRow(0, " eng", "", "1");
  ExpectAudioRow(1, " ger", "4", "2");
  ExpectAudioRow(2, " fre", "", "3");
  EXPECT_EQ(AudioRow(2).codecId, "A_EAC3");
  EXPECT_EQ(AudioRow(2).name, "Director's commentary");
  EXPECT_EQ(AudioRow(2).channels, 6);
  EXPECT_EQ(f.Option1.Selected(), -1);
  EXPECT_EQ(f.txtS2.Text(), "1");
  EXPECT_EQ(f.lblAudioInfo.Caption(), "FLAC 5.1");
  EXPECT_FALSE(f.chkFF.Enabled());
  f.cmbAudio.SetListIndex(1);
  EXPECT_EQ(f.Option1.Selected(), 4);
  f.cmbAudio.SetListIndex(2);
  EXPECT_EQ(f.Option1.Selected(), -1);
  EXPECT_EQ(f.txtS2.Text(), "3");
  EXPECT_EQ(f.lblAudioInfo.Caption(), "E-AC-3 5.1 \u00B7 Director's commentary");
}

// Variable frame rate: no default duration. The search for the rate stays within the track, so
// the audio after it is read; inspection measures the rate.
TEST_F(AnalysisParserTest, VideoWithoutDefaultDurationStillReadsTheTracksAfterIt) {
  Lines vfr = Video(1, "V_MPEG4/ISO/AVC", "1280", "1280");
  vfr.erase(vfr.begin() + 6);  // the default duration
  ASSERT_EQ(vfr[6], "|  + Video track");
  Parse(Join({Head(), vfr, Audio(2, "A_OPUS", "eng"), Audio(3, "A_AC3", "ger")}));
  EXPECT_TRUE(fx.app.sourceInfo.videoRateMissing);
  EXPECT_EQ(f.txtSFPS.Text(), "");
  EXPECT_EQ(f.txtS1.Text(), "1");
  ExpectAudioRow(0, " eng", "", "2");
  ExpectAudioRow(1, " ger", "0", "3");
  EXPECT_EQ(f.cmbAudio.ListCount(), 2);
}

TEST_F(AnalysisParserTest, RowsBeyondThirtyThreeAreDropped) {
  Lines report = Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920")});
  for (int n = 2; n <= 36; ++n) {
    const Lines a = Audio(n, n == 36 ? "A_DTS" : "A_AC3", "l" + std::to_string(n));
    report.insert(report.end(), a.begin(), a.end());
  }
  Parse(report);
  ASSERT_EQ(f.cmbAudio.ListCount(), kTrackRows);
  EXPECT_EQ(f.cmbAudio.Items().front(), " l2");
  EXPECT_EQ(f.cmbAudio.Items().back(), " l34");
  ExpectAudioRow(32, " l34", "0", "34");
  EXPECT_EQ(f.txtS2.Text(), "2");
  // A dropped track still had its codec tested.
  EXPECT_FALSE(f.chkFF.Enabled());
}

TEST_F(AnalysisParserTest, ShortAndTruncatedLinesDoNotDerailTheParse) {
  Lines report = Join({Head(),
                       {"", "|", "| + A track", "|  + Track type: video", "|(fps for a video track)",
                        "|   + Pixel width:", "|   + Pixel height: 576", "|   + Display width:"}});
  Parse(report);
  EXPECT_EQ(f.txtS1.Text(), "1");
  EXPECT_EQ(f.txtSFPS.Text(), "");
  EXPECT_EQ(fx.app.sourceInfo.parSuffix, "");
  EXPECT_TRUE(EndsWith(Log(), "Video info: Pixel resolution: 0x 576. Display resolution adaptation: \r\n"));

  // The report ends inside the video track: the pass ends, the window is still updated.
  f.txtS2.SetText("2");
  Parse(Join({Head(),
              {"| + A track", "|  + Track type: video",
               "|  + Default duration: 40.000ms (25.000 fps for a video track)", "|   + Pixel width: 720"}}));
  EXPECT_EQ(f.txtSFPS.Text(), "25.000");
  EXPECT_TRUE(EndsWith(Log(), "Video found on track 1\r\n"));
  EXPECT_EQ(f.txtS2.Text(), "");
}

TEST_F(AnalysisParserTest, EmptyReportEmptiesTheTrackFields) {
  f.cmbAudio.AddItem(" old");
  f.cmbSubs.SetVisible(true);
  fx.app.sourceInfo.videoKind = "avc";
  Parse({});
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "");
  EXPECT_TRUE(f.cmbAudio.Items().empty());
  EXPECT_EQ(f.txtS2.Text(), "");
  EXPECT_FALSE(f.cmbSubs.Visible());
  EXPECT_FALSE(FileIsPresent(fx.app.InfoReportPath()));
}

TEST_F(AnalysisParserTest, ReadOnlyReportStays) {
  const Lines report = Join({Head(), Video(1, "V_MPEG4/ISO/AVC", "1920", "1920")});
  WriteFile(fx.app.InfoReportPath(), Text(report));
  ::chmod(fx.app.InfoReportPath().c_str(), 0444);
  ASSERT_TRUE(ParseSourceReport(f));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "avc");
  EXPECT_EQ(ReadFile(fx.app.InfoReportPath()), Text(report));
}

TEST_F(AnalysisParserTest, UnwritableDebugLogStopsTheParse) {
  std::filesystem::create_directory(fx.app.DebugLogPath());
  fx.app.sourceInfo.videoKind = "mpeg2";
  f.txtS1.SetText("4");
  WriteFile(fx.app.InfoReportPath(), Text(Join({Head(), Video(2, "V_MPEG4/ISO/AVC", "1920", "1920")})));
  EXPECT_FALSE(ParseSourceReport(f));
  EXPECT_EQ(fx.app.sourceInfo.videoKind, "mpeg2");
  EXPECT_EQ(f.txtS1.Text(), "4");
  EXPECT_TRUE(FileIsPresent(fx.app.InfoReportPath()));
}

}  // namespace
}  // namespace parvela
