// The MP4Box role in the three forms Parvela composes, and its unwrapping of an AVI's video.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <tuple>

#include "streams/streams.h"

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

class ToolkitMp4BoxTest : public ::testing::Test {
 protected:
  // Raw H.264 with B-frames (24 pictures) and ADTS AAC, as the earlier stages leave them.
  void SetUp() override {
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=240x180:rate=25", "-frames:v", "24", "-c:v", "libx264",
                        "-preset", "veryfast", "-bf", "3", "-f", "h264", video}));
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-c:a", "aac", "-ac", "2", audio}));
  }

  std::string MP4Box() const { return Quoted(AppTool("MP4Box/MP4Box.exe")); }

  TempDir dir;
  std::string video = dir / "movie.h264", audio = dir / "movie.aac", output = dir / "My_Movie.mp4";
};

TEST_F(ToolkitMp4BoxTest, TwoTrackFormGivesAacThenH264AtTheRateAndAspectAsked) {
  Ran ran = RunLine(MP4Box() + " -add " + Quoted(audio) + " -add " + Quoted(video + ":fps=24000/1001:par=1920:1440") +
                    " " + Quoted(output) + " -tmp " + Quoted(dir.path()));
  ASSERT_EQ(ran.code, 0) << ran.err;
  // One pass: the timed video reaches ffmpeg through a pipe, with no wrapped copy on disk.
  EXPECT_EQ(RoleLines(ran, "MP4Box"),
            (std::vector<std::string>{"MP4Box: ffmpeg -nostdin -hide_banner -loglevel error -y -i " + audio +
                                      " -f matroska -i pipe:0 -map 0 -map 1:0 -c copy"
                                      " -bsf:v:0 h264_metadata=sample_aspect_ratio=4/3 -video_track_timescale 24000"
                                      " -moov_size 76044 -f mp4 " + output + ".part"}));
  EXPECT_EQ(Probe(output, "codec_name,r_frame_rate,sample_aspect_ratio,nb_frames"),
            "aac,0/0,?,48\nh264,24000/1001,4:3,24");
  // Nothing of the work is left beside the inputs and the result.
  EXPECT_EQ(FolderListing(dir.path()), (std::vector<std::string>{"My_Movie.mp4", "movie.aac", "movie.h264"}));
}

// The top-level boxes of an MP4, in file order.
std::vector<std::string> TopLevelBoxes(const std::string& path) {
  std::vector<std::string> names;
  std::ifstream in(path, std::ios::binary);
  unsigned char h[16];
  for (uint64_t at = 0; in.seekg(static_cast<std::streamoff>(at)) && in.read(reinterpret_cast<char*>(h), 8);) {
    uint64_t size = (uint64_t{h[0]} << 24) | (uint64_t{h[1]} << 16) | (uint64_t{h[2]} << 8) | h[3];
    if (size == 1 && in.read(reinterpret_cast<char*>(h + 8), 8)) {
      size = 0;
      for (int i = 8; i < 16; ++i) size = (size << 8) | h[i];
    }
    names.emplace_back(reinterpret_cast<char*>(h + 4), 4);
    if (size < 8) break;
    at += size;
  }
  return names;
}

// The NAL units of an Annex B stream, start codes left out.
std::vector<std::string> NalUnits(const std::string& stream) {
  std::vector<std::string> units;
  size_t start = std::string::npos;
  for (size_t i = 0; i + 3 <= stream.size(); ++i) {
    if (stream.compare(i, 3, std::string("\0\0\1", 3)) != 0) continue;
    if (start != std::string::npos) {
      size_t end = i;
      while (end > start && stream[end - 1] == '\0') --end;  // a four-byte start code's zero
      units.push_back(stream.substr(start, end - start));
    }
    start = i + 3;
    i += 2;
  }
  if (start != std::string::npos) units.push_back(stream.substr(start));
  return units;
}

// The film is written once, by the role itself, its index in front: the index comes before the
// film, every picture and frame is there at its length, and the video is the patched stream's
// own NAL units, byte for byte, at level 4.1.
TEST_F(ToolkitMp4BoxTest, OnePassMp4LeadsWithItsIndexAndHoldsThePatchedStreamWhole) {
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-frames:v", "50", "-c:v", "libx264",
                      "-preset", "veryfast", "-bf", "3", "-profile:v", "high", "-level", "5.1", "-f", "h264", video}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "2", "-c:a", "aac", "-ac", "2", audio}));
  PatchH264Level(video);
  Ran ran = RunLine(MP4Box() + " -add " + Quoted(audio) + " -add " + Quoted(video + ":fps=25") + " " + Quoted(output) +
                    " -tmp " + Quoted(dir.path()));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_TRUE(RoleLines(ran, "MP4Box").empty()) << ran.err;  // no program run for it
  EXPECT_EQ(TopLevelBoxes(output), (std::vector<std::string>{"ftyp", "moov", "mdat"}));
  // Every ADTS frame of movie.aac (95 of 1024 samples, the encoder's priming frame among them).
  std::string adtsFrames = Spawn({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                                  "stream=nb_read_packets", "-of", "csv=p=0", audio})
                               .out;
  EXPECT_EQ(adtsFrames, "95\n");
  EXPECT_EQ(Probe(output, "codec_name,level,nb_frames,duration"), "aac,?,95,2.026667\nh264,41,50,2.000000");
  std::string copied = Spawn({"ffmpeg", "-v", "error", "-i", output, "-map", "0:v", "-c", "copy", "-bsf:v",
                              "h264_mp4toannexb", "-f", "h264", "-"})
                           .out;
  std::vector<std::string> units = NalUnits(ReadFile(video));
  ASSERT_GT(units.size(), 50u);
  EXPECT_TRUE(NalUnits(copied) == units) << NalUnits(copied).size() << " NAL units, " << units.size() << " expected";
}

