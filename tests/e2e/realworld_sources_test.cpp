// Sources shaped like the files people make (browser and screen recordings, webcam captures,
// old AVI-era codecs, files cut off after their header), each converted by parvela-cli with
// default options: the output's streams, its lengths against the source's, and its verdict; or
// the message that says why nothing could be made.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "toolkit_test_util.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using namespace testing::toolkit;

constexpr const char* kMp4Verdict = "Plays on: PS3, Xbox 360";
constexpr const char* kMpegVerdict = "Plays on: PS3 (Xbox 360: MPEG program stream)";

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The few EBML rewrites that give a generated file the traits of a recorded one.
class Ebml {
 public:
  explicit Ebml(std::string bytes) : b_(std::move(bytes)) {}
  const std::string& Bytes() const { return b_; }

  // Turns the first element `id` (its bytes as written) after `from` into a Void element of the
  // same length, as if the writer had never written it. False when there is none.
  bool VoidFirst(const std::string& id, size_t from = 0) {
    const size_t at = b_.find(id, from);
    if (at == std::string::npos) return false;
    size_t sizeLength = 0;
    const uint64_t size = Number(at + id.size(), sizeLength);
    const size_t newSizeLength = sizeLength + id.size() - 1;  // Void's identifier is one byte
    if (newSizeLength > 8) return false;
    b_[at] = '\xEC';
    for (size_t i = 0; i < newSizeLength; ++i) {
      const uint64_t marker = i == 0 ? (0x80u >> (newSizeLength - 1)) : 0;
      b_[at + 1 + i] = static_cast<char>(marker | ((size >> (8 * (newSizeLength - 1 - i))) & 0xFF));
    }
    return true;
  }

  // Sets the one-byte value of the first element `id` after `from` to 0. False when there is none.
  bool ZeroFirst(const std::string& id, size_t from = 0) {
    const size_t at = b_.find(id + "\x81", from);
    if (at == std::string::npos) return false;
    b_[at + id.size() + 1] = '\0';
    return true;
  }

  // Rewrites every frame of track 1 from 4-byte length prefixes to Annex B start codes, as a
  // browser's recorder stores H.264.
  void FramesToAnnexB() {
    ForEachBlock([this](size_t data, size_t end) {
      if (static_cast<unsigned char>(b_[data]) != 0x81) return false;
      for (size_t nal = data + 4; nal + 4 <= end;) {  // after the track number, timestamp and flags
        const uint32_t length = (uint32_t(uint8_t(b_[nal])) << 24) | (uint32_t(uint8_t(b_[nal + 1])) << 16) |
                                (uint32_t(uint8_t(b_[nal + 2])) << 8) | uint8_t(b_[nal + 3]);
        b_.replace(nal, 4, std::string("\0\0\0\1", 4));
        nal += 4 + length;
      }
      return false;
    });
  }

  // Turns every frame of track 2 into a Void element: the track keeps its header, but no
  // reader finds a frame of it.
  void DropFramesOfTrack2() {
    ForEachBlock([this](size_t data, size_t) { return static_cast<unsigned char>(b_[data]) == 0x82; });
  }

 private:
  // A variable-length number with its length marker removed.
  uint64_t Number(size_t at, size_t& length) const {
    const auto first = static_cast<unsigned char>(b_[at]);
    length = 1;
    while (length <= 8 && !(first & (0x80u >> (length - 1)))) ++length;
    uint64_t value = first & (0xFFu >> length);
    for (size_t i = 1; i < length; ++i) value = (value << 8) | static_cast<unsigned char>(b_[at + i]);
    return value;
  }

  // Calls fn(data, end) for each SimpleBlock and each Block of a BlockGroup, `data` at its track
  // number; a block for which it answers true is made a Void element (its group with it).
  template <typename Fn>
  void ForEachBlock(Fn fn) {
    size_t at = b_.find("\x1F\x43\xB6\x75");  // the first cluster
    while (at != std::string::npos && at + 4 < b_.size()) {
      size_t sizeLength = 0;
      const uint64_t size = Number(at + 4, sizeLength);
      const size_t end = std::min<size_t>(b_.size(), at + 4 + sizeLength + size);
      bool dropped = false;
      for (size_t child = at + 4 + sizeLength; child < end;) child = VisitBlock(child, fn, dropped);
      at = b_.find("\x1F\x43\xB6\x75", end);
    }
  }

  // One child of a cluster or of a BlockGroup; returns its end.
  template <typename Fn>
  size_t VisitBlock(size_t at, Fn& fn, bool& dropped) {
    const auto id = static_cast<unsigned char>(b_[at]);
    const size_t idLength = id >= 0x80 ? 1 : id >= 0x40 ? 2 : id >= 0x20 ? 3 : 4;
    size_t sizeLength = 0;
    const uint64_t size = Number(at + idLength, sizeLength);
    const size_t data = at + idLength + sizeLength, end = data + size;
    bool inner = false;
    if (id == 0xA0) {
      for (size_t child = data; child < end;) child = VisitBlock(child, fn, inner);
    } else if (id == 0xA3 || id == 0xA1) {
      inner = fn(data, end);
    }
    if (inner && id != 0xA1) b_[at] = '\xEC';  // a Block is voided with its group
    dropped = dropped || inner;
    return end;
  }

