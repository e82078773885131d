// The window's design-time state and the rules by which the option boxes constrain one another.
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace parvela {
namespace {

using testing::FormFixture;

// Value and enabled state of the four interlocked boxes, as one comparable text.
std::string Options(const Form1& f) {
  auto one = [](const char* name, const CheckBox& b) {
    return std::string(name) + "=" + std::to_string(b.Value()) + (b.Enabled() ? "e" : "d");
  };
  return one("FF", f.chkFF) + " " + one("MP2", f.chkMP2) + " " + one("Vob", f.chkVob) + " " +
         one("25", f.chk25);
}

class UiOptions : public ::testing::Test {
 protected:
  FormFixture fx;
  Form1& f = fx.form;
};

TEST_F(UiOptions, CaptionsAndHintsKeepEveryBlank) {
  EXPECT_EQ(f.caption, "Parvela 0.23");
  EXPECT_EQ(f.chkDVD.Caption(), "  Fit to DVD (4.7)");
  EXPECT_EQ(f.chk25.ToolTip(),
            "Speed up the video slightly, to play exteremely smooth on 720p50 displays.");
  EXPECT_EQ(f.chkVob.ToolTip(), "PS3 only method to encode 5.1 audio + h264 video in a m2ts");
  EXPECT_EQ(f.Frame2.ToolTip(), "Original Audio format ");
  EXPECT_EQ(f.Autosplit.ToolTip(),
            "Needed for MP4 on PS3, and where you want to store data on a FAT32 disk.");
  EXPECT_EQ(f.lblSRTFound.Caption(), "SRT Found !");
  EXPECT_EQ(f.cmdConv.Items(), (std::vector<std::string>{"MPEG2", "H264", "Xvid!"}));
}

TEST_F(UiOptions, DesignTimeState) {
  EXPECT_EQ(Options(f), "FF=0e MP2=0e Vob=0e 25=0e");
  EXPECT_TRUE(f.Check1.Checked());
  EXPECT_TRUE(f.chkDVD.Enabled());
  EXPECT_TRUE(f.chkChapters.Checked());
  EXPECT_FALSE(f.chkChapters.Visible());
  EXPECT_FALSE(f.chkSubs.Visible());
  EXPECT_FALSE(f.cmbSubs.Visible());
  EXPECT_FALSE(f.lblSRTFound.Visible());
  EXPECT_FALSE(f.Option1.Enabled());
  EXPECT_EQ(f.cmdConv.ListIndex(), -1);
  EXPECT_EQ(f.txtTMP.Text(), fx.app.homeFolder);  // the Windows drive root becomes home
}

TEST_F(UiOptions, SplitBoxGovernsFitToDvdWithoutClearingIt) {
  f.chkDVD.SetValue(1);
  f.Check1.SetValue(0);
  EXPECT_FALSE(f.chkDVD.Enabled());
  EXPECT_EQ(f.chkDVD.Value(), 1);
  f.Check1.SetValue(1);
  EXPECT_TRUE(f.chkDVD.Enabled());
}

TEST_F(UiOptions, SafeSyncClearsAndDisablesTheOtherThree) {
  f.chkFF.SetValue(1);
  EXPECT_EQ(Options(f), "FF=1e MP2=0d Vob=0d 25=0d");
  f.chkFF.SetValue(0);
  EXPECT_EQ(Options(f), "FF=0e MP2=0e Vob=0e 25=0e");
}

TEST_F(UiOptions, SafeSyncOverCheckedBoxesRunsTheirHandlers) {
  f.chkMP2.SetValue(1);
  f.chkSubs.SetValue(1);
  f.chkFF.SetValue(1);
  EXPECT_EQ(Options(f), "FF=1e MP2=0d Vob=0d 25=0d");
  // Unchecking MPEG2 Recode by the cascade cleared and disabled Embed subs.
  EXPECT_EQ(f.chkSubs.Value(), 0);
  EXPECT_FALSE(f.chkSubs.Enabled());
}

TEST_F(UiOptions, TwentyFiveFpsDisablesTheOthersKeepingValues) {
  f.chkMP2.SetValue(1);
  f.chk25.SetEnabled(true);
  f.chk25.SetValue(1);
  EXPECT_EQ(Options(f), "FF=0d MP2=1d Vob=0d 25=1e");
  f.chk25.SetValue(0);
  EXPECT_EQ(Options(f), "FF=0e MP2=1e Vob=0e 25=0e");
}

TEST_F(UiOptions, MpegRecodeDisables25AndOffersEmbedSubs) {
  f.chkSubs.SetEnabled(false);
  f.chkMP2.SetValue(1);
  EXPECT_EQ(Options(f), "FF=0e MP2=1e Vob=0e 25=0d");
  EXPECT_TRUE(f.chkSubs.Enabled());
  f.chkSubs.SetValue(1);
  f.chkMP2.SetValue(0);
  EXPECT_EQ(Options(f), "FF=0e MP2=0e Vob=0e 25=0e");
  EXPECT_EQ(f.chkSubs.Value(), 0);
  EXPECT_FALSE(f.chkSubs.Enabled());
}

TEST_F(UiOptions, MuxToVobClearsSafeSyncAnd25) {
  f.chkFF.SetValue(1);
  f.chkFF.SetEnabled(true);  // a box disabled by a rule can still be set by code
  f.chkVob.SetEnabled(true);
  f.chkVob.SetValue(1);
  EXPECT_EQ(Options(f), "FF=0d MP2=0e Vob=1e 25=0d");
  f.chkVob.SetValue(0);
  EXPECT_EQ(Options(f), "FF=0e MP2=0e Vob=0e 25=0e");
}

TEST_F(UiOptions, UncheckingVobReenables25EvenWithMpegRecodeChecked) {
  f.chkMP2.SetValue(1);
  f.chkVob.SetValue(1);
  EXPECT_EQ(Options(f), "FF=0d MP2=1e Vob=1e 25=0d");
  f.chkVob.SetValue(0);
  EXPECT_EQ(Options(f), "FF=0e MP2=1e Vob=0e 25=0e");
}

TEST_F(UiOptions, SameValueRunsNoHandler) {
  f.chk25.SetValue(1);
  f.chkMP2.SetEnabled(true);  // a handler run again would disable it once more
  f.chk25.SetValue(1);
  EXPECT_TRUE(f.chkMP2.Enabled());
}

TEST_F(UiOptions, AudioListShowsTheChosenRowsFormatAndTrack) {
  fx.app.sourceInfo.audioTracks[0] = {" eng", "0", "2"};
  fx.app.sourceInfo.audioTracks[1] = {" ger", "1", "3"};
  f.cmbAudio.AddItem(" eng");
  f.cmbAudio.AddItem(" ger");
  f.cmbAudio.SetListIndex(1);
  EXPECT_EQ(f.Option1.Selected(), 1);
  EXPECT_EQ(f.txtS2.Text(), "3");
  f.cmbAudio.SetListIndex(0);
  EXPECT_EQ(f.Option1.Selected(), 0);
  EXPECT_EQ(f.txtS2.Text(), "2");
}

}  // namespace
}  // namespace parvela
