// The application folder's tool links, the playability checker, and what every role does when
// its input is not there.
#include <sys/stat.h>

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

TEST(ToolkitFolderTest, EveryToolPathLeadsToTheMultiCallProgram) {
  std::string program = std::filesystem::canonical(AppTool("parvela-tools"));
  for (const char* tool : {"MKVToolnix/mkvinfo.exe", "MKVToolnix/mkvextract.exe", "MKVToolnix/mkvmerge.exe",
                           "FFMpeg/FFmpeg.exe", "ffmpeg/faad.exe", "MP4Box/MP4Box.exe", "ac3filter/valdec.exe",
                           "besweet/BeSweet.exe", "Sounds/soundstretch.exe", "Checker/x264_checker.exe"}) {
    EXPECT_TRUE(std::filesystem::is_symlink(AppTool(tool))) << tool;
    EXPECT_EQ(std::filesystem::canonical(AppTool(tool)).string(), program) << tool;
  }
  // Both spellings of the FFmpeg folder are one folder.
  EXPECT_EQ(std::filesystem::canonical(AppTool("ffmpeg")), std::filesystem::canonical(AppTool("FFMpeg")));
  // Without neroAacEnc Parvela takes its FFmpeg road.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(PARVELA_APP_DIR)) {
    EXPECT_EQ(entry.path().filename().string().rfind("neroAacEnc", 0), std::string::npos) << entry.path();
  }
}

class ToolkitCheckerTest : public ::testing::Test {
 protected:
  // Two 1080p High-profile pictures encoded with `refs` reference frames.
  ::testing::AssertionResult MakeSource(int refs) {
    return Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25", "-frames:v", "2", "-c:v", "libx264",
                   "-preset", "veryfast", "-profile:v", "high", "-level", "5.1", "-refs", std::to_string(refs),
                   source});
  }

  std::vector<std::string> Check() {
    Ran ran = RunLine(Quoted(AppTool("Checker/x264_checker.exe")) + " " + Quoted(source) + " " + Quoted(report));
    EXPECT_EQ(ran.code, 0) << ran.err;
    return Lines(ReadFile(report));
  }

  TempDir dir;
  std::string source = dir / "movie 1080.mkv", report = dir / "info.txt";
};

TEST_F(ToolkitCheckerTest, SixteenReferenceFramesDoNotFitAt1080p) {
  ASSERT_TRUE(MakeSource(16));
  std::vector<std::string> lines = Check();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "max_num_ref_frames: 16"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "level 4.1 buffer: 4 reference frames at this frame size"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "profile: High (profile_idc 100)"), lines.end());
  EXPECT_EQ(lines.back(), "dpb check: [FAILED]");
  EXPECT_NE(ReadFile(report).find("\r\n"), std::string::npos);
}

TEST_F(ToolkitCheckerTest, FourReferenceFramesPass) {
  ASSERT_TRUE(MakeSource(4));
  std::vector<std::string> lines = Check();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "frame size: 1920x1080 (120x68 macroblocks, frame_mbs_only_flag 1)"),
            lines.end());
  EXPECT_EQ(lines.back(), "dpb check: [OK]");
}

// Each role as Parvela calls it, with the input it names missing: a message naming the file,
// a failing exit, and no output made up.
TEST(ToolkitMissingInputTest, EveryRoleRefusesAMissingInput) {
  TempDir dir;
  std::string missing = dir / "gone.mkv", out = dir / "out";
  struct Case {
    const char* tool;
    std::string arguments, mustNotExist;
  };
  std::vector<Case> cases = {
      {"MKVToolnix/mkvextract.exe", "tracks " + Quoted(missing) + " 1:" + Quoted(out), out},
      {"MKVToolnix/mkvmerge.exe", "-o " + Quoted(out) + " -d 1 -a 2  " + Quoted(missing) + " --split 100K", out},
      {"FFMpeg/FFmpeg.exe", "-f wav -i " + Quoted(missing) + " -acodec libfaac -ac 2 -ab 224kb " + Quoted(out), out},
      {"ffmpeg/faad.exe", "-d " + Quoted(missing) + " -o " + Quoted(out), out},
      {"Sounds/soundstretch.exe", Quoted(missing) + " " + Quoted(out) + " -pitch=-1 ", out},
      {"ac3filter/valdec.exe", Quoted(missing) + " -wav " + Quoted(out) + " -spk:2 -fmt:0", out},
      {"besweet/BeSweet.exe", "-core( -input " + Quoted(missing) + " -2ch -output " + Quoted(out) + " ) -ota( -r 23976 25000 ) ", out},
      {"MP4Box/MP4Box.exe", "-add " + Quoted(missing) + " " + Quoted(out) + " -tmp " + Quoted(dir.path()), out},
      {"MP4Box/MP4Box.exe", "-aviraw video " + Quoted(missing), dir / "gone_video.h264"},
  };
  for (const Case& c : cases) {
    Ran ran = RunLine(Quoted(AppTool(c.tool)) + " " + c.arguments);
    EXPECT_NE(ran.code, 0) << c.tool;
    EXPECT_NE(ran.err.find("error: cannot find the input file " + missing), std::string::npos) << c.tool << ": " << ran.err;
    EXPECT_FALSE(FileIsPresent(c.mustNotExist)) << c.tool;
  }
}

// The report tools still leave a report, so that nobody waits for one in vain.
TEST(ToolkitMissingInputTest, ReportToolsWriteTheErrorIntoTheReport) {
  TempDir dir;
  std::string missing = dir / "gone.mkv", report = dir / "info.txt";
  Ran info = RunLine(Quoted(AppTool("MKVToolnix/mkvinfo.exe")) + " " + Quoted(missing) + " -o " + Quoted(report));
  EXPECT_NE(info.code, 0);
  EXPECT_EQ(ReadFile(report), "Error: Couldn't open source file " + missing + "\r\n");
  Ran checker = RunLine(Quoted(AppTool("Checker/x264_checker.exe")) + " " + Quoted(missing) + " " + Quoted(report));
  EXPECT_NE(checker.code, 0);
  EXPECT_EQ(ReadFile(report), "x264_checker: error: cannot find " + missing + "\r\n");
}

}  // namespace
}  // namespace parvela::testing::toolkit
