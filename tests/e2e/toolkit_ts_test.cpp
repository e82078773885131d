// The transport-stream road's roles: valdec and aften on its command lines, h264info's
// streaming level rewrite, and tsMuxeR refusing what it cannot read.
#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

std::string Tool(const std::string& relative) { return Quoted(AppTool(relative)); }

TEST(ToolkitTs, DtsFiveOneStaysFiveOneThroughValdecAndAften) {
  TempDir dir;
  const std::string dts = dir / "movie.dts", wav = dir / "movie.wav", ac3 = dir / "movie.ac3";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000:d=1", "-ac", "6", "-c:a", "dca", "-strict", "-2", dts}));
  Ran ran = RunLine(Tool("ac3filter/valdec.exe") + " " + Quoted(dts) + " -wav " + Quoted(wav) + " -fmt:0");
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Probe(wav, "codec_name,channels"), "pcm_s16le,6");
  ran = RunLine(Tool("aften/aften.exe") + " " + Quoted(wav) + " -b 640 " + Quoted(ac3));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Probe(ac3, "codec_name,channels,bit_rate"), "ac3,6,640000");
  // Nothing to encode: no output, not even an empty one.
  ran = RunLine(Tool("aften/aften.exe") + " " + Quoted(dir / "none.wav") + " -b 640 " + Quoted(dir / "none.ac3"));
  EXPECT_NE(ran.code, 0);
  EXPECT_EQ(FolderListing(dir.path()), (std::vector<std::string>{"movie.ac3", "movie.dts", "movie.wav"}));
}

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