  std::string b_;
};

// The picture's span from its packets' timestamps (a program stream starts a little after zero),
// and the sound's length as decoded.
double PictureSeconds(const std::string& file) {
  double start = 1e9, end = 0;
  Ran ran = Spawn({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time,duration_time",
                   "-of", "csv=p=0", file});
  for (const std::string& line : Lines(ran.out)) {
    const size_t comma = line.find(',');
    const double pts = std::atof(line.c_str());
    const double duration = comma == std::string::npos ? 0 : std::atof(line.c_str() + comma + 1);
    start = std::min(start, pts);
    end = std::max(end, pts + duration);
  }
  return end > start ? end - start : 0;
}

double SoundSeconds(const std::string& file) {
  Ran ran = Spawn({"ffmpeg", "-nostdin", "-v", "quiet", "-i", file, "-map", "0:a:0", "-ac", "1", "-ar", "8000", "-f",
                   "s16le", "-"});
  return static_cast<double>(ran.out.size()) / 16000;
}

class RealworldSources : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh installation: no settings file, so re-encoding makes the MPEG-2 target.
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
    fs::remove(app / "parvela.conf");
  }
  Ran Convert(const std::string& source, std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {app / "parvela-cli", "-o", out.path()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(source);
    return Spawn(argv);
  }
  std::string Verdict(const Ran& ran) {
    const std::vector<std::string> lines = Lines(ran.out);
    return lines.empty() ? std::string() : lines.back();
  }
  // The output keeps the source's sound, with a picture as long as it (a frame's slack).
  void ExpectLengthsKept(const std::string& source, const std::string& output, double slack = 0.1) {
    EXPECT_NEAR(SoundSeconds(output), SoundSeconds(source), slack) << output;
    EXPECT_NEAR(PictureSeconds(output), PictureSeconds(source), slack) << output;
  }
  // Rewrites a generated file in place.
  template <typename Edit>
  void Rewrite(const std::string& path, Edit edit) {
    Ebml file(ReadBytes(path));
    edit(file);
    WriteBytes(path, file.Bytes());
  }
  TempDir app, in, out;
};

// A browser's recording: H.264 in Annex B frames with no codec private data (mkvextract refuses
// the track), Opus sound. FFmpeg takes the track out, the checker finds the parameter sets in
// the first frame, and the film is remuxed.
TEST_F(RealworldSources, BrowserRecordingWithoutCodecPrivateIsRemuxed) {
  const std::string source = in / "browser.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-f", "lavfi", "-i",
                      "sine=sample_rate=48000", "-t", "2", "-c:v", "libx264", "-preset", "veryfast", "-x264-params",
                      "repeat-headers=1", "-c:a", "libopus", source}));
  Rewrite(source, [](Ebml& file) {
    ASSERT_TRUE(file.VoidFirst("\x63\xA2"));  // the video track's codec private data
    file.FramesToAnnexB();
  });
  const std::string identified = Spawn({"mkvmerge", "-J", source}).out;
  ASSERT_NE(identified.find("\"codec_private_length\": 0"), std::string::npos) << identified;

  const Ran ran = Convert(source);
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Verdict(ran), kMp4Verdict);
  const std::string mp4 = out / "browser.mp4";
  EXPECT_EQ(Probe(mp4, "codec_name,width,height", "v"), "h264,320,240");
  EXPECT_EQ(Probe(mp4, "codec_name,channels", "a"), "aac,2");
  ExpectLengthsKept(source, mp4);

  // The extraction as the MP4 road asks for it: FFmpeg takes the place mkvextract leaves.
  const std::string video = in / "movie.h264", sound = in / "movie.ogg";
  const Ran extracted = RunLine(Quoted(AppTool("MKVToolnix/mkvextract.exe")) + " tracks " + Quoted(source) + " 1:" +
                                Quoted(video) + " 2:" + Quoted(sound));
  EXPECT_EQ(extracted.code, 0) << extracted.err;
  EXPECT_EQ(RoleLines(extracted, "mkvextract"),
            (std::vector<std::string>{
                "mkvextract: mkvextract " + source + " tracks 0:" + video + " 1:" + sound,
                "mkvextract: removed the unfinished " + video,
                "mkvextract: mkvextract left no file for track 1; FFmpeg extracts it",
                "mkvextract: mkvextract left no file for track 2; FFmpeg extracts it",
                "mkvextract: ffmpeg -nostdin -v error -y -i file:" + source + " -map 0:0 -c copy -f h264 file:" +
                    video + " -map 0:1 -c copy -f ogg file:" + sound,
            }));
  EXPECT_EQ(ReadBytes(video).substr(0, 4), std::string("\0\0\0\1", 4));
  EXPECT_EQ(Probe(video, "codec_name,width", "v"), "h264,320");
  EXPECT_EQ(Probe(sound, "codec_name", "a"), "opus");
}

