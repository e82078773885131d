// The playability rules on stream descriptions, and the description of a file from ffprobe's
// report (played by the test) and the file's own header bytes.
#include <gtest/gtest.h>

#include "form_fixture.h"
#include "fsutil/fsutil.h"
#include "playability/playability.h"

namespace parvela::playability {
namespace {

using parvela::testing::FormFixture;
using parvela::testing::TempDir;
using parvela::testing::WriteFile;
using Kind = Stream::Kind;

Stream H264(int width = 1280, int height = 720, int level = 41, int refs = 4, const char* profile = "High") {
  Stream s;
  s.kind = Kind::Video;
  s.codec = "h264";
  s.profile = profile;
  s.width = width;
  s.height = height;
  s.level = level;
  s.refFrames = refs;
  return s;
}

Stream Audio(const char* codec, int channels = 2, const char* profile = "") {
  Stream s;
  s.kind = Kind::Audio;
  s.codec = codec;
  s.channels = channels;
  s.profile = profile;
  return s;
}

Stream Xvid(int width = 640, int height = 352, bool gmc = false, bool qpel = false) {
  Stream s;
  s.kind = Kind::Video;
  s.codec = "mpeg4";
  s.profile = "Advanced Simple Profile";
  s.width = width;
  s.height = height;
  s.gmc = gmc;
  s.qpel = qpel;
  return s;
}

Stream Mpeg2() {
  Stream s;
  s.kind = Kind::Video;
  s.codec = "mpeg2video";
  return s;
}

MediaFile File(Container container, std::vector<Stream> streams, bool indexFirst = true) {
  MediaFile f;
  f.container = container;
  f.streams = std::move(streams);
  f.indexFirst = indexFirst;
  return f;
}

std::string LineFor(const MediaFile& file) { return Judge(file).Line(); }

TEST(PlayabilityRules, WhatBothConsolesPlay) {
  Stream cover = H264();
  cover.kind = Kind::Other;  // an attached picture is no film
  cover.codec = "mjpeg";
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(1920, 1080), Audio("aac", 2, "LC"), cover})),
            "Plays on: PS3, Xbox 360");
  EXPECT_EQ(LineFor(File(Container::Avi, {Xvid(1280, 720), Audio("mp3")})), "Plays on: PS3, Xbox 360");
  EXPECT_TRUE(Judge(File(Container::Mp4, {H264()})).PlaysAnywhere());
}

TEST(PlayabilityRules, ContainersAConsoleRefuses) {
  EXPECT_EQ(LineFor(File(Container::Matroska, {H264(), Audio("ac3", 6)})), "Plays on: none (Matroska container)");
  EXPECT_EQ(LineFor(File(Container::TransportStream, {H264(), Audio("ac3", 6)})),
            "Plays on: PS3 (Xbox 360: MPEG transport stream)");
  EXPECT_EQ(LineFor(File(Container::ProgramStream, {Mpeg2(), Audio("pcm")})),
            "Plays on: PS3 (Xbox 360: MPEG program stream)");
  MediaFile rawVc1 = File(Container::Unknown, {H264()});
  rawVc1.formatName = "vc1";
  EXPECT_EQ(LineFor(rawVc1), "Plays on: none (vc1 format)");
}

TEST(PlayabilityRules, H264LimitsOfEveryConsole) {
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(320, 240, 51)})), "Plays on: none (H.264 level 5.1 above 4.1)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(1280, 720, 41, 4, "High 10")})),
            "Plays on: none (H.264 profile High 10)");
  // Four frames of 1080p fill the level 4.1 buffer; a fifth does not fit, whatever the label.
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(1920, 1080, 41, 4)})), "Plays on: PS3, Xbox 360");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(1920, 1080, 41, 5)})),
            "Plays on: none (5 reference frames, level 4.1 holds 4 at 1920x1080)");
  EXPECT_EQ(LineFor(File(Container::TransportStream, {H264(1920, 1080, 41, 16)})),
            "Plays on: none (PS3: 16 reference frames, level 4.1 holds 4 at 1920x1080; Xbox 360: MPEG transport "
            "stream)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264()}, false)), "Plays on: none (MP4 index after the media data)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(2048, 1080, 41, 3)})), "Plays on: PS3 (Xbox 360: H.264 above 1920x1080)");
}

