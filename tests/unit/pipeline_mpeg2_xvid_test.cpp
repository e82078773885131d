// The MPEG-2 and Xvid roads after the audio chain: every mencoder line whole, the muxer script
// byte for byte, the clean-up and the output names.
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

const std::string kSubOpts = "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 5";
const std::string kXvidOpts =
    ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:"
    "lumi_mask:autoaspect:bvhq=1:nogmc:noqpel -ofps ";
const std::string kLavcA =
    " -of mpeg -ovc lavc -lavcopts threads=auto:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:"
    "vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
const std::string kLavcB =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:"
    "vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
const std::string kLavcC =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:"
    "vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps ";

class Reencode : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.runner.onRun = [this](const std::string& line) { return Play(line); };
    A = fx.appDir.path();
    O = out.path() + "/";
    source = in / "My.Film.mkv";
    WriteFile(source, "mkv");
    fx.app.sourceInfo.videoKind = "avc";
    fx.app.sourceInfo.subtitleTracks[0] = {"ger", "ASS", "4"};
    fx.form.cmbSubs.AddItem("ger");
    fx.form.cmbSubs.SetListIndex(0);
    fx.form.Option1.Select(0);
    fx.form.txtFile.SetText(source);
    fx.form.txtTMP.SetText(O);
    fx.form.txtS1.SetText("1");
    fx.form.txtS2.SetText("2");
    fx.form.txtSFPS.SetText("29.970");
    fx.form.Check1.SetValue(0);
    fx.form.chkMP2.SetValue(1);
    fx.form.txtProgress.Observe([this] { progress.push_back(fx.form.txtProgress.Text()); });
  }
  // Each tool leaves what its line asks for; avimux_gui's script is kept for the test.
  int Play(const std::string& line) {
    Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    auto after = [&](const std::string& opt) {
      for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == opt) return a[i + 1];
      return std::string();
    };
    if (tool == "mkvextract.exe") {
      for (size_t i = 3; i < a.size(); ++i) WriteFile(a[i].substr(a[i].find(':') + 1), "track");
    } else if (tool == "valdec.exe") {
      WriteFile(after("-wav"), "wav");
    } else if (tool == "aften.exe" || tool == "FFmpeg.exe") {
      WriteFile(a.back(), "ac3");
    } else if (tool == "Mencoder.exe") {
      WriteFile(after("-o"), "video of " + after("-o"));
    } else if (tool == "avimux_gui.exe") {
      script = ReadFile(a[1]);
      const size_t start = script.rfind("START ") + 6;
      WriteFile(script.substr(start, script.find('\r', start) - start), "avi");
    }
    return 0;
  }
  std::string Q(const std::string& s) const { return "\"" + s + "\""; }
  std::string Mencoder() const { return Q(A + "/Mencoder/Mencoder.exe"); }
  std::string Font() const { return Q(A + "/Mencoder/font.ttf"); }
  Lines MencoderLines() const {
    Lines mine;
    for (const auto& line : fx.runner.Lines()) {
      if (line.rfind(Mencoder(), 0) == 0) mine.push_back(line);
    }
    return mine;
  }
  void Convert(int target) {
    fx.runner.calls.clear();
    progress.clear();
    fx.form.cmdConv.SetListIndex(target);
    fx.form.Command2_Click();
  }
  void EmbedSubs(bool srtBeside, const std::string& browsed) {
    fx.form.chkSubs.SetEnabled(true);
    fx.form.chkSubs.SetValue(1);
    fx.form.lblSRTFound.SetVisible(srtBeside);
    fx.form.strSubBrowse = browsed;
  }
  std::vector<std::string> Remaining() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(out.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  FormFixture fx;
  TempDir in, out;
  std::string A, O, source, script;
  Lines progress;
};

TEST_F(Reencode, Mpeg2LinesForEachSubtitleSource) {
  const std::string encodeTail = "30000/1001 -vf harddup " + Q(source);
  const std::string withSubs = Mencoder() + " -nosound  -font " + Font() + " -utf8 " + kSubOpts + " -o " +
                               Q(O + "movie.mpg");
  const std::string mux = Mencoder() + " " + Q(O + "movie.mpg") + " -audiofile " + Q(O + "movie.ac3") +
                          " -oac copy -ovc copy -of mpeg -o " + Q(O + "My.Film.mpg");
  Convert(0);
  EXPECT_EQ(MencoderLines(), (Lines{Mencoder() + " -nosound -o " + Q(O + "movie.mpg") + kLavcC + encodeTail +
                                        " -mc 0 -noskip",
                                    mux}));
  EmbedSubs(true, in / "picked.srt");
  Convert(0);
  EXPECT_EQ(MencoderLines()[0], withSubs + kLavcA + encodeTail + " -mc 0 -noskip -sub " + Q(in / "My.Film.srt"));
  EmbedSubs(false, in / "picked.srt");
  Convert(0);
  EXPECT_EQ(MencoderLines()[0], withSubs + kLavcB + encodeTail + " -mc 0 -noskip -sub " + Q(in / "picked.srt"));
  EmbedSubs(false, "");
  Convert(0);
  EXPECT_EQ(MencoderLines()[0], withSubs + kLavcB + encodeTail + " -mc 0 -noskip -sub " + Q(O + "movie.ASS"));
  EXPECT_EQ(MencoderLines()[1], mux);
}

