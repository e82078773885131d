// The MP4 road, command line by command line, with the tools played by the test.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "pipeline/pipeline.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const std::string kSpsLevel51("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9);

// Plays each tool: writes the files its command line asks for, unless told to fail.
class ToolPlayer {
 public:
  std::set<std::string> failing;  // program file names that leave nothing

  int operator()(const std::string& line) {
    Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (failing.count(tool)) return 1;
    auto after = [&](const std::string& opt) {
      for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == opt) return a[i + 1];
      return std::string();
    };
    if (tool == "mkvextract.exe") {
      for (size_t i = 3; i < a.size(); ++i) {
        const std::string path = a[i].substr(a[i].find(':') + 1);
        WriteFile(path, EndsWith(path, ".h264") ? kSpsLevel51 + "video" : "track");
      }
    } else if (tool == "MP4Box.exe") {
      if (after("-aviraw") == "video") {
        WriteFile(FolderPart(a.back()) + "movie_video.h264", kSpsLevel51);
      } else {
        WriteFile(a[a.size() - 3], "mp4");
      }
    } else if (tool == "valdec.exe") {
      WriteFile(after("-wav"), "wav");
    } else if (tool == "faad.exe") {
      WriteFile(after("-o"), "wav");
    } else if (tool == "BeSweet.exe") {
      WriteFile(after("-output"), "wav");
    } else if (tool == "soundstretch.exe") {
      WriteFile(a[2], "wav");
    } else if (tool.rfind("neroAacEnc", 0) == 0) {
      WriteFile(after("-of"), "mp4 with audio");
    } else {
      WriteFile(a.back(), "out");  // FFmpeg
    }
    return 0;
  }
};

class Mp4Road : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) { return player(line); };
    A = fx.appDir.path();
    O = out.path() + "/";
    source = in.path() + "/film.mkv";
    WriteFile(source, "mkv");
    fx.form.Option1.Select(0);
    fx.ChooseH264Source(source, O, "23.976", progress);
  }
  // The decoding graph has no filters here: a movie.wav written beforehand stands for its work.
  void GraphWritesWav() { WriteFile(O + "movie.wav", "wav"); }
  void Convert() {
    fx.form.Command2_Click();
  }
  std::string Q(const std::string& s) const { return "\"" + s + "\""; }
  std::string Extract(const std::string& specs) const {
    return Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + " " + specs;
  }
  std::string FfmpegFromWav() const {
    return Q(A + "/FFMpeg/FFmpeg.exe") + " -f wav -i " + Q(O + "movie.wav") + " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb " +
           Q(O + "movie.aac");
  }
  std::string TwoTrack(const std::string& fps, const std::string& par = "", const std::string& name = "film.mp4") {
    return Q(A + "/MP4Box/MP4Box.exe") + " -add " + Q(O + "movie.aac") + " -add " +
           Q(O + "movie.h264:fps=" + fps + par) + " " + Q(O + name) + " -tmp " + Q(out.path());
  }
  std::vector<std::string> Remaining() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(out.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  FormFixture fx;
  ToolPlayer player;
  TempDir in, out;
  std::string A, O, source;
  Lines progress;
};

// The video comes out beside the audio work, which reads the source itself; the level patch
// and the muxer wait for it, the progress texts keep their order.
TEST_F(Mp4Road, VideoIsExtractedBesideTheAudioAndPatchedBeforeMuxing) {
  GraphWritesWav();
  std::vector<std::string> levelWhenRun;
  fx.runner.onRun = [&](const std::string& line) {
    const int code = player(line);
    const std::string video = ReadFile(O + "movie.h264");
    levelWhenRun.push_back(video.size() > 7 ? std::to_string(static_cast<unsigned char>(video[7])) : "none");
    return code;
  };
  Convert();
  const std::string extract = Extract("1:" + Q(O + "movie.h264"));
  EXPECT_EQ(fx.runner.events, (Lines{"beside " + extract, "run " + FfmpegFromWav(), "wait beside",
                                     "run " + TwoTrack("24000/1001")}));
  // 0x33 is level 5.1 as extracted, 0x29 level 4.1: patched only once the extraction has ended.
  EXPECT_EQ(levelWhenRun, (Lines{"51", "51", "41"}));
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Adjusting header", "Encoding Audio", "Creating MP4",
                             "Cleaning temporary files", "Conversion done"}));
  EXPECT_EQ(Remaining(), Lines{"film.mp4"});
}

