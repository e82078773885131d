#include <gtest/gtest.h>

#include "app/cli_options.h"
#include "form_fixture.h"

namespace parvela {
namespace {

using testing::FormFixture;

CliOptions Parse(const std::vector<std::string>& args) {
  CliOptions o;
  std::string error;
  EXPECT_TRUE(ParseCliOptions(args, o, error)) << error;
  return o;
}

std::string ParseError(const std::vector<std::string>& args) {
  CliOptions o;
  std::string error;
  EXPECT_FALSE(ParseCliOptions(args, o, error));
  return error;
}

TEST(CliOptions, WordsAfterTheOptionsAreJoinedIntoOnePath) {
  EXPECT_EQ(Parse({"-o", "/out", "/films/My", "Movie.mkv"}).argumentText, "/films/My Movie.mkv");
  EXPECT_EQ(Parse({"--", "-v.mkv"}).argumentText, "-v.mkv");
  EXPECT_EQ(Parse({"/films/a  b.mkv"}).argumentText, "/films/a  b.mkv");  // one word keeps its blanks
  EXPECT_EQ(Parse({}).argumentText, "");
}

TEST(CliOptions, EveryOptionIsRead) {
  CliOptions o = Parse({"--output", "/o", "--recode", "xvid", "--vob", "--safe-sync", "--25fps", "--no-split",
                        "--dvd", "--subs", "/s.srt", "-v", "x.mkv"});
  EXPECT_EQ(o.output, "/o");
  EXPECT_EQ(o.recode, "xvid");
  EXPECT_TRUE(o.vob && o.safeSync && o.fps25 && o.dvd && o.verbose);
  EXPECT_EQ(o.split, 0);
  EXPECT_EQ(o.subs, "/s.srt");
  EXPECT_EQ(Parse({"--split"}).split, 1);
  EXPECT_EQ(Parse({"x"}).split, -1);
  EXPECT_TRUE(Parse({"-h"}).help);
  EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(CliOptions, UsageErrors) {
  EXPECT_EQ(ParseError({"--bogus"}), "unknown option --bogus");
  EXPECT_EQ(ParseError({"-o"}), "option -o needs a value");
  EXPECT_EQ(ParseError({"--recode", "divx"}), "--recode takes mpeg2, h264 or xvid");
}

TEST(CliOptions, OptionsRunTheControlsHandlersAsClicksWould) {
  FormFixture fx;
  CliOptions o;
  o.output = "/out";
  o.vob = true;
  o.split = 0;
  ApplyCliOptions(o, fx.form);
  EXPECT_EQ(fx.form.txtTMP.Text(), "/out");
  EXPECT_EQ(fx.form.Check1.Value(), 0);
  EXPECT_FALSE(fx.form.chkDVD.Enabled());
  EXPECT_TRUE(fx.form.chkVob.Checked());
  EXPECT_FALSE(fx.form.chkFF.Enabled());
  EXPECT_FALSE(fx.form.chk25.Enabled());
}

// The box is saved with the settings: --no-vob is the way back, and its click re-enables the rest.
TEST(CliOptions, NoVobUnticksASavedVobAndNeitherKeepsIt) {
  FormFixture fx;
  fx.form.chkVob.SetValue(1);
  ApplyCliOptions(Parse({"x.mkv"}), fx.form);
  EXPECT_TRUE(fx.form.chkVob.Checked());
  ApplyCliOptions(Parse({"--no-vob", "x.mkv"}), fx.form);
  EXPECT_FALSE(fx.form.chkVob.Checked());
  EXPECT_TRUE(fx.form.chkFF.Enabled());
  EXPECT_TRUE(fx.form.chk25.Enabled());
}

TEST(CliOptions, RecodeAndSubtitles) {
  FormFixture fx;
  CliOptions o;
  o.recode = "h264";
  o.subs = "/subs/film.srt";
  ApplyCliOptions(o, fx.form);
  EXPECT_EQ(fx.form.cmdConv.ListIndex(), 1);
  EXPECT_TRUE(fx.form.chkMP2.Checked());
  EXPECT_FALSE(fx.form.chk25.Enabled());
  EXPECT_TRUE(fx.form.chkSubs.Checked());
  EXPECT_TRUE(fx.form.chkSubs.Visible());
  EXPECT_EQ(fx.form.strSubBrowse, "/subs/film.srt");
}

TEST(CliOptions, SubTrackTakesATrackNumberAndExcludesSubs) {
  EXPECT_EQ(Parse({"--sub-track", "2", "x.mkv"}).subTrack, 2);
  EXPECT_EQ(Parse({"--sub-track", "33"}).subTrack, 33);
  for (const char* bad : {"0", "34", "x", "-1", "1.5"}) {
    EXPECT_EQ(ParseError({"--sub-track", bad}), "--sub-track takes the number of a subtitle track, 1 to 33") << bad;
  }
  const std::string exclusive = "--subs, --sub-track and --srt-beside exclude each other";
  EXPECT_EQ(ParseError({"--subs", "a.srt", "--sub-track", "1"}), exclusive);
  EXPECT_EQ(ParseError({"--srt-beside", "--sub-track", "1"}), exclusive);
  EXPECT_TRUE(Parse({"--srt-beside"}).srtBeside);
}

// What an inspection does to the options: the checker's pass unticks "MPEG2 Recode" (which
// clears "Embed subs"), and a fresh subtitle list selects its first row with "Embed subs" off.
void InspectPlayableSourceWithSubtitles(FormFixture& fx, int rows, const std::string& source = "/in/film.mkv") {
  fx.app.sourceInfo.videoKind = "avc";
  fx.form.cmbSubs.Clear();
  for (int i = 0; i < rows; ++i) fx.form.cmbSubs.AddItem("eng");
  fx.form.cmbSubs.SetListIndex(rows > 0 ? 0 : -1);
  fx.form.chkSubs.SetValue(0);
  fx.form.chkMP2.SetValue(0);
  fx.form.chkMP2_Click();
  fx.form.lblSRTFound.SetVisible(false);
  if (fx.app.afterInspection) fx.app.afterInspection(source);
}

TEST(CliOptions, RecodeAndSubtitleChoicesHoldAfterEveryInspection) {
  FormFixture fx;
  CliOptions o;
  o.recode = "mpeg2";
  o.subTrack = 2;
  ApplyCliOptions(o, fx.form);
  for (int run = 0; run < 2; ++run) {  // a folder batch inspects each file
    InspectPlayableSourceWithSubtitles(fx, 3);
    EXPECT_TRUE(fx.form.chkMP2.Checked());
    EXPECT_EQ(fx.form.cmdConv.ListIndex(), 0);
    EXPECT_TRUE(fx.form.chkSubs.Checked());
    EXPECT_EQ(fx.form.cmbSubs.ListIndex(), 1);
    EXPECT_TRUE(fx.host.messages.empty());
  }
  InspectPlayableSourceWithSubtitles(fx, 1);
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].text,
            "The source has no subtitle track 2: it lists 1. It is converted without subtitles.");
  EXPECT_EQ(fx.host.messages[0].title, "Subtitle error");
  EXPECT_FALSE(fx.form.chkSubs.Checked());