// A rate MPEG-2 has no code for is encoded at the nearest one that has; Xvid takes it as it is.
TEST_F(Reencode, Mpeg2RateWithoutACodeBecomesTheNearestLegalOne) {
  const std::string head = Mencoder() + " -nosound -o " + Q(O + "movie.mpg") + kLavcC;
  const std::string tail = " -vf harddup " + Q(source) + " -mc 0 -noskip";
  for (const auto& [typed, encoded] : std::vector<std::pair<std::string, std::string>>{
           {"29.833", "30000/1001"}, {"10.130", "24000/1001"}, {"15.000", "24000/1001"},
           {"27.000", "25"},         {"57.000", "60000/1001"}, {"600.000", "60"}, {"23.976", "24000/1001"}}) {
    fx.form.txtSFPS.SetText(typed);
    Convert(0);
    EXPECT_EQ(MencoderLines()[0], head + encoded + tail) << typed;
  }
  fx.form.txtSFPS.SetText("29.833");
  Convert(2);
  EXPECT_EQ(MencoderLines()[0], Mencoder() + "  -of avi -o " + Q(O + "movie.avi") +
                                    " -ovc xvid -xvidencopts bitrate=8000" + kXvidOpts + "29.833 -vf harddup -nosound " +
                                    Q(source) + " -mc 0 -noskip");
}

TEST_F(Reencode, Mpeg2ProgressCleanUpAndTheUsersMp4) {
  WriteFile(O + "movie.mp4", "the user's film");
  Convert(0);  // AC-3: the chain returns early, without "Encoding mpeg2."
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Encoding Mpeg2", "Conversion done"}));
  EXPECT_EQ(Remaining(), (Lines{"My.Film.mpg", "movie.mp4"}));
  fx.form.Option1.Select(1);  // DTS
  Convert(0);
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Encoding mpeg2.", "Encoding Mpeg2", "Conversion done"}));
  EXPECT_EQ(Remaining(), (Lines{"My.Film.mpg", "movie.mp4"}));
  EXPECT_TRUE(fx.host.messages.empty());
  EXPECT_NE(fx.host.log.back(), "Topmost");  // no common end: the window stays not always-on-top
}

// The muxers end without an error on a full disk: a film that is not there is an error, and the
// temporary files stay for a look; a film in pieces (above the size cap) is a film.
TEST_F(Reencode, NoMuxedFilmIsAnErrorThatKeepsTheTemporaryFiles) {
  fx.runner.onRun = [this](const std::string& line) {
    const bool muxer = line.rfind(Mencoder() + " " + Q(O + "movie.mpg"), 0) == 0 || line.find("avimux_gui") != line.npos;
    return muxer ? 0 : Play(line);
  };
  Convert(0);
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Encoding Mpeg2", "Conversion Error"}));
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text, "Error creating " + O + "My.Film.mpg, quitting attempt. Temp files not deleted.");
  EXPECT_EQ(fx.host.messages[0].title, "Mencoder error");
  EXPECT_EQ(Remaining(), (Lines{"movie.ac3", "movie.mpg"}));

  Convert(2);
  ASSERT_EQ(fx.host.messages.size(), 2u);
  EXPECT_EQ(fx.host.messages[1].title, "avimux error");
  EXPECT_EQ(progress.back(), "Conversion Error");
  WriteFile(O + "My.Film-1.avi", "first piece");
  Convert(2);
  EXPECT_EQ(fx.host.messages.size(), 2u);
  EXPECT_EQ(progress.back(), "Conversion done");
}

