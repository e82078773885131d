// The re-encoding roads through parvela-cli and the real tool folder, on small generated sources.
#include <gtest/gtest.h>

#include <filesystem>

#include "toolkit_test_util.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using namespace testing::toolkit;

// Two seconds of 320x240 H.264 with 16 reference frames, AC-3 stereo, and an SRT track.
void MakeRecodeSource(const std::string& path, const std::string& srt) {
  WriteFile(srt, "1\r\n00:00:00,000 --> 00:00:02,000\r\nHELLO PARVELA\r\n\r\n");
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=24000/1001", "-f", "lavfi", "-i",
                      "sine=sample_rate=48000", "-i", srt, "-t", "2", "-map", "0:v", "-map", "1:a", "-map", "2:s",
                      "-c:v", "libx264", "-preset", "veryfast", "-x264-params", "ref=16", "-c:a", "ac3", "-ac", "2",
                      "-c:s", "srt", path}));
}

// A header field of the first H.264 sequence parameter set, as ffmpeg's header trace prints it.
int SpsField(const std::string& file, const std::string& field) {
  Ran ran = Spawn({"ffmpeg", "-nostdin", "-hide_banner", "-i", file, "-map", "0:v", "-c", "copy", "-bsf:v",
                   "trace_headers", "-f", "null", "-"});
  for (const auto& line : Lines(ran.err)) {
    size_t at = line.find(" " + field + " ");
    if (at != std::string::npos) return std::stoi(line.substr(line.rfind('=') + 1));
  }
  return -1;
}

// The grey picture of frame `n`, as raw bytes.
std::string Frame(const std::string& file, int n) {
  const std::string select = "select=eq(n\\," + std::to_string(n) + ")";
  return Spawn({"ffmpeg", "-nostdin", "-loglevel", "error", "-i", file, "-vf", select, "-frames:v", "1", "-f",
                "rawvideo", "-pix_fmt", "gray", "-"})
      .out;
}

class RecodeCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(AppTool("parvela-cli")));
    // A fresh installation each time: no settings file, so no target is selected.
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
    fs::remove(app / "parvela.conf");
    source = in / "My.Film.mkv";
    MakeRecodeSource(source, in / "subs.srt");
  }
  Ran Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {app / "parvela-cli", "-o", out.path()});
    return Spawn(args);
  }

  TempDir app, in, out;
  std::string source;
};

TEST_F(RecodeCli, H264From16ReferenceFramesIsLevel41WithFourAndBurnsTheSourcesOwnTrack) {
  // The checker passes this small picture, so only the user's --recode asks for re-encoding.
  Ran plain = Cli({"--recode", "h264", source});
  ASSERT_EQ(plain.code, 0) << plain.err;
  const std::string mp4 = out / "My_Film.mp4";
  EXPECT_EQ(Probe(mp4, "codec_name,level", "v"), "h264,41");
  EXPECT_EQ(Probe(mp4, "codec_name,profile,channels", "a"), "aac,LC,2");
  EXPECT_EQ(SpsField(source, "max_num_ref_frames"), 16);
  EXPECT_EQ(SpsField(mp4, "max_num_ref_frames"), 4);  // two, and two more for the B-frame pyramid
  const std::string without = Frame(mp4, 12);
  fs::remove(mp4);

  Ran burnt = Cli({"--recode", "h264", "--sub-track", "1", source});
  ASSERT_EQ(burnt.code, 0) << burnt.err;
  const std::string with = Frame(mp4, 12);
  ASSERT_EQ(with.size(), 320u * 240u);
  ASSERT_EQ(without.size(), with.size());
  // The text sits in the lower part of the picture; the upper half stays as it was.
  size_t lowerDiffs = 0, upperDiffs = 0;
  for (size_t i = 0; i < with.size(); ++i) {
    if (std::abs(with[i] - without[i]) > 40) ++(i < with.size() / 2 ? upperDiffs : lowerDiffs);
  }
  EXPECT_GT(lowerDiffs, 200u);
  EXPECT_LT(upperDiffs, 50u);
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"My_Film.mp4"}));
}

