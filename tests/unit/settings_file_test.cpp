// The settings file: its bytes as written, and how each line is taken back at start-up.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "form_fixture.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::WriteFile;

class SettingsFile : public ::testing::Test {
 protected:
  std::string Path() const { return fx.appDir / "parvela.conf"; }

  // Ten lines; an empty text for a line leaves it out, so short files can be made too.
  void WriteSettings(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    WriteFile(Path(), text);
  }

  FormFixture fx;
  Form1& f = fx.form;
};

TEST_F(SettingsFile, SaveWritesTenCrLfLinesWithTheFixedNumberForm) {
  f.tools.Fill(fx.app.appFolder);
  f.txtTMP.SetText("/media/out/");
  f.chkVob.SetValue(1);
  f.strMKVPath = "/films/";
  f.strH264Opts = ":threads=auto:frameref=2";
  f.cmdConv.SetListIndex(2);
  f.strSubOpts = "-subwidth 90 -subfont-autoscale 1";
  f.SaveSettings();
  const std::string a = fx.app.appFolder;
  EXPECT_EQ(ReadFile(Path()), a + "/MKVToolnix/mkvextract.exe\r\n" + a + "/FFMpeg/FFmpeg.exe\r\n" +
                                  a + "/MP4Box/MP4Box.exe\r\n" +
                                  "/media/out/\r\n"
                                  " 1 \r\n"
                                  " 1 \r\n"
                                  "/films/\r\n"
                                  ":threads=auto:frameref=2\r\n"
                                  " 2 \r\n"
                                  "-subwidth 90 -subfont-autoscale 1\r\n");
}

TEST_F(SettingsFile, NoSelectionAndClearedBoxesReplacingAnOlderFile) {
  WriteFile(Path(), std::string(500, 'x'));
  f.Check1.SetValue(0);
  f.SaveSettings();
  EXPECT_EQ(ReadFile(Path()), "\r\n\r\n\r\n" + fx.app.homeFolder + "\r\n 0 \r\n 0 \r\n\r\n\r\n-1 \r\n\r\n");
}

TEST_F(SettingsFile, AReadOnlyFileIsNeitherDeletedNorRewritten) {
  WriteFile(Path(), "kept\r\n");
  ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
  f.SaveSettings();
  EXPECT_EQ(ReadFile(Path()), "kept\r\n");
}

TEST_F(SettingsFile, WhatWasSavedIsLoadedAtTheNextStart) {
  f.txtTMP.SetText("/media/out/");
  f.chkVob.SetValue(1);
  f.Check1.SetValue(0);
  f.strMKVPath = "/films/";
  f.strH264Opts = "opts";
  f.cmdConv.SetListIndex(1);
  f.strSubOpts = "subs";
  f.tools.Fill(fx.app.appFolder);
  f.SaveSettings();

  Application app2{fx.app.appFolder, fx.app.homeFolder, fx.runner, fx.host, fx.sleeper};
  Form1 next{app2};
  next.LoadSettings();
  EXPECT_EQ(next.tools.strMKV, f.tools.strMKV);
  EXPECT_EQ(next.tools.strFF, f.tools.strFF);
  EXPECT_EQ(next.tools.strMP4, f.tools.strMP4);
  EXPECT_EQ(next.txtTMP.Text(), "/media/out/");
  EXPECT_EQ(next.chkVob.Value(), 1);
  EXPECT_EQ(next.Check1.Value(), 0);
  EXPECT_EQ(next.strMKVPath, "/films/");
  EXPECT_EQ(next.strH264Opts, "opts");
  EXPECT_EQ(next.strConvOpts, " 1 ");
  EXPECT_EQ(next.cmdConv.ListIndex(), 1);
  EXPECT_EQ(next.strSubOpts, "subs");
}

TEST_F(SettingsFile, LoadedMuxToVobRunsItsHandler) {
  WriteSettings({"a", "b", "c", "/out/", " 1 ", " 0 ", "/films/", "o", " 0 ", "s"});
  f.LoadSettings();
  EXPECT_EQ(f.chkVob.Value(), 1);
  EXPECT_FALSE(f.chkFF.Enabled());
  EXPECT_FALSE(f.chk25.Enabled());
  EXPECT_EQ(f.Check1.Value(), 0);
  EXPECT_FALSE(f.chkDVD.Enabled());  // by the handler of the split box
}