TEST_F(Reencode, XvidLinesForEachSubtitleSourceDifferInTheirBlanks) {
  const std::string avi = Q(O + "movie.avi");
  const std::string rate = "8000" + kXvidOpts + "30000/1001";
  const std::string subs = Font() + " -utf8 " + kSubOpts + " -of avi -o " + avi;
  Convert(2);
  EXPECT_EQ(MencoderLines(), (Lines{Mencoder() + "  -of avi -o " + avi + " -ovc xvid -xvidencopts bitrate=" + rate +
                                    " -vf harddup -nosound " + Q(source) + " -mc 0 -noskip"}));
  EmbedSubs(true, in / "picked.srt");
  Convert(2);
  EXPECT_EQ(MencoderLines(), (Lines{Mencoder() + "  -font " + subs + " -ovc xvid -xvidencopts bitrate=" + rate +
                                    " -vf harddup -nosound " + Q(source) + " -noskip -sub " + Q(in / "My.Film.srt")}));
  EmbedSubs(false, in / "picked.srt");
  Convert(2);
  EXPECT_EQ(MencoderLines(), (Lines{Mencoder() + "  -font " + subs + "  -ovc xvid -xvidencopts bitrate=" + rate +
                                    " -vf harddup  -nosound " + Q(source) + " -noskip -sub " + Q(in / "picked.srt")}));
  EmbedSubs(false, "");
  Convert(2);
  EXPECT_EQ(MencoderLines(), (Lines{Mencoder() + " -font " + subs + " -ovc xvid -xvidencopts bitrate=" + rate +
                                    " -vf harddup -nosound " + Q(source) + "  -noskip -sub " + Q(O + "movie.ASS")}));
  EXPECT_EQ(fx.runner.Lines().back(), Q(A + "/avimux/avimux_gui.exe") + " " + Q(O + "parvela.amg"));
  EXPECT_EQ(progress, (Lines{"Extracting video/audio stream", "Encoding Xvid.", "Encoding Xvid", "Conversion done"}));
  EXPECT_EQ(Remaining(), (Lines{"My.Film.avi"}));
}

TEST_F(Reencode, XvidBitrateOfASplitSourceIsTheFirstParts) {
  WriteFile(source, "x264 options: bitrate=3100 ratetol=1.0");
  fx.form.bSplit = true;
  fx.form.strH264Bitrate = "1500";
  Convert(2);
  EXPECT_NE(MencoderLines().at(0).find("bitrate=1500:max_bframes"), std::string::npos);
  fx.form.bSplit = false;
  Convert(2);
  EXPECT_NE(MencoderLines().at(0).find("bitrate=3100:max_bframes"), std::string::npos);
}

TEST_F(Reencode, MuxerScriptFromTheTemplate) {
  std::filesystem::create_directories(A + "/avimux");
  WriteFile(A + "/avimux/parvela.amg",
            "LOAD D:\\PARVELA\\movie.avi D:\\PARVELA\\movie.ac3\r\nLOAD d:\\parvela\\movie.ac3\n"
            "MAXFILESIZE size\r\nMAXFILESIZE 700\r\nENDOFFILE here\r\nLOAD D:\\PARVELA\\after.avi\r\n");
  Convert(2);  // split option off
  EXPECT_EQ(script, "LOAD " + O + "movie.avi " + O + "movie.ac3\r\nLOAD d:\\parvela\\movie.ac3\r\n"
                    "MaxFileSize OFF\r\nMaxFileSize OFF\r\nSTART " + O + "My.Film.avi\r\n");
  fx.form.Check1.SetValue(1);
  Convert(2);
  EXPECT_EQ(script, "LOAD " + O + "movie.avi " + O + "movie.ac3\r\nLOAD d:\\parvela\\movie.ac3\r\n"
                    "MAXFILESIZE 4000\r\nMAXFILESIZE 700\r\nSTART " + O + "My.Film.avi\r\n");

  WriteFile(A + "/avimux/parvela.amg", "CLEAR\nLOAD D:\\PARVELA\\movie.avi");  // no end marker
  Convert(2);
  EXPECT_EQ(script, "CLEAR\r\nLOAD " + O + "movie.avi\r\nSTART " + O + "My.Film.avi\r\n");
  std::filesystem::remove(A + "/avimux/parvela.amg");
  Convert(2);
  EXPECT_EQ(script, "START " + O + "My.Film.avi\r\n");
}

TEST_F(Reencode, ASourceNamedMovieGetsItsOutputIntact) {
  source = in / "movie.mkv";
  WriteFile(source, "mkv");
  fx.form.txtFile.SetText(source);
  Convert(0);
  EXPECT_EQ(MencoderLines().at(1), Mencoder() + " " + Q(O + "movie.mpg") + " -audiofile " + Q(O + "movie.ac3") +
                                       " -oac copy -ovc copy -of mpeg -o " + Q(O + "movie_muxed.mpg"));
  EXPECT_EQ(ReadFile(O + "movie.mpg"), "video of " + O + "movie_muxed.mpg");
  Convert(2);
  EXPECT_EQ(script.substr(script.rfind("START ")), "START " + O + "movie_muxed.avi\r\n");
  EXPECT_EQ(ReadFile(O + "movie.avi"), "avi");
  EXPECT_EQ(Remaining(), (Lines{"movie.avi", "movie.mpg"}));
}

}  // namespace
}  // namespace parvela
