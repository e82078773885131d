// The transport-stream road's roles: h264info's streaming level rewrite, and tsMuxeR refusing
// what it cannot read. (valdec and aften on the road's lines: cli_vob_test.)
#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

std::string Tool(const std::string& relative) { return Quoted(AppTool(relative)); }

// Sequence parameter sets at the start, across the tool's 4 MiB block boundary and at the end;
// everything else must come through byte for byte.
TEST(ToolkitTs, H264InfoSetsLevel41InEverySpsOfAStreamLargerThanItsBlock) {
  TempDir app, dir;
  std::filesystem::create_symlink(AppTool("parvela-tools"), app / "h264info.exe");
  const std::string sps("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9);
  std::string stream(9 << 20, '\x5A');
  std::vector<size_t> at = {0, (4u << 20) - 5, stream.size() - sps.size()};
  for (size_t a : at) stream.replace(a, sps.size(), sps);
  WriteFile(dir / "movie_raw.h264", stream);
  WriteFile(app / "h264info.ini", "[Paths]\r\nInputPath=" + dir / "movie_raw.h264" + "\r\nOutputPath=" +
                                      dir / "movie.h264" + "\r\n");
  Ran ran = RunLine(Quoted(app / "h264info.exe"));
  ASSERT_EQ(ran.code, 0) << ran.err;
  for (size_t a : at) stream[a + 7] = '\x29';
  EXPECT_TRUE(ReadFile(dir / "movie.h264") == stream);

  std::filesystem::remove(app / "h264info.ini");
  std::filesystem::remove(dir / "movie.h264");
  ran = RunLine(Quoted(app / "h264info.exe"));
  EXPECT_NE(ran.code, 0);
  EXPECT_NE(ran.err.find("h264info.ini"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "movie.h264"));
}

TEST(ToolkitTs, TsMuxerWritesNothingWhenATrackIsMissingOrEmpty) {
  TempDir dir;
  const std::string h264 = dir / "movie.h264", ac3 = dir / "movie.ac3", meta = dir / "movie.meta";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:d=1", "-c:v", "libx264", "-preset",
                      "ultrafast", "-pix_fmt", "yuv420p", "-f", "h264", h264}));
  WriteFile(ac3, "");
  // Bare line feeds are read as well as CR LF.
  WriteFile(meta, "V_MPEG4/ISO/AVC, \"" + h264 + "\", fps=25\nA_AC3, \"" + ac3 + "\"\n");
  Ran ran = RunLine(Tool("TS/tsmuxer.exe") + " " + Quoted(meta) + " " + Quoted(dir / "out.m2ts"));
  EXPECT_NE(ran.code, 0);
  EXPECT_NE(ran.err.find(ac3), std::string::npos) << ran.err;
  std::filesystem::remove(ac3);
  ran = RunLine(Tool("TS/tsmuxer.exe") + " " + Quoted(meta) + " " + Quoted(dir / "out.m2ts"));
  EXPECT_NE(ran.code, 0);
  EXPECT_EQ(FolderListing(dir.path()), (std::vector<std::string>{"movie.h264", "movie.meta"}));
}

}  // namespace
}  // namespace parvela::testing::toolkit