TEST_F(RecodeCli, Mpeg2GivesAProgramStreamWithMpeg2VideoAndAc3) {
  Ran ran = Cli({"--recode", "mpeg2", "--subs", in / "subs.srt", source});
  ASSERT_EQ(ran.code, 0) << ran.err;
  const std::string mpg = out / "My.Film.mpg";
  EXPECT_EQ(Spawn({"ffprobe", "-v", "error", "-show_entries", "format=format_name", "-of", "csv=p=0", mpg}).out,
            "mpeg\n");
  EXPECT_EQ(Probe(mpg, "codec_name,width,height", "v"), "mpeg2video,320,240");
  EXPECT_EQ(Probe(mpg, "codec_name", "a"), "ac3");
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"My.Film.mpg"}));
}

TEST_F(RecodeCli, XvidGivesAnAviWithXvidAndAc3) {
  fs::copy_file(in / "subs.srt", in / "My.Film.srt");
  Ran ran = Cli({"--recode", "xvid", "--srt-beside", source});
  ASSERT_EQ(ran.code, 0) << ran.err;
  const std::string avi = out / "My.Film.avi";
  EXPECT_EQ(Probe(avi, "codec_name,codec_tag_string,profile", "v"), "mpeg4,XVID,Advanced Simple Profile");
  EXPECT_EQ(Probe(avi, "codec_name,bit_rate", "a"), "ac3,640000");
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"My.Film.avi"}));
}

TEST_F(RecodeCli, ASourceNamedMovieKeepsItsOutputAndTheUsersMp4) {
  const std::string movie = in / "movie.mkv";
  fs::rename(source, movie);
  WriteFile(out / "movie.mp4", "the user's film");
  for (const char* target : {"mpeg2", "xvid"}) {
    SCOPED_TRACE(target);
    Ran ran = Cli({"--recode", target, movie});
    ASSERT_EQ(ran.code, 0) << ran.err;
  }
  EXPECT_EQ(Probe(out / "movie.mpg", "codec_name"), "mpeg2video\nac3");
  EXPECT_EQ(Probe(out / "movie.avi", "codec_name"), "mpeg4\nac3");
  EXPECT_EQ(ReadFile(out / "movie.mp4"), "the user's film");
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"movie.avi", "movie.mp4", "movie.mpg"}));
}

TEST(AvimuxRole, ASizeCapCutsPiecesAndOffWritesOneFile) {
  TempDir dir;
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=25", "-t", "4", "-c:v", "mpeg4", "-q:v", "1",
                      "-g", "10", dir / "movie.avi"}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "4", "-c:a", "ac3", dir / "movie.ac3"}));
  const std::string head =
      "LOAD " + dir / "movie.avi" + "\r\nLOAD " + dir / "movie.ac3" + "\r\nadd video 1\r\nADD AUDIO 2\r\n";
  WriteFile(dir / "off.amg", head + "MaxFileSize OFF\r\nSTART " + dir / "whole.avi\r\n");
  ASSERT_EQ(RunLine("\"" + AppTool("avimux/avimux_gui.exe") + "\" \"" + dir / "off.amg\"").code, 0);
  EXPECT_EQ(Probe(dir / "whole.avi", "codec_name"), "mpeg4\nac3");
  EXPECT_GT(fs::file_size(dir / "whole.avi"), 2u * 1024 * 1024);

  WriteFile(dir / "capped.amg", head + "MAXFILESIZE 1\r\nSTART " + dir / "capped.avi\r\n");
  ASSERT_EQ(RunLine("\"" + AppTool("avimux/avimux_gui.exe") + "\" \"" + dir / "capped.amg\"").code, 0);
  EXPECT_FALSE(fs::exists(dir / "capped.avi"));
  ASSERT_TRUE(fs::exists(dir / "capped-3.avi"));
  for (int i = 1; fs::exists(dir / ("capped-" + std::to_string(i) + ".avi")); ++i) {
    EXPECT_LE(fs::file_size(dir / ("capped-" + std::to_string(i) + ".avi")), 1024u * 1024u) << i;
  }

  // 2^44 + 1 MiB wrapped round to a cap of 1 MiB once; such a cap is refused and nothing written.
  WriteFile(dir / "wrapped.amg", head + "MAXFILESIZE 17592186044417\r\nSTART " + dir / "wrapped.avi\r\n");
  Ran wrapped = RunLine("\"" + AppTool("avimux/avimux_gui.exe") + "\" \"" + dir / "wrapped.amg\"");
  EXPECT_NE(wrapped.code, 0);
  EXPECT_NE(wrapped.err.find("MAXFILESIZE"), std::string::npos) << wrapped.err;
  EXPECT_FALSE(fs::exists(dir / "wrapped-1.avi"));
}

}  // namespace
}  // namespace parvela
