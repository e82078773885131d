// Which road a run takes: the split thresholds, the VC-1 source with re-encoding, reused inspections.
#include <gtest/gtest.h>

#include <unistd.h>

#include "form_fixture.h"
#include "fsutil/fsutil.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::TempDir;
using testing::WriteFile;

class Roads : public ::testing::Test {
 protected:
  void SetUp() override {
    source = in / "film.mkv";
    WriteFile(source, "mkv");
    fx.app.sourceInfo.videoKind = "avc";
    fx.form.Option1.Select(0);
    fx.form.txtFile.SetText(source);
    fx.form.txtTMP.SetText(out.path() + "/");
    fx.form.Check1.SetValue(0);
    fx.app.freeSpace = [](const std::string&, uint64_t& bytes) {
      bytes = 1ULL << 50;  // room for any split, whatever the test machine's disk holds
      return true;
    };
  }
  // Runs the driver and returns the message shown, if any.
  std::string ConvertAndGetMessage() {
    fx.form.Command2_Click();
    return fx.host.messages.empty() ? std::string() : fx.host.messages.back().text;
  }
  void MakeSourceSize(uint64_t bytes) { ASSERT_EQ(::truncate(source.c_str(), static_cast<off_t>(bytes)), 0); }
  // Did the last run start with mkvmerge cutting the source?
  bool Split() const {
    return !fx.runner.calls.empty() && Contains(fx.runner.calls[0].commandLine, "/MKVToolnix/mkvmerge.exe");
  }
  void MakeMkvmerge() {
    std::filesystem::create_directories(fx.appDir / "MKVToolnix");
    WriteFile(fx.appDir / "MKVToolnix/mkvmerge.exe", "x");
  }

  FormFixture fx;
  TempDir in, out;
  std::string source;
};

TEST_F(Roads, VcOneWithRecodeTakesTheCommonStart) {
  fx.app.sourceInfo.videoKind = "vc1";
  fx.form.chkMP2.SetValue(1);
  fx.form.cmdConv.SetListIndex(1);
  fx.form.Command2_Click();
  ASSERT_FALSE(fx.runner.calls.empty());
  EXPECT_EQ(fx.runner.calls[0].commandLine.rfind("\"" + fx.appDir.path() + "/Mencoder/Mencoder.exe\"", 0), 0u);
}

TEST_F(Roads, SplitThresholdIsMeasuredInThousandsOfBytes) {
  MakeMkvmerge();
  fx.form.Check1.SetValue(1);
  MakeSourceSize(4189999499ULL);  // rounds to 4189999 units: below the threshold
  fx.form.Command2_Click();
  EXPECT_EQ(fx.form.splitThresholdKB, 4190000);
  EXPECT_FALSE(Split());
  fx.runner.calls.clear();
  MakeSourceSize(4189999500ULL);  // rounds up to 4190000 units: split
  fx.form.Command2_Click();
  EXPECT_TRUE(Split());
}

TEST_F(Roads, NeverSplitWithoutMkvmergeWithChaptersOrForXvid) {
  fx.form.Check1.SetValue(1);
  MakeSourceSize(5000000000ULL);
  auto split = [&] {
    fx.runner.calls.clear();
    fx.form.Command2_Click();
    return Split();
  };
  EXPECT_FALSE(split());  // no mkvmerge in the application folder
  MakeMkvmerge();
  EXPECT_TRUE(split());
  fx.form.bChapters = true;
  EXPECT_FALSE(split());
  fx.form.bChapters = false;
  fx.form.cmdConv.SetListIndex(2);  // "Xvid!" prevents splitting even without recoding
  EXPECT_FALSE(split());
}

TEST_F(Roads, SplitThresholdsForDvdAndMpeg2) {
  MakeMkvmerge();
  fx.form.Check1.SetValue(1);
  MakeSourceSize(10);
  fx.form.chkDVD.SetValue(1);
  fx.form.chkVob.SetValue(1);
  fx.form.Command2_Click();
  EXPECT_EQ(fx.form.splitThresholdKB, 4240741);
  fx.form.chkVob.SetValue(0);
  fx.form.chkMP2.SetValue(1);
  fx.form.cmdConv.SetListIndex(0);
  fx.form.Command2_Click();
  EXPECT_EQ(fx.form.splitThresholdKB, 2400000);
}

TEST_F(Roads, TwoRunsWithoutNewInspectionReuseTheSourceInfo) {
  fx.app.sourceInfo.videoKind = "mpeg2";
  fx.form.Command2_Click();
  fx.form.txtFile.SetText(in / "other.mkv");
  fx.form.Command2_Click();
  // No inspection ran: both runs repack, the second one the file named by hand.
  ASSERT_EQ(fx.runner.calls.size(), 2u);
  EXPECT_EQ(fx.runner.calls[1].commandLine, "\"" + fx.appDir / "FFMpeg/FFmpeg.exe\" -threads 4 -i \"" + in / "other.mkv" +
                                                "\" -vcodec copy -acodec copy -f vob -copyts -y \"" + out / "other.mpg" +
                                                "\" -bug ms");
}

}  // namespace
}  // namespace parvela