TEST_F(Mp4Road, DefaultAc3SourceThroughTheGraph) {
  GraphWritesWav();
  Convert();
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extract("1:" + Q(O + "movie.h264")), FfmpegFromWav(), TwoTrack("24000/1001")}));
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Adjusting header", "Encoding Audio", "Creating MP4",
                             "Cleaning temporary files", "Conversion done"}));
  EXPECT_EQ(Remaining(), Lines{"film.mp4"});
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>{1000});
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_EQ(fx.host.log.front(), "NotTopmost");
  EXPECT_EQ(fx.host.log.back(), "Topmost");
  // The extraction line is logged before the header stage, the MP4Box line after muxing.
  EXPECT_EQ(ReadFile(A + "/debug.log"),
            Extract("1:" + Q(O + "movie.h264")) + "\r\n" + TwoTrack("24000/1001") + "\r\n");
}

// Raw H.264 and the extracted sound both start at zero: the track that starts later in the
// source gets MP4Box's start delay, the other none.
TEST_F(Mp4Road, TheLaterTrackKeepsItsStartThroughMp4BoxDelay) {
  GraphWritesWav();
  fx.app.sourceInfo.audioTracks[0].trackNumber = "3";  // another track than the one converted
  fx.app.sourceInfo.audioTracks[0].start = 1.98;
  fx.app.sourceInfo.audioTracks[1].trackNumber = "2";
  fx.app.sourceInfo.videoStart = 1.98;
  fx.app.sourceInfo.audioTracks[1].start = 0.0;
  Convert();
  EXPECT_EQ(fx.runner.Lines().back(), TwoTrack("24000/1001:delay=1980"));

  fx.runner.events.clear();
  fx.app.sourceInfo.videoStart = 0.0;
  fx.app.sourceInfo.audioTracks[1].start = 0.12;
  GraphWritesWav();
  Convert();
  EXPECT_EQ(fx.runner.Lines().back(), Q(A + "/MP4Box/MP4Box.exe") + " -add " + Q(O + "movie.aac:delay=120") + " -add " +
                                          Q(O + "movie.h264:fps=24000/1001") + " " + Q(O + "film.mp4") + " -tmp " +
                                          Q(out.path()));

  // Within a frame, or an encoder's priming before zero: no delay.
  for (double start : {0.03, -0.046}) {
    fx.runner.events.clear();
    fx.app.sourceInfo.audioTracks[1].start = start;
    GraphWritesWav();
    Convert();
    EXPECT_EQ(fx.runner.Lines().back(), TwoTrack("24000/1001")) << start;
  }
}

// A fresh installation keeps "no target" (line 9: "-1 ") until "MPEG2 Recode" is ticked.
TEST_F(Mp4Road, SettingsKeepNoTargetUntilRecodeIsTicked) {
  GraphWritesWav();
  ASSERT_EQ(fx.form.cmdConv.ListIndex(), -1);
  Convert();
  auto line9 = [&] {
    Lines lines;
    EXPECT_TRUE(ReadTextLines(A + "/parvela.conf", lines));
    return lines.size() > 8 ? lines[8] : std::string("(none)");
  };
  EXPECT_EQ(fx.form.cmdConv.ListIndex(), -1);
  EXPECT_EQ(line9(), "-1 ");
  fx.form.chkMP2.SetValue(1);
  Convert();
  EXPECT_EQ(fx.form.cmdConv.ListIndex(), 0);
  EXPECT_EQ(line9(), " 0 ");
}

TEST_F(Mp4Road, LevelByteOfTheExtractedStreamIsPatched) {
  GraphWritesWav();
  player.failing = {"MP4Box.exe"};
  Convert();
  const std::string h264 = ReadFile(O + "movie.h264");
  ASSERT_EQ(h264.size(), kSpsLevel51.size() + 5);
  EXPECT_EQ(static_cast<unsigned char>(h264[7]), 0x29);
  EXPECT_EQ(h264.substr(8), kSpsLevel51.substr(8) + "video");
}