// Without composition offsets the B-frames would be shown in decoding order.
TEST_F(ToolkitMp4BoxTest, PicturesKeepTheirDisplayOrder) {
  ASSERT_EQ(RunLine(MP4Box() + " -add " + Quoted(audio) + " -add " + Quoted(video + ":fps=25") + " " + Quoted(output) +
                    " -tmp " + Quoted(dir.path()))
                .code,
            0);
  std::string packets = Spawn({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=pts,dts",
                               "-of", "csv=p=0", output})
                            .out;
  int reordered = 0;
  for (const auto& line : Lines(packets)) {
    size_t comma = line.find(',');
    reordered += line.substr(0, comma) != line.substr(comma + 1);
  }
  EXPECT_GT(reordered, 0) << packets;
  EXPECT_EQ(Probe(output, "r_frame_rate,sample_aspect_ratio", "v"), "25/1,1:1");
}

// The decoded pictures of hard streams (open GOPs, B-pyramid, two slices a picture, access unit
// delimiters; then interlaced macroblock pairs) come out of the MP4 as they come out of the
// stream, each at its exact time.
TEST_F(ToolkitMp4BoxTest, DecodedPicturesMatchTheSourceInOrderAndTime) {
  auto pictureSums = [](const std::string& file) {
    std::vector<std::string> sums;
    for (const auto& line : Lines(Spawn({"ffmpeg", "-v", "error", "-i", file, "-map", "0:v", "-f", "framemd5", "-"}).out)) {
      if (!line.empty() && line[0] != '#') sums.push_back(line.substr(line.rfind(',') + 2));
    }
    return sums;
  };
  auto shownTimes = [](const std::string& file) {
    std::vector<long> times;
    for (const auto& line : Lines(Spawn({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                                         "packet=pts", "-of", "csv=p=0", file})
                                      .out)) {
      if (!line.empty()) times.push_back(std::stol(line));
    }
    std::sort(times.begin(), times.end());
    return times;
  };
  std::vector<long> exact;
  for (long i = 0; i < 48; ++i) exact.push_back(i * 1001);
  for (std::string params : {"open-gop=1:slices=2:aud=1", "interlaced=1:tff=1"}) {
    SCOPED_TRACE(params);
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=240x180:rate=25", "-frames:v", "48", "-c:v", "libx264",
                        "-preset", "veryfast", "-bf", "3", "-x264-params",
                        params + ":keyint=12:min-keyint=12:scenecut=0:b-pyramid=normal", "-f", "h264", video}));
    std::remove(output.c_str());
    Ran ran = RunLine(MP4Box() + " -add " + Quoted(audio) + " -add " + Quoted(video + ":fps=24000/1001") + " " +
                      Quoted(output) + " -tmp " + Quoted(dir.path()));
    ASSERT_EQ(ran.code, 0) << ran.err;
    ASSERT_TRUE(RoleLines(ran, "MP4Box").empty()) << ran.err;  // no wrapping on the way
    std::vector<std::string> expected = pictureSums(video);
    ASSERT_EQ(expected.size(), 48u);
    EXPECT_EQ(pictureSums(output), expected);
    EXPECT_EQ(shownTimes(output), exact);
  }
}

