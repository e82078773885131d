// The re-encoding roads, command line by command line, with the tools played by the test.
#include <gtest/gtest.h>

#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const std::string kX264Opts =
    ":threads=auto:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8:me=hex:me_range=16:"
    "subq=5:chroma_me:mixed_refs:bime:trellis=1:weight_b:b_pyramid:nr=0";
const std::string kSubOpts = "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 5";

class Recode : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) {
      // mencoder leaves the file after "-o"; the other tools are not needed here.
      Lines a = SplitCommandLine(line);
      for (size_t i = 0; i + 1 < a.size(); ++i) {
        if (a[i] == "-o") WriteFile(a[i + 1], "video");
      }
      // What the stage after the encoder finds.
      if (fx.runner.calls.size() == 2) {
        streamsAfterEncoding = {FileIsPresent(O + "movie.h264"), FileIsPresent(O + "movie_raw.h264")};
      }
      return 0;
    };
    A = fx.appDir.path();
    O = out.path() + "/";
    source = in / "My.Film.mkv";
    WriteFile(source, "x264 - core 164 - options: rc=abr bitrate=2500 ratetol=1.0");
    fx.form.Option1.Select(0);
    fx.ChooseH264Source(source, O, "23.976", progress);
    fx.form.chkMP2.SetValue(1);
  }
  std::string Q(const std::string& s) const { return "\"" + s + "\""; }
  std::string Mencoder() const { return Q(A + "/Mencoder/Mencoder.exe"); }
  std::string Font() const { return Q(A + "/Mencoder/font.ttf"); }
  // The x264 line from " -nosound" to the source, as every variant has it.
  std::string X264Middle(const std::string& bitrate = "2500", const std::string& fps = "24000/1001") const {
    return " -nosound -noskip -mc 0 -of rawvideo -o " + Q(O + "movie.h264") + " -ovc x264 -x264encopts bitrate=" +
           bitrate + kX264Opts + " -ofps " + fps + " -vf harddup " + Q(source);
  }
  std::string X264WithSubs(const std::string& subSwitch, const std::string& file) const {
    return Mencoder() + " -oac copy -font " + Font() + " -utf8 " + kSubOpts + X264Middle() + subSwitch + Q(file);
  }
  void EmbedSubs() {
    fx.form.chkSubs.SetEnabled(true);
    fx.form.chkSubs.SetValue(1);
  }

  FormFixture fx;
  TempDir in, out;
  std::string A, O, source;
  Lines progress;
  std::vector<bool> streamsAfterEncoding;  // movie.h264, movie_raw.h264
};

TEST_F(Recode, H264WithoutSubtitlesThenTheMp4Road) {
  fx.form.cmdConv.SetListIndex(1);
  WriteFile(O + "movie_video.h264", "old");
  fx.form.Command2_Click();
  const Lines lines = fx.runner.Lines();
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0], Mencoder() + X264Middle() + " -mc 0 -noskip");
  EXPECT_EQ(lines.back(), Q(A + "/MP4Box/MP4Box.exe") + " -add " + Q(O + "movie.aac") + " -add " +
                              Q(O + "movie.h264:fps=24000/1001") + " " + Q(O + "My_Film.mp4") + " -tmp " +
                              Q(out.path()));
  EXPECT_FALSE(FileIsPresent(O + "movie_video.h264"));
  // No extraction, no level patch: the new stream is level 4.1 already.
  EXPECT_EQ(Lines(progress.begin(), progress.begin() + 2), (Lines{"Extracting video/audio stream", "Encoding H264"}));
  EXPECT_EQ(std::count(progress.begin(), progress.end(), "Adjusting header"), 0);
  EXPECT_EQ(ReadFile(O + "movie.h264"), "video");
  EXPECT_EQ(fx.form.fpsArg, "24000/1001");  // the MP4 road's own MakeFpsArg after fpsArg went back
}

// The re-encoding skips the combined extraction: a track FFmpeg decodes (FLAC here) is still
// taken out for the MP4 road's encoder.
TEST_F(Recode, H264WithAudioFfmpegDecodesExtractsTheTrack) {
  fx.app.sourceInfo.audioTracks[0] = {" eng", "", "2", "A_FLAC", 2, ""};
  fx.form.cmbAudio.Clear();
  fx.form.cmbAudio.AddItem(" eng");
  fx.form.cmbAudio.SetListIndex(0);
  fx.form.cmdConv.SetListIndex(1);
  fx.form.Command2_Click();
  const std::string ff = Q(A + "/FFMpeg/FFmpeg.exe");
  EXPECT_EQ(fx.runner.Lines(),
            (Lines{Mencoder() + X264Middle() + " -mc 0 -noskip",
                   Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + " 2:" + Q(O + "movie.flac"),
                   ff + " -f flac -i " + Q(O + "movie.flac") + " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb " +
                       Q(O + "movie.aac"),
                   Q(A + "/MP4Box/MP4Box.exe") + " -add " + Q(O + "movie.aac") + " -add " +
                       Q(O + "movie.h264:fps=24000/1001") + " " + Q(O + "My_Film.mp4") + " -tmp " + Q(out.path())}));
}