TEST_F(Mp4Road, BackupDecodersByFormatWhenTheGraphWritesNothing) {
  struct Case {
    int button;
    std::string ext, decoder;
  };
  const std::string valdecTail = " -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8 ";
  for (const Case& c : std::vector<Case>{
           {0, "ac3", "\"" + A + "/ac3filter/valdec.exe\" \"" + O + "movie.ac3\" -wav \"" + O + "movie.wav\"" + valdecTail},
           {1, "dts", "\"" + A + "/ac3filter/valdec.exe\" \"" + O + "movie.dts\" -wav \"" + O + "movie.wav\"" + valdecTail},
           {4, "aac", "\"" + A + "/ffmpeg/faad.exe\" -d \"" + O + "movie.aac\" -o \"" + O + "movie.wav\""},
           {3, "mp3", "\"" + A + "/FFMpeg/FFmpeg.exe\" -i \"" + O + "movie.mp3\" -acodec pcm_s16le \"" + O + "movie.wav\""},
       }) {
    SCOPED_TRACE(c.ext);
    fx.runner.calls.clear();
    progress.clear();
    fx.form.Option1.Select(c.button);
    Convert();
    ASSERT_EQ(fx.runner.calls.size(), 5u);
    EXPECT_EQ(fx.runner.Lines()[1], Extract("2:" + Q(O + "movie." + c.ext)));
    EXPECT_EQ(fx.runner.Lines()[2], c.decoder);
    EXPECT_EQ(fx.runner.Lines()[3], FfmpegFromWav());
    EXPECT_EQ(progress[2], "Extracting audio with backup method.");
    EXPECT_EQ(Remaining(), Lines{"film.mp4"});
  }
}

TEST_F(Mp4Road, OggTravelsWithTheVideoAndIsEncodedByFfmpegDirectly) {
  fx.form.Option1.Select(2);
  Convert();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract("1:" + Q(O + "movie.h264") + " 2:" + Q(O + "movie.ogg")),
                   Q(A + "/FFMpeg/FFmpeg.exe") + " -f ogg -i " + Q(O + "movie.ogg") +
                       " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb " + Q(O + "movie.aac"),
                   TwoTrack("24000/1001")}));
  EXPECT_EQ(std::count(progress.begin(), progress.end(), "Extracting audio with backup method."), 0);
}

TEST_F(Mp4Road, SafeSyncSkipsTheGraphEvenWithAnEncoderPresent) {
  WriteFile(A + "/neroAacEnc.exe", "x");
  fx.form.chkFF.SetValue(1);
  Convert();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract("1:" + Q(O + "movie.h264") + " 2:" + Q(O + "movie.ac3")),
                   Q(A + "/FFMpeg/FFmpeg.exe") + " -f ac3 -i " + Q(O + "movie.ac3") +
                       " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb " + Q(O + "movie.aac"),
                   TwoTrack("24000/1001")}));
}

TEST_F(Mp4Road, TwentyFiveFpsFrom23976RetimesTheAudio) {
  GraphWritesWav();
  fx.form.chk25.SetValue(1);
  Convert();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract("1:" + Q(O + "movie.h264")),
                   Q(A + "/Sounds/soundstretch.exe") + " " + Q(O + "movie.wav") + " " + Q(O + "movie2.wav") + " -pitch=-1 ",
                   Q(A + "/besweet/BeSweet.exe") + " -core( -input " + Q(O + "movie2.wav") + " -2ch -output " +
                       Q(O + "movie.wav") + " ) -ota( -r 23976 25000 ) ",
                   FfmpegFromWav(), TwoTrack("25.000")}));
  EXPECT_EQ(Remaining(), Lines{"film.mp4"});
}

TEST_F(Mp4Road, TwentyFiveFpsFrom25NeedsNoRetiming) {
  GraphWritesWav();
  fx.form.chk25.SetValue(1);
  fx.form.txtSFPS.SetText("25.000");
  Convert();
  EXPECT_EQ(fx.runner.Lines(), (Lines{Extract("1:" + Q(O + "movie.h264")), FfmpegFromWav(), TwoTrack("25")}));
}

TEST_F(Mp4Road, EncoderInTheAppFolderWritesTheOutputAndMp4BoxAddsVideo) {
  GraphWritesWav();
  WriteFile(A + "/neroAacEnc_SSE.exe", "x");
  fx.app.sourceInfo.parSuffix = ":par=1920:1440";
  Convert();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract("1:" + Q(O + "movie.h264")),
                   Q(A + "/neroAacEnc_SSE.exe") + " -lc -br 256000 -if " + Q(O + "movie.wav") + " -of  " +
                       Q(O + "film.mp4"),
                   Q(A + "/MP4Box/MP4Box.exe") + "  -fps 24000/1001 -add " + Q(O + "movie.h264:par=1920:1440") + " " +
                       Q(O + "film.mp4") + " -tmp " + Q(out.path())}));
  EXPECT_TRUE(fx.form.neroFound);
}

