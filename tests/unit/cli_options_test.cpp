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