// 1080p at 60 frames is beyond level 4.1 whatever its label says; 720p at 60 is within it.
TEST(PlayabilityRules, H264FrameRateWithinLevel41) {
  Stream fast = H264(1920, 1080);
  fast.fps = 60;
  EXPECT_EQ(LineFor(File(Container::Mp4, {fast})),
            "Plays on: none (H.264 at 1920x1080 and 60 frames a second, above level 4.1's macroblock rate)");
  Stream fast720 = H264(1280, 720);
  fast720.fps = 59.94;
  Stream film = H264(1920, 1080);
  film.fps = 30;
  EXPECT_EQ(LineFor(File(Container::Mp4, {fast720})), "Plays on: PS3, Xbox 360");
  EXPECT_EQ(LineFor(File(Container::Mp4, {film})), "Plays on: PS3, Xbox 360");
}

TEST(PlayabilityRules, AudioLimits) {
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(), Audio("aac", 6, "LC")})),
            "Plays on: PS3 (Xbox 360: AAC with 6 channels, above 2)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(), Audio("aac", 2, "HE-AAC")})), "Plays on: none (AAC profile HE-AAC)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(), Audio("ac3", 6)})), "Plays on: PS3 (Xbox 360: AC-3 audio)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {H264(), Audio("dts", 6)})), "Plays on: none (DTS audio)");
  EXPECT_EQ(LineFor(File(Container::ProgramStream, {Mpeg2(), Audio("mp2")})),
            "Plays on: none (PS3: MP2 audio; Xbox 360: MPEG program stream)");
  EXPECT_EQ(LineFor(File(Container::TransportStream, {Mpeg2(), Audio("mp2")})),
            "Plays on: PS3 (Xbox 360: MPEG transport stream)");
  EXPECT_EQ(LineFor(File(Container::Avi, {Xvid(), Audio("pcm")})), "Plays on: PS3 (Xbox 360: LPCM audio)");
  EXPECT_EQ(LineFor(File(Container::Mp4, {})), "Plays on: none (no video or audio stream)");
}

TEST(PlayabilityRules, Mpeg4Part2Limits) {
  EXPECT_EQ(LineFor(File(Container::Avi, {Xvid(1920, 800), Audio("ac3", 6)})),
            "Plays on: PS3 (Xbox 360: MPEG-4 Visual above 1280x720)");
  EXPECT_EQ(LineFor(File(Container::Avi, {Xvid(640, 352, true), Audio("mp3")})),
            "Plays on: Xbox 360 (PS3: MPEG-4 Visual with GMC)");
  EXPECT_EQ(LineFor(File(Container::Avi, {Xvid(640, 352, false, true), Audio("mp3")})),
            "Plays on: Xbox 360 (PS3: MPEG-4 Visual with quarter-pixel motion)");
  Stream simpleStudio = Xvid();
  simpleStudio.profile = "Simple Studio Profile";
  EXPECT_EQ(LineFor(File(Container::Avi, {simpleStudio})),
            "Plays on: PS3 (Xbox 360: MPEG-4 Visual profile Simple Studio Profile)");
  // Every reason is kept; the line names the first.
  const Verdict v = Judge(File(Container::Avi, {Xvid(1920, 1080, true, true), Audio("dts")}));
  EXPECT_EQ(v.consoles[0].reasons, (std::vector<std::string>{"MPEG-4 Visual with GMC",
                                                              "MPEG-4 Visual with quarter-pixel motion", "DTS audio"}));
  EXPECT_EQ(v.consoles[1].reasons, (std::vector<std::string>{"MPEG-4 Visual above 1280x720", "DTS audio"}));
}

// ffprobe's report as the toolkit's ffprobe writes it, with the extradata of real encodes.
const char* kMp4Report = R"({"streams": [
  {"codec_name": "h264", "profile": "Constrained Baseline", "codec_type": "video", "width": 1920, "height": 1080,
   "level": 41, "refs": 1, "extradata": "\n00000000: 0142 c029 ffe1 001b 6742 c029 a611 01e0  .B.)....gB.)....\n00000010: 089f 9701 1000 0003 0010 0000 0303 20f1  .............. .\n00000020: 8321 1801 0005 68c8 420f c8              .!....h.B..\n",
   "disposition": {"attached_pic": 0}},
  {"codec_name": "aac", "profile": "LC", "codec_type": "audio", "channels": 2, "extradata": "\n"}],
 "format": {"format_name": "mov,mp4,m4a,3gp,3g2,mj2"}})";

const char* kAviReport = R"({"streams": [
  {"codec_name": "mpeg4", "profile": "Advanced Simple Profile", "codec_type": "video", "width": 320, "height": 240,
   "extradata": "\n00000000: 0000 01b0 f500 0001 b509 0000 0100 0000  ................\n00000010: 0120 08ca 7808 0d88 00ce 1850 20f0 b078  . ..x......P ..x\n00000020: 6000 0001 b258 7669 4430 3036 39         `....XviD0069\n"},
  {"codec_name": "pcm_s16le", "codec_type": "audio", "channels": 2}],
 "format": {"format_name": "avi"}})";

class DescribeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolder(fx.appDir / "FFMpeg");
    WriteFile(fx.appDir / "FFMpeg/ffprobe.exe", "tool");
  }
  void PlayFfprobe(std::string report) {
    fx.runner.onRun = [this, report](const std::string& line) {
      const auto args = SplitCommandLine(line);
      for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-o" && !report.empty()) WriteFile(args[i + 1], report);
      }
      return 0;
    };
  }
  Verdict Check(const std::string& path) { return CheckFile(fx.app, path); }
  std::string Line(const std::string& path) const {
    const std::string a = fx.appDir.path();
    return "\"" + a + "/FFMpeg/ffprobe.exe\" -v error -print_format json -show_format -show_streams -show_data -o \"" +
           a + "/probe.json\" \"file:" + path + "\"";
  }
  FormFixture fx;
  TempDir media;
};

TEST_F(DescribeFileTest, Mp4LevelAndReferenceFramesComeFromTheParameterSetAndTheIndexFromTheBoxes) {
  const std::string mp4 = media / "film.mp4";
  // ftyp, then the media data before the index: the console would have to seek for it.
  WriteFile(mp4, std::string("\0\0\0\x10" "ftypisom\0\0\2\0", 16) + std::string("\0\0\0\x0c" "mdat0000", 12) +
                     std::string("\0\0\0\x08" "moov", 8));
  PlayFfprobe(kMp4Report);
  MediaFile file;
  std::string error;
  ASSERT_TRUE(DescribeFile(fx.runner, fx.appDir / "FFMpeg/ffprobe.exe", fx.appDir / "probe.json", mp4, file, error));
  EXPECT_EQ(fx.runner.Lines(), std::vector<std::string>{Line(mp4)});
  EXPECT_FALSE(FileIsPresent(fx.appDir / "probe.json"));
  EXPECT_EQ(file.container, Container::Mp4);
  EXPECT_FALSE(file.indexFirst);
  ASSERT_EQ(file.streams.size(), 2u);
  const Stream& v = file.streams[0];
  EXPECT_EQ(v.kind, Kind::Video);
  EXPECT_EQ(v.codec + " " + v.profile, "h264 Constrained Baseline");
  EXPECT_EQ(v.level, 41);
  EXPECT_EQ(v.refFrames, 16);  // ffprobe's "refs" says 1; the parameter set says 16
  EXPECT_EQ(std::to_string(v.width) + "x" + std::to_string(v.height), "1920x1080");
  EXPECT_EQ(file.streams[1].kind, Kind::Audio);
  EXPECT_EQ(file.streams[1].channels, 2);
  EXPECT_EQ(Check(mp4).Line(), "Plays on: none (16 reference frames, level 4.1 holds 4 at 1920x1080)");
}

TEST_F(DescribeFileTest, AviMotionFlagsComeFromTheVolHeader) {
  const std::string avi = media / "-film.avi";
  WriteFile(avi, "RIFF");
  PlayFfprobe(kAviReport);
  // GMC from the VOL header; every kind of PCM is LPCM to the rules.
  EXPECT_EQ(Check(avi).Line(), "Plays on: none (PS3: MPEG-4 Visual with GMC; Xbox 360: LPCM audio)");
  EXPECT_EQ(fx.runner.Lines(), std::vector<std::string>{Line(avi)});
}

TEST_F(DescribeFileTest, UnreadableFilesPlayNowhere) {
  EXPECT_EQ(Check(media / "missing.mp4").Line(), "Plays on: none (file not found)");
  EXPECT_TRUE(fx.runner.calls.empty());
  const std::string text = media / "notes.txt";
  WriteFile(text, "not a film");
  WriteFile(fx.appDir / "probe.json", R"({"streams": [], "format": {"format_name": "avi"}})");  // a leftover
  PlayFfprobe("");  // ffprobe refuses the file and writes nothing
  const Verdict v = Check(text);
  EXPECT_EQ(v.Line(), "Plays on: none (not a media file ffprobe can read)");
  EXPECT_FALSE(v.PlaysAnywhere());
  // Without the reader the verdict is unknown, not "none".
  DeleteFile(fx.appDir / "FFMpeg/ffprobe.exe");
  const Verdict unknown = Check(text);
  EXPECT_EQ(unknown.Line(), "Plays on: unknown (no ffprobe in the application folder)");
  EXPECT_FALSE(unknown.PlaysAnywhere());
}

}  // namespace
}  // namespace parvela::playability