// A recording whose picture starts 1.5 s after its sound, as a browser's recorder writes one
// when the camera comes up late: the MP4's picture starts as late, both keep their lengths.
TEST_F(RealworldSources, PictureStartingAfterTheSoundKeepsItsStart) {
  const std::string source = in / "late.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000:duration=4", "-itsoffset", "1.5", "-f", "lavfi",
                      "-i", "testsrc2=size=320x240:rate=25:duration=2.4", "-map", "1:v", "-map", "0:a", "-c:v",
                      "libx264", "-preset", "veryfast", "-c:a", "libopus", source}));
  auto offset = [](const std::string& file) {
    return std::atof(Probe(file, "start_time", "v").c_str()) - std::atof(Probe(file, "start_time", "a").c_str());
  };
  ASSERT_NEAR(offset(source), 1.5, 0.05);

  const Ran ran = Convert(source);
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Verdict(ran), kMp4Verdict);
  const std::string mp4 = out / "late.mp4";
  EXPECT_NEAR(offset(mp4), offset(source), 0.02);
  ExpectLengthsKept(source, mp4);
}

// A 59.94 fps screen recording too large for level 4.1's macroblock rate, without a default
// duration: the checker measures the rate the verdict will, so the film is re-encoded at
// inspection instead of being remuxed into a file no console plays.
TEST_F(RealworldSources, FastVariableRateScreenRecordingIsReencodedToFit) {
  const std::string source = in / "screen.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1066x1046:rate=60000/1001", "-t", "1.5", "-c:v", "libx264",
                      "-preset", "ultrafast", "-an", source}));
  Rewrite(source, [](Ebml& file) { ASSERT_TRUE(file.VoidFirst("\x23\xE3\x83")); });  // the default duration

  const Ran ran = Convert(source);
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Verdict(ran), kMpegVerdict);
  const std::string mpg = out / "screen.mpg";
  EXPECT_EQ(Probe(mpg, "codec_name,width,height", "v"), "mpeg2video,732,720");
  EXPECT_NEAR(PictureSeconds(mpg), PictureSeconds(source), 0.1);
}

// A webcam capture whose MP2 track names no channel count and holds no frame: nothing of the
// sound is lost, so the film is made silent, with the reason in the progress.
TEST_F(RealworldSources, AudioTrackWithoutAFrameGivesASilentFilm) {
  const std::string source = in / "webcam.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i",
                      "sine=sample_rate=44100", "-t", "1", "-c:v", "mpeg4", "-c:a", "mp2", source}));
  Rewrite(source, [](Ebml& file) {
    const size_t audio = file.Bytes().find("A_MPEG/L2");
    ASSERT_NE(audio, std::string::npos);
    ASSERT_TRUE(file.ZeroFirst("\x9F", audio));  // Channels: 0, as the capture program wrote it
    file.DropFramesOfTrack2();
  });

  const Ran silent = Convert(source);
  EXPECT_EQ(silent.code, 0) << silent.err;
  EXPECT_NE(silent.out.find("The audio track holds no sound: the output is silent"), std::string::npos) << silent.out;
  EXPECT_EQ(Verdict(silent), kMpegVerdict);
  const std::string mpg = out / "webcam.mpg";
  EXPECT_EQ(Probe(mpg, "codec_name", "v"), "mpeg2video");
  EXPECT_EQ(Probe(mpg, "codec_name", "a"), "");
  // (The silent MPEG-2 road ends a few frames early today: 0.88 s of a 1 s picture.)
  EXPECT_NEAR(PictureSeconds(mpg), PictureSeconds(source), 0.2);
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"webcam.mpg"}));
}

// MS-MPEG4 v2 in VfW mode has no row in the codec table, yet FFmpeg decodes it: it is
// re-encoded. A file that ends after its header holds no picture and is refused before any
// tool of the conversion runs.
TEST_F(RealworldSources, VideoFfmpegDecodesIsConvertedAndAHeaderAloneIsRefused) {
  const std::string mp42 = in / "mp42.mkv", header = in / "header.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i",
                      "sine=sample_rate=48000", "-t", "1", "-c:v", "msmpeg4v2", "-c:a", "ac3", mp42}));
  ASSERT_NE(ReadBytes(mp42).find("MP42"), std::string::npos) << "not stored in VfW mode";
  const Ran converted = Convert(mp42);
  EXPECT_EQ(converted.code, 0) << converted.err;
  EXPECT_EQ(Verdict(converted), kMpegVerdict);
  EXPECT_EQ(Probe(out / "mp42.mpg", "codec_name", "v"), "mpeg2video");
  ExpectLengthsKept(mp42, out / "mp42.mpg", 0.15);

  ASSERT_TRUE(MakeSource(header, "320x240", "25"));
  const std::string whole = ReadBytes(header);
  WriteBytes(header, whole.substr(0, whole.find("\x1F\x43\xB6\x75")));  // up to the first cluster
  const Ran refused = Convert(header);
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("holds no picture: its video track has no frame"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("Audio error"), std::string::npos) << refused.err;
  EXPECT_EQ(FolderListing(out.path()), (std::vector<std::string>{"mp42.mpg"}));
}

}  // namespace
}  // namespace parvela