TEST_F(Mp4Road, FirstEncoderFoundWins) {
  GraphWritesWav();
  for (const char* n : {"neroAacEnc_SSE.exe", "neroAacEnc.exe", "neroAacEnc_SSE2.exe"}) WriteFile(A + "/" + n, "x");
  Convert();
  EXPECT_EQ(fx.form.neroPath, A + "/neroAacEnc_SSE2.exe");
}

TEST_F(Mp4Road, VfwVideoIsUnwrappedPatchedAndMuxedInItsOwnForm) {
  GraphWritesWav();
  fx.app.sourceInfo.vfwVideo = true;
  Convert();
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract("1:" + Q(O + "movie.avi")),
                   Q(A + "/MP4Box/MP4Box.exe") + " -aviraw video " + Q(O + "movie.avi"), FfmpegFromWav(),
                   Q(A + "/MP4Box/MP4Box.exe") + " -fps 24000/1001 -add " + Q(O + "movie_video.h264") + " " +
                       Q(O + "film.mp4") + " -tmp " + Q(out.path())}));
}

TEST_F(Mp4Road, AnamorphicSourceCarriesItsPixelAspect) {
  GraphWritesWav();
  fx.app.sourceInfo.parSuffix = ":par=1920:1440";
  Convert();
  EXPECT_EQ(fx.runner.Lines().back(), TwoTrack("24000/1001", ":par=1920:1440"));
}

TEST_F(Mp4Road, DottedSourceNameGivesUnderscoredOutput) {
  GraphWritesWav();
  source = in.path() + "/my.movie.mkv";
  WriteFile(source, "mkv");
  fx.form.txtFile.SetText(source);
  Convert();
  EXPECT_EQ(fx.runner.Lines().back(), TwoTrack("24000/1001", "", "my_movie.mp4"));
  EXPECT_EQ(fx.form.baseName, "my.movie");
  EXPECT_EQ(fx.form.strMKVPath, in.path() + "/");
  EXPECT_EQ(Remaining(), Lines{"my_movie.mp4"});
}

TEST_F(Mp4Road, OutputFolderGetsItsSeparatorInTheWindow) {
  GraphWritesWav();
  fx.form.txtTMP.SetText(out.path());
  Convert();
  EXPECT_EQ(fx.form.txtTMP.Text(), O);
  EXPECT_EQ(fx.runner.Lines().back(), TwoTrack("24000/1001"));
}

TEST_F(Mp4Road, AnEarlierOutputIsReplacedNotAppendedTo) {
  GraphWritesWav();
  WriteFile(O + "film.mp4", "old conversion");
  player.failing = {"MP4Box.exe"};
  Convert();
  EXPECT_FALSE(FileIsPresent(O + "film.mp4"));
  EXPECT_EQ(fx.host.messages.size(), 1u);
}

TEST_F(Mp4Road, EmptyOutputKeepsTempFilesAndSkipsTheCommonEnd) {
  GraphWritesWav();
  fx.form.strSubBrowse = "/subs/film.srt";
  fx.runner.onRun = [this](const std::string& line) {
    int rc = player(line);
    if (line.find("MP4Box.exe") != std::string::npos) WriteFile(O + "film.mp4", "");
    return rc;
  };
  Convert();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "MP4box error");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(fx.host.messages[0].text, "Error creating " + O +
                                          "film.mp4, quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.");
  EXPECT_EQ(progress.back(), "Conversion Error");
  EXPECT_EQ(Remaining(), (Lines{"film.mp4", "movie.aac", "movie.h264"}));
  EXPECT_EQ(fx.form.strSubBrowse, "/subs/film.srt");
  EXPECT_EQ(fx.host.log.back(), "MessageBox MP4box error: " + fx.host.messages[0].text);
}