TEST_F(SettingsFile, MissingFileKeepsTheDesignTimeState) {
  WriteFile(fx.appDir / "Parvela.conf", "a\r\nb\r\nc\r\n/elsewhere/\r\n 1 \r\n");  // other spelling
  f.LoadSettings();
  EXPECT_EQ(f.txtTMP.Text(), fx.app.homeFolder);
  EXPECT_EQ(f.chkVob.Value(), 0);
  EXPECT_EQ(f.Check1.Value(), 1);
  EXPECT_EQ(f.cmdConv.ListIndex(), -1);
  EXPECT_EQ(f.tools.strMKV, "");
  EXPECT_EQ(f.strConvOpts, "");
}

TEST_F(SettingsFile, ModeLineMustBeThreeCharacters) {
  struct Case {
    std::string line9;
    int index;
    std::string convOpts;
  };
  for (const Case& c : std::vector<Case>{{" 2 ", 2, " 2 "},
                                         {"2", 0, "0"},
                                         {" 2", 0, "0"},
                                         {"  2 ", 0, "0"},
                                         {"-1 ", -1, "-1 "},
                                         {" 0 ", 0, " 0 "}}) {
    FormFixture g;
    g.form.cmdConv.SetListIndex(1);
    WriteFile(g.appDir / "parvela.conf", "a\r\nb\r\nc\r\nd\r\n 0 \r\n 1 \r\ne\r\nf\r\n" + c.line9 + "\r\ng\r\n");
    g.form.LoadSettings();
    EXPECT_EQ(g.form.cmdConv.ListIndex(), c.index) << "[" << c.line9 << "]";
    EXPECT_EQ(g.form.strConvOpts, c.convOpts) << "[" << c.line9 << "]";
  }
}

TEST_F(SettingsFile, UnusableNumbersLeaveTheControlsAlone) {
  f.cmdConv.SetListIndex(1);
  WriteSettings({"a", "b", "c", "d", " 2 ", "yes", "e", "f", " 7 ", "g"});
  f.LoadSettings();
  EXPECT_EQ(f.chkVob.Value(), 0);
  EXPECT_EQ(f.Check1.Value(), 1);
  EXPECT_EQ(f.cmdConv.ListIndex(), 1);
  EXPECT_EQ(f.strConvOpts, " 7 ");
  EXPECT_EQ(f.strSubOpts, "g");
}

TEST_F(SettingsFile, NumbersAreReadWithoutTheirBlanks) {
  WriteSettings({"a", "b", "c", "d", "1", "  0", "e", "f", "abc", "g"});
  f.LoadSettings();
  EXPECT_EQ(f.chkVob.Value(), 1);
  EXPECT_EQ(f.Check1.Value(), 0);
  EXPECT_EQ(f.cmdConv.ListIndex(), -1);  // three characters, but no number
}

TEST_F(SettingsFile, AShortFileRepeatsItsLastLine) {
  WriteSettings({"/x/mkvextract.exe", "/x/FFmpeg.exe", "/x/MP4Box.exe", "/out/", " 0 ", " 1 ",
                 "/films/", "-my-options"});
  f.LoadSettings();
  EXPECT_EQ(f.strH264Opts, "-my-options");
  EXPECT_EQ(f.strConvOpts, "0");
  EXPECT_EQ(f.cmdConv.ListIndex(), 0);
  EXPECT_EQ(f.strSubOpts, "-my-options");
  EXPECT_EQ(f.txtTMP.Text(), "/out/");
  EXPECT_EQ(f.tools.strMP4, "/x/MP4Box.exe");
}

TEST_F(SettingsFile, AFileOfThreeLinesFillsTheOutputFolderWithTheThird) {
  WriteFile(Path(), "/x/mkvextract.exe\n/x/FFmpeg.exe\n/x/MP4Box.exe");  // bare LF, no last end
  f.LoadSettings();
  EXPECT_EQ(f.tools.strFF, "/x/FFmpeg.exe");
  EXPECT_EQ(f.txtTMP.Text(), "/x/MP4Box.exe");
  EXPECT_EQ(f.strMKVPath, "/x/MP4Box.exe");
  EXPECT_EQ(f.chkVob.Value(), 0);
}

TEST_F(SettingsFile, AnEmptyFileEmptiesTheTexts) {
  WriteFile(Path(), "");
  f.LoadSettings();
  EXPECT_EQ(f.txtTMP.Text(), "");
  EXPECT_EQ(f.cmdConv.ListIndex(), 0);
  EXPECT_EQ(f.Check1.Value(), 1);
}

}  // namespace
}  // namespace parvela