  FormFixture beside;
  testing::TempDir in;
  testing::WriteFile(in / "film.srt", "1");
  CliOptions srt;
  srt.srtBeside = true;
  ApplyCliOptions(srt, beside.form);
  InspectPlayableSourceWithSubtitles(beside, 2, in / "film.mkv");
  EXPECT_TRUE(beside.form.lblSRTFound.Visible());
  EXPECT_TRUE(beside.form.chkSubs.Checked());
  EXPECT_TRUE(beside.form.chkMP2.Checked());
  InspectPlayableSourceWithSubtitles(beside, 2, in / "other.mkv");
  EXPECT_FALSE(beside.form.lblSRTFound.Visible());
  ASSERT_EQ(beside.host.messages.size(), 1u);
  EXPECT_EQ(beside.host.messages[0].text, "There is no subtitle file " + in / "other.srt" +
                                              " beside the source. It is converted without subtitles.");

  FormFixture plain;  // without these options the inspection has its say
  ApplyCliOptions(CliOptions{}, plain.form);
  plain.form.chkMP2.SetValue(1);
  InspectPlayableSourceWithSubtitles(plain, 0);
  EXPECT_FALSE(plain.form.chkMP2.Checked());
}

// --audio and --audio-lang choose a row of the audio list after each inspection, as a click
// would; a track the source lacks refuses the source as a usage error.
TEST(CliOptions, AudioChoiceHoldsAfterEveryInspectionOrRefusesTheSource) {
  EXPECT_EQ(Parse({"--audio", "2"}).audio, 2);
  EXPECT_EQ(Parse({"--audio-lang", "jpn"}).audioLang, "jpn");
  EXPECT_TRUE(Parse({"--tracks", "a.mkv"}).tracks);
  EXPECT_EQ(ParseError({"--audio", "0"}), "--audio takes the number of an audio track, 1 to 33");
  EXPECT_EQ(ParseError({"--audio", "1", "--audio-lang", "eng"}), "--audio and --audio-lang exclude each other");
  // --audio none asks for the picture alone; the last --audio given wins.
  const CliOptions none = Parse({"--audio", "2", "--audio", "none"});
  EXPECT_TRUE(none.audioNone);
  EXPECT_EQ(none.audio, 0);
  EXPECT_FALSE(Parse({"--audio", "none", "--audio", "2"}).audioNone);
  EXPECT_EQ(ParseError({"--audio", "none", "--audio-lang", "eng"}), "--audio and --audio-lang exclude each other");
  FormFixture fx;
  fx.app.sourceInfo.audioTracks[0] = {" eng", "0", "2", "A_AC3", 6, ""};
  fx.app.sourceInfo.audioTracks[1] = {" jpn", "", "3", "A_FLAC", 2, "Commentary"};
  auto inspect = [&] {
    fx.form.cmbAudio.Clear();
    for (const char* language : {" eng", " jpn"}) fx.form.cmbAudio.AddItem(language);
    fx.form.cmbAudio.SetListIndex(0);
    return fx.app.afterInspection("/in/film.mkv");
  };
  bool usageError = false;
  CliOptions byLanguage;
  byLanguage.audioLang = "jpn";
  ApplyCliOptions(byLanguage, fx.form, &usageError);
  EXPECT_TRUE(inspect());
  EXPECT_EQ(fx.form.txtS2.Text(), "3");
  EXPECT_EQ(fx.form.Option1.Selected(), -1);
  EXPECT_EQ(fx.form.lblAudioInfo.Caption(), "FLAC stereo \u00B7 Commentary");
  CliOptions byNumber;
  byNumber.audio = 3;
  ApplyCliOptions(byNumber, fx.form, &usageError);
  EXPECT_FALSE(inspect());
  EXPECT_TRUE(usageError);
  byNumber.audio = 1;
  usageError = false;
  ApplyCliOptions(byNumber, fx.form, &usageError);
  EXPECT_TRUE(inspect());
  EXPECT_EQ(fx.form.Option1.Selected(), 0);
  EXPECT_FALSE(usageError);
}

TEST(CliOptions, OnlyMkvFilesAndFoldersAreConvertible) {
  testing::TempDir dir;
  testing::WriteFile(dir / "a.MkV", "x");
  testing::WriteFile(dir / "a.txt", "x");
  std::filesystem::create_directory(dir / "x.mkv");
  EXPECT_TRUE(IsConvertibleArgument(dir / "a.MkV"));
  EXPECT_TRUE(IsConvertibleArgument(dir / "x.mkv"));
  EXPECT_TRUE(IsConvertibleArgument(dir.path()));
  EXPECT_FALSE(IsConvertibleArgument(dir / "a.txt"));
  EXPECT_FALSE(IsConvertibleArgument(dir / "missing.mkv"));
  EXPECT_FALSE(IsConvertibleArgument("\"" + dir / "a.MkV" + "\""));
}

}  // namespace
}  // namespace parvela

namespace parvela {
namespace {

// A relative source named "-v name.mkv" would reach mkvinfo as an option.
TEST(CliOptions, EveryPathTheFrontEndTakesBecomesAbsolute) {
  CliOptions o = Parse({"-o", "out/", "--subs", "subs/film.srt", "--", "-v name.mkv"});
  MakePathsAbsolute(o, "/home/user");
  EXPECT_EQ(o.argumentText, "/home/user/-v name.mkv");
  EXPECT_EQ(o.output, "/home/user/out/");
  EXPECT_EQ(o.subs, "/home/user/subs/film.srt");
  CliOptions absolute = Parse({"-o", "/out", "/films/a.mkv"});
  MakePathsAbsolute(absolute, "/");
  EXPECT_EQ(absolute.argumentText, "/films/a.mkv");
  EXPECT_EQ(absolute.output, "/out");
  EXPECT_EQ(absolute.subs, "");
}

}  // namespace
}  // namespace parvela