// The front end judges the finished file after the road's last text, and only a finished one.
TEST_F(Mp4Road, TheFinishedOutputIsReportedOnceAfterTheLastText) {
  GraphWritesWav();
  Lines reported;
  fx.form.onOutputFinished = [&](const std::string& path) { reported.push_back(path + " after " + progress.back()); };
  Convert();
  EXPECT_EQ(reported, Lines{O + "film.mp4 after Conversion done"});
  EXPECT_EQ(fx.form.outputPath, "");
  reported.clear();
  GraphWritesWav();
  fx.runner.onRun = [this](const std::string& line) {
    int rc = player(line);
    if (line.find("MP4Box.exe") != std::string::npos) WriteFile(O + "film.mp4", "");
    return rc;
  };
  bool judged = false;
  fx.form.judgeOutput = [&](const std::string&) { return judged = true, std::string(); };
  Convert();
  EXPECT_EQ(progress.back(), "Conversion Error");
  EXPECT_TRUE(reported.empty());
  EXPECT_FALSE(judged);  // an empty file is not probed
}

// The safety net: a film the judge finds playing nowhere is an error, and everything stays.
// It is judged within the second before its size is read; the error comes after that second.
TEST_F(Mp4Road, AFilmThatPlaysNowhereIsAnErrorAndEverythingStays) {
  GraphWritesWav();
  Lines judged, reported;
  fx.form.judgeOutput = [&](const std::string& path) {
    judged.push_back(path + (fx.sleeper.waits.empty() ? " in the wait" : " after it"));
    fx.sleeper.clock += 300;  // the probe's time
    return std::string("H.264 profile High 10");
  };
  fx.form.onOutputFinished = [&](const std::string& path) { reported.push_back(path); };
  Convert();
  EXPECT_EQ(judged, Lines{O + "film.mp4 in the wait"});
  EXPECT_EQ(fx.sleeper.waits, std::vector<int>{700});
  EXPECT_EQ(reported, Lines{O + "film.mp4"});  // its verdict is still shown
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "Playback error");
  EXPECT_EQ(fx.host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(fx.host.messages[0].text, O + "film.mp4 plays on neither console (H.264 profile High 10). The file and "
                                          "the temporary files are kept for inspection.");
  EXPECT_EQ(progress.back(), "Conversion error.");
  EXPECT_EQ(Remaining(), (Lines{"film.mp4", "movie.aac", "movie.h264"}));
}

TEST_F(Mp4Road, ReadOnlyTempFileSurvivesTheCleanUp) {
  GraphWritesWav();
  fx.runner.onRun = [this](const std::string& line) {
    int rc = player(line);
    if (line.find("FFmpeg.exe") != std::string::npos) std::filesystem::permissions(O + "movie.aac", std::filesystem::perms::owner_read);
    return rc;
  };
  Convert();
  EXPECT_EQ(Remaining(), (Lines{"film.mp4", "movie.aac"}));
  EXPECT_EQ(progress.back(), "Conversion done");
}

TEST_F(Mp4Road, FolderErrorRunsNothingButTheCommonEnd) {
  // An empty source box is named as such; only a missing folder gives the folder's message.
  using Case = std::tuple<std::function<void()>, std::string, std::string>;
  for (const auto& [setup, text, title] : std::vector<Case>{
           {[this] { fx.form.txtFile.SetText(""); }, "Choose a source file first.", "Source error"},
           {[this] {
              fx.form.txtFile.SetText(source);
              fx.form.txtTMP.SetText(O + "missing");
            },
            "Output folder does not exist.", "Folder error"}}) {
    fx.host = {};
    fx.form.strSubBrowse = "x.srt";
    setup();
    Convert();
    EXPECT_TRUE(fx.runner.calls.empty());
    ASSERT_EQ(fx.host.messages.size(), 1u);
    EXPECT_EQ(fx.host.messages[0].text, text);
    EXPECT_EQ(fx.host.messages[0].title, title);
    EXPECT_EQ(fx.host.log.back(), "Topmost");
    EXPECT_EQ(fx.form.strSubBrowse, "");
  }
}

// A screen recording has no audio: the video alone becomes the MP4, and the run says so.
TEST_F(Mp4Road, SourceWithoutAudioBecomesASilentMp4) {
  fx.form.txtS2.SetText("");
  Convert();
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Extract("1:" + Q(O + "movie.h264")),
                   Q(A + "/MP4Box/MP4Box.exe") + " -add " + Q(O + "movie.h264:fps=24000/1001") + " " +
                       Q(O + "film.mp4") + " -tmp " + Q(out.path())}));
  EXPECT_EQ(progress, (Lines{"No audio track: the output is silent", "Extracting video/audio stream",
                             "Adjusting header", "Creating MP4", "Cleaning temporary files", "Conversion done"}));
  EXPECT_EQ(Remaining(), Lines{"film.mp4"});
}

