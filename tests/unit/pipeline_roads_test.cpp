// Which road a run takes, and the roads that end with a message until they are built.
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
  }
  // Runs the driver and returns the message shown, if any.
  std::string ConvertAndGetMessage() {
    fx.form.Command2_Click();
    return fx.host.messages.empty() ? std::string() : fx.host.messages.back().text;
  }
  void MakeSourceSize(uint64_t bytes) { ASSERT_EQ(::truncate(source.c_str(), static_cast<off_t>(bytes)), 0); }
  void MakeMkvmerge() {
    std::filesystem::create_directories(fx.appDir / "MKVToolnix");
    WriteFile(fx.appDir / "MKVToolnix/mkvmerge.exe", "x");
  }

  FormFixture fx;
  TempDir in, out;
  std::string source;
};

TEST_F(Roads, LaterRoadsSayTheyAreNotAvailableInsteadOfSucceeding) {
  struct Case {
    std::function<void()> setup;
    std::string start;
    size_t toolRuns;
  };
  const std::vector<Case> cases = {
      {[this] { fx.app.sourceInfo.videoKind = "vc1"; }, "Converting VC-1 sources", 0},
      {[this] { fx.app.sourceInfo.videoKind = "mpeg2"; fx.form.chkMP2.SetValue(1); }, "Repacking MPEG-2", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    fx.form.chkMP2.SetValue(0);
    fx.form.chkVob.SetValue(0);
    fx.form.cmdConv.SetListIndex(-1);
    fx.app.sourceInfo.videoKind = "avc";
    fx.runner.calls.clear();
    c.setup();
    const std::string text = ConvertAndGetMessage();
    EXPECT_EQ(text.rfind(c.start, 0), 0u) << text;
    EXPECT_EQ(fx.host.messages.back().icon, MsgIcon::Critical);
    EXPECT_EQ(fx.form.txtProgress.Text(), "Conversion error.");
    EXPECT_EQ(fx.runner.calls.size(), c.toolRuns);
  }
}

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
  EXPECT_TRUE(fx.host.messages.empty() || fx.host.messages.back().title != "Not available");
  fx.host.messages.clear();
  MakeSourceSize(4189999500ULL);  // rounds up to 4190000 units: split
  EXPECT_EQ(ConvertAndGetMessage().rfind("Splitting sources above 4 GB", 0), 0u);
}

TEST_F(Roads, NeverSplitWithoutMkvmergeWithChaptersOrForXvid) {
  fx.form.Check1.SetValue(1);
  MakeSourceSize(5000000000ULL);
  auto split = [&] {
    fx.host.messages.clear();
    return ConvertAndGetMessage().rfind("Splitting", 0) == 0;
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
  ConvertAndGetMessage();
  fx.form.txtFile.SetText(in / "other.mkv");
  EXPECT_EQ(ConvertAndGetMessage().rfind("Repacking MPEG-2", 0), 0u);
  EXPECT_EQ(fx.runner.calls.size(), 0u);  // no inspection ran
}

}  // namespace
}  // namespace parvela
