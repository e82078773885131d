// parvela-cli on the two kinds of source that skip the common start: MPEG-2 video, repacked
// into a program stream, and VC-1 video, left as its raw stream beside a stereo WMA file.
#include <gtest/gtest.h>

#include <filesystem>

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

namespace fs = std::filesystem;

// The road never decodes the video, so an MPEG-4 stream labelled WVC1 stands in for VC-1; with
// a global header its stream format carries extra data, as a real VC-1 one carries its
// sequence header.
::testing::AssertionResult MakeWvc1Avi(const std::string& avi) {
  auto made = Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t", "2", "-c:v", "mpeg4", "-flags",
                      "+global_header", avi});
  if (!made) return made;
  std::string bytes = ReadFile(avi);
  for (size_t at = bytes.find("FMP4"); at != std::string::npos && at < 8192; at = bytes.find("FMP4", at)) {
    bytes.replace(at, 4, "WVC1");
  }
  WriteFile(avi, bytes);
  return ::testing::AssertionSuccess();
}

// The extra data after the 40-byte bitmap header of the AVI's video stream format.
std::string StreamFormatExtra(const std::string& avi) {
  const std::string bytes = ReadFile(avi);
  const size_t format = bytes.find("strf", bytes.find("vids"));
  if (format == std::string::npos) return {};
  const size_t size = static_cast<uint8_t>(bytes[format + 4]) | static_cast<uint8_t>(bytes[format + 5]) << 8;
  return size > 40 ? bytes.substr(format + 8 + 40, size - 40) : std::string();
}

class CliSourceKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
  }
  Ran Convert(const std::string& source) {
    return Spawn({"env", "HOME=" + home.path(), app / "parvela-cli", "-o", out.path(), source});
  }
  TempDir app, home, in, out;
};

TEST_F(CliSourceKinds, Mpeg2SourceBecomesAProgramStreamWithItsAudioCopied) {
  const std::string source = in / "my.show.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
                      "sine=sample_rate=48000", "-t", "2", "-c:v", "mpeg2video", "-c:a", "ac3", source}));
  Ran ran = Convert(source);
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Lines(ran.out), (std::vector<std::string>{"MPEG-2 \u2192 copied \u00b7 AC-3 \u2192 copied "
                                                      "\u00b7 MPEG program stream (.mpg)",
                                                      "Repacking to mpeg2 container", "Conversion done",
                                                      "Plays on: PS3 (Xbox 360: MPEG program stream)"}));
  EXPECT_EQ(FolderListing(out.path()), std::vector<std::string>{"my.show.mpg"});
  const std::string mpg = out / "my.show.mpg";
  EXPECT_EQ(Spawn({"ffprobe", "-v", "error", "-show_entries", "format=format_name", "-of", "csv=p=0", mpg}).out,
            "mpeg\n");
  EXPECT_EQ(Probe(mpg, "codec_name,width"), "mpeg2video,320\nac3,?");
  EXPECT_NEAR(ProbeDuration(mpg), 2.0, 0.2);
}

TEST_F(CliSourceKinds, Vc1SourceInVfwModeLeavesTheRawStreamAndAStereoWma) {
  const std::string avi = in / "video.avi", source = in / "film.mkv";
  ASSERT_TRUE(MakeWvc1Avi(avi));
  ASSERT_TRUE(Ffmpeg({"-i", avi, "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "2", "-map", "0:v", "-map",
                      "1:a", "-c:v", "copy", "-c:a", "ac3", "-ac", "6", source}));
  Ran ran = Convert(source);
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Lines(ran.out).back(), "Conversion Done");
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"movie.wma", "movie_video.vc1"}));
  EXPECT_EQ(Probe(out / "movie.wma", "codec_name,channels,bit_rate"), "wmav2,2,192000");
  EXPECT_NEAR(ProbeDuration(out / "movie.wma"), 2.0, 0.2);
  // An AVI keeps the sequence header in its stream format: the raw stream must begin with it.
  const std::string header = StreamFormatExtra(avi), raw = ReadFile(out / "movie_video.vc1");
  ASSERT_FALSE(header.empty());
  EXPECT_EQ(raw.substr(0, header.size()), header);
  EXPECT_GT(raw.size(), 10 * header.size());
}

}  // namespace
}  // namespace parvela::testing::toolkit