// Sound and picture alternate in the file in half-second chunks: a player reading it in order
// never has to reach far ahead for either.
TEST_F(ToolkitMp4BoxTest, SoundAndPictureAlternateInHalfSecondChunks) {
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "75", "-c:v", "libx264",
                      "-preset", "veryfast", "-f", "h264", video}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "3", "-c:a", "aac", "-ac", "2", audio}));
  ASSERT_EQ(RunLine(MP4Box() + " -add " + Quoted(audio) + " -add " + Quoted(video + ":fps=25") + " " + Quoted(output)).code, 0);
  // Packets in file order: the runs of one stream, and the longest of them in seconds.
  std::vector<std::pair<long, std::string>> placed;
  for (const auto& line : Lines(Spawn({"ffprobe", "-v", "error", "-show_entries", "packet=pos,stream_index,duration_time",
                                       "-of", "csv=p=0", output}).out)) {
    if (line.empty()) continue;
    const size_t a = line.find(','), b = line.rfind(',');
    placed.push_back({std::stol(line.substr(b + 1)), line.substr(0, a) + "," + line.substr(a + 1, b - a - 1)});
  }
  std::sort(placed.begin(), placed.end());
  int runs = 0;
  double run = 0, longest = 0;
  for (size_t i = 0; i < placed.size(); ++i) {
    const std::string stream = placed[i].second.substr(0, 1);
    if (i == 0 || stream != placed[i - 1].second.substr(0, 1)) ++runs, run = 0;
    run += std::stod(placed[i].second.substr(2));
    longest = std::max(longest, run);
  }
  EXPECT_EQ(placed.size(), 75u + 142u);  // every picture and frame (the priming one too), once
  EXPECT_EQ(runs, 13);                   // six chunks of each, and the sound's last 32 ms
  EXPECT_LE(longest, 0.53);
}

// A track that starts late gets an empty edit before it; the other still starts at zero.
TEST_F(ToolkitMp4BoxTest, ADelayedTrackStartsLate) {
  for (const auto& [audioOption, videoOption, starts] :
       {std::tuple{":delay=500", "", "audio,0.500000\nvideo,0.000000"},
        std::tuple{"", ":delay=300", "audio,0.000000\nvideo,0.300000"}}) {
    std::remove(output.c_str());
    Ran ran = RunLine(MP4Box() + " -add " + Quoted(audio + audioOption) + " -add " +
                      Quoted(video + ":fps=25" + videoOption) + " " + Quoted(output));
    ASSERT_EQ(ran.code, 0) << ran.err;
    EXPECT_EQ(Probe(output, "codec_type,start_time"), starts);
  }
}

TEST_F(ToolkitMp4BoxTest, VideoOnlyFormAddsToTheAudioAlreadyThere) {
  ASSERT_TRUE(Ffmpeg({"-i", audio, "-c", "copy", output}));
  std::string audioBefore = Probe(output, "codec_name,nb_frames");
  // The two blanks before -fps are Parvela's own; "25.000" is what 25 fps output asks for.
  Ran ran = RunLine(MP4Box() + "  -fps 25.000 -add " + Quoted(video) + " " + Quoted(output) + " -tmp " + Quoted(dir.path()));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Probe(output, "codec_name,nb_frames", "a"), audioBefore);
  EXPECT_EQ(Probe(output, "codec_name,r_frame_rate"), "aac,0/0\nh264,25/1");
}

TEST_F(ToolkitMp4BoxTest, VfwFormWithAGlobalRateMakesAVideoOnlyFile) {
  ASSERT_EQ(RunLine(MP4Box() + " -fps 24000/1001 -add " + Quoted(video + ":par=4:3") + " " + Quoted(output) + " -tmp " +
                    Quoted(dir.path()))
                .code,
            0);
  EXPECT_EQ(Probe(output, "codec_name,r_frame_rate,sample_aspect_ratio"), "h264,24000/1001,4:3");
}

TEST_F(ToolkitMp4BoxTest, AnInputThatCannotBeImportedLeavesNoOutput) {
  WriteFile(video, "this is no H.264 stream\n");
  Ran ran = RunLine(MP4Box() + " -add " + Quoted(audio) + " -add " + Quoted(video + ":fps=25") + " " + Quoted(output) +
                    " -tmp " + Quoted(dir.path()));
  EXPECT_NE(ran.code, 0);
  EXPECT_EQ(FolderListing(dir.path()), (std::vector<std::string>{"movie.aac", "movie.h264"}));
}

TEST_F(ToolkitMp4BoxTest, AFailedAdditionLeavesTheExistingFileAsItWas) {
  ASSERT_TRUE(Ffmpeg({"-i", audio, "-c", "copy", output}));
  std::string before = ReadFile(output);
  WriteFile(video, "this is no H.264 stream\n");
  EXPECT_NE(RunLine(MP4Box() + "  -fps 25 -add " + Quoted(video) + " " + Quoted(output) + " -tmp " + Quoted(dir.path())).code, 0);
  EXPECT_EQ(ReadFile(output), before);
}

TEST_F(ToolkitMp4BoxTest, AviRawWritesTheVideoBesideTheAvi) {
  std::string avi = dir / "movie.avi";
  ASSERT_TRUE(Ffmpeg({"-f", "h264", "-r", "25", "-i", video, "-c", "copy", avi}));
  Ran ran = RunLine(MP4Box() + " -aviraw video " + Quoted(avi));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(Probe(dir / "movie_video.h264", "codec_name,width,height"), "h264,240,180");
  EXPECT_EQ(ReadFile(dir / "movie_video.h264"), ReadFile(video));
}

}  // namespace
}  // namespace parvela::testing::toolkit