TEST_F(Recode, H264SubtitleSourcesInTheirOrder) {
  fx.form.cmdConv.SetListIndex(1);
  EmbedSubs();
  fx.form.strSubBrowse = in / "picked.ass";
  fx.form.lblSRTFound.SetVisible(true);
  fx.form.Command2_Click();
  // The SRT beside the source wins, named from the untrimmed path; nothing is extracted.
  EXPECT_EQ(fx.runner.Lines()[0], X264WithSubs(" -mc 0 -noskip -sub ", in / "My.Film.srt"));

  fx.runner.calls.clear();
  fx.form.lblSRTFound.SetVisible(false);
  fx.form.strSubBrowse = in / "picked.ass";  // the MP4 road's end cleared it
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines()[0], X264WithSubs(" -mc 0 -noskip -sub ", in / "picked.ass"));
}

TEST_F(Recode, H264BitrateOfASplitSourceIsTheFirstPartsAndVobRenamesTheStream) {
  fx.form.cmdConv.SetListIndex(1);
  fx.form.chkVob.SetValue(1);
  fx.form.txtSFPS.SetText("25.000");
  fx.form.bSplit = true;
  fx.form.strH264Bitrate = "1234";
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines()[0], Mencoder() + X264Middle("1234", "25") + " -mc 0 -noskip");
  // The transport-stream road takes the audio track that extraction would have left.
  EXPECT_EQ(fx.runner.Lines()[1], Q(A + "/MKVToolnix/mkvextract.exe") + " tracks " + Q(source) + " 2:" +
                                      Q(O + "movie.ac3"));
  EXPECT_EQ(streamsAfterEncoding, (std::vector<bool>{false, true}));
  // Outside a split conversion the source's own rate is read again.
  fx.runner.calls.clear();
  fx.form.bSplit = false;
  fx.form.chkVob.SetValue(0);
  fx.form.Command2_Click();
  EXPECT_EQ(fx.runner.Lines()[0], Mencoder() + X264Middle("2500", "25") + " -mc 0 -noskip");
}

TEST_F(Recode, NoTargetSelectedTakesMpeg2AndShowsIt) {
  fx.form.cmdConv.SetListIndex(-1);
  fx.form.Command2_Click();
  EXPECT_EQ(fx.form.cmdConv.ListIndex(), 0);
}

// mkvinfo's report of an HEVC source with AC-3 audio.
std::string HevcReport(const std::string& width, const std::string& height, const std::string& fps) {
  return "| + A track\r\n|  + Track type: video\r\n|  + Codec ID: V_MPEGH/ISO/HEVC\r\n"
         "|  + Default duration: 40.000ms (" + fps + " fps for a video track)\r\n|  + Video track\r\n"
         "|   + Pixel width: " + width + "\r\n|   + Pixel height: " + height + "\r\n|   + Display width: " + width +
         "\r\n| + A track\r\n|  + Track type: audio\r\n|  + Codec ID: A_AC3\r\n|  + Language: eng\r\n";
}

// A video only re-encoding converts (HEVC) is re-encoded even with the box cleared, and every
// target keeps within the consoles' frame and level 4.1's macroblock rate: 1440p becomes 1080p,
// at 60 frames a second 720p; the Xvid target stays within 1280x720 in any case.
TEST_F(Recode, ReencodedOnlyVideoIsScaledIntoEveryTargetsLimits) {
  struct Case {
    int target;
    const char* fps;
    const char* filter;
  };
  const Case cases[] = {{1, "25.000", "scale=1920:1080,harddup"}, {1, "59.940", "scale=1280:720,harddup"},
                        {0, "25.000", "scale=1920:1080,harddup"}, {2, "25.000", "scale=1280:720,harddup"}};
  std::string report;
  auto encoder = fx.runner.onRun;
  fx.runner.onRun = [&](const std::string& line) {
    const int code = encoder(line);
    if (line.find("mkvinfo.exe") != std::string::npos) WriteFile(fx.app.InfoReportPath(), report);
    // The audio the MPEG-2 and Xvid roads mux.
    if (line.find("aften.exe") != std::string::npos || line.find("movie.ac3") != std::string::npos) {
      WriteFile(O + "movie.ac3", "ac3");
    }
    return code;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.target) + " " + c.fps);
    fx.runner.calls.clear();
    fx.app.sourceInfo.videoKind.clear();  // not inspected yet
    report = HevcReport("2560", "1440", c.fps);
    fx.form.chkMP2.SetValue(0);
    fx.form.cmdConv.SetListIndex(c.target);
    fx.form.Command2_Click();
    EXPECT_EQ(fx.form.chkMP2.Value(), 1);
    const Lines lines = fx.runner.Lines();
    const auto encode = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
      return l.find("Mencoder.exe") != std::string::npos && l.find(" -vf ") != std::string::npos;
    });
    ASSERT_NE(encode, lines.end());
    EXPECT_NE(encode->find(" -vf " + std::string(c.filter) + " "), std::string::npos) << *encode;
  }
  // The frame fits: the line is the one every H.264 source gets.
  fx.runner.calls.clear();
  fx.app.sourceInfo.videoKind.clear();
  report = HevcReport("1920", "1080", "23.976");
  fx.form.cmdConv.SetListIndex(1);
  fx.form.Command2_Click();
  ASSERT_GE(fx.runner.Lines().size(), 2u);
  EXPECT_EQ(fx.runner.Lines()[1], Mencoder() + X264Middle() + " -mc 0 -noskip");
}

}  // namespace
}  // namespace parvela