// A format without a button travels with the video and FFmpeg decodes it, as Vorbis does; one
// mkvextract refuses (float PCM) is taken out by FFmpeg.
TEST_F(Mp4Road, FormatsWithoutAButtonAreDecodedByFfmpeg) {
  struct Case {
    const char* codecId;
    std::string extract, encode;
  };
  const std::string ff = Q(A + "/FFMpeg/FFmpeg.exe");
  const std::string tail = " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb " + Q(O + "movie.aac");
  const Case cases[] = {
      {"A_FLAC", Extract("1:" + Q(O + "movie.h264") + " 2:" + Q(O + "movie.flac")),
       ff + " -f flac -i " + Q(O + "movie.flac") + tail},
      {"A_OPUS", Extract("1:" + Q(O + "movie.h264") + " 2:" + Q(O + "movie.opus")),
       ff + " -f ogg -i " + Q(O + "movie.opus") + tail},
      {"A_PCM/FLOAT/IEEE",
       Extract("1:" + Q(O + "movie.h264")) + "|" + ff + " -i " + Q(source) + " -map 0:1 -acodec copy -f wav " +
           Q(O + "movie.pcm"),
       ff + " -f wav -i " + Q(O + "movie.pcm") + tail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codecId);
    fx.runner.calls.clear();
    fx.app.sourceInfo.audioTracks[0] = {" eng", "", "2", c.codecId, 2, ""};
    fx.form.cmbAudio.Clear();
    fx.form.cmbAudio.AddItem(" eng");
    fx.form.cmbAudio.SetListIndex(0);
    EXPECT_EQ(fx.form.Option1.Selected(), -1);
    Convert();
    Lines expected;
    for (size_t at = 0, bar; at != std::string::npos; at = bar == std::string::npos ? bar : bar + 1) {
      bar = c.extract.find('|', at);
      expected.push_back(c.extract.substr(at, bar == std::string::npos ? bar : bar - at));
    }
    expected.push_back(c.encode);
    expected.push_back(TwoTrack("24000/1001"));
    EXPECT_EQ(fx.runner.Lines(), expected);
    EXPECT_TRUE(fx.host.messages.empty());
  }
}

TEST_F(Mp4Road, StoredX264OptionsAreKeptOrReplacedWhole) {
  GraphWritesWav();
  fx.form.strH264Opts = ":frameref=4:custom";
  fx.form.strSubOpts = "-subpos 80";
  Convert();
  EXPECT_EQ(fx.form.strH264Opts, ":frameref=4:custom");
  EXPECT_EQ(fx.form.strSubOpts, "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 5");
  fx.form.strH264Opts = ":threads=auto";
  Convert();
  EXPECT_EQ(fx.form.strH264Opts,
            ":threads=auto:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8:me=hex:"
            "me_range=16:subq=5:chroma_me:mixed_refs:bime:trellis=1:weight_b:b_pyramid:nr=0");
}

TEST(MakeFpsArg, KnownRatesAndTheNinthDigitRule) {
  EXPECT_EQ(MakeFpsArg("23.976"), "24000/1001");
  EXPECT_EQ(MakeFpsArg("23.977"), "24000/1001");
  EXPECT_EQ(MakeFpsArg("29.970"), "30000/1001");
  EXPECT_EQ(MakeFpsArg("59.940"), "60000/1001");
  EXPECT_EQ(MakeFpsArg("25.000"), "25");
  EXPECT_EQ(MakeFpsArg("30.000"), "30");
  EXPECT_EQ(MakeFpsArg("x.9"), "x.");
}

// A rate with a fraction that is no NTSC rate is given whole: cut, it would drift.
TEST(MakeFpsArg, OtherFractionalRatesAreGivenWhole) {
  EXPECT_EQ(MakeFpsArg("12.500"), "12.500");
  EXPECT_EQ(MakeFpsArg("16.667"), "16.667");
  EXPECT_EQ(MakeFpsArg("16.944"), "16.944");  // a 9 after the point, far from 17000/1001
  EXPECT_EQ(MakeFpsArg("24.000"), "24");
}

}  // namespace
}  // namespace parvela
