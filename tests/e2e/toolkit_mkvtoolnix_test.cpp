// The Matroska roles of the tool folder on a generated source: the report Parvela's parser
// reads at fixed columns, and the 1-based track numbers Parvela passes to the extractor and the
// splitter.
#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

class ToolkitMkvtoolnixTest : public ::testing::Test {
 protected:
  // Video 240x180 shown at 16:9, AC-3 5.1 "eng", AAC stereo "fre", UTF-8 subtitles "ger".
  void SetUp() override {
    WriteFile(dir / "subs.srt", "1\r\n00:00:00,000 --> 00:00:00,500\r\nHello\r\n");
    ASSERT_TRUE(MakeSource(source, "240x180", "24000/1001", {"-i", dir / "subs.srt"},
                           {"-map", "0", "-map", "1", "-map", "1", "-map", "2", "-c:a:1", "aac", "-ac:a:1", "2",
                            "-c:s", "srt", "-aspect", "16:9", "-metadata:s:a:0", "language=eng",
                            "-metadata:s:a:1", "language=fre", "-metadata:s:s:0", "language=ger"}));
  }

  TempDir dir;
  std::string source = dir / "My Movie.mkv";
};

TEST_F(ToolkitMkvtoolnixTest, MkvinfoWritesTheClassicReportWithCrLf) {
  std::string report = dir / "info.txt";
  Ran ran = RunLine(Quoted(AppTool("MKVToolnix/mkvinfo.exe")) + " " + Quoted(source) + " -o " + Quoted(report));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(RoleLines(ran, "mkvinfo"),
            std::vector<std::string>{"mkvinfo: reading the track headers of '" + source + "'"});
  EXPECT_EQ(ReadFile(report),
            "+ EBML head\r\n"
            "|+ Doc type: matroska\r\n"
            "+ Segment\r\n"
            "|+ Segment information\r\n"
            "| + Duration: 1.040s (00:00:01.040)\r\n"
            "|+ Segment tracks\r\n"
            "| + A track\r\n"
            "|  + Track number: 1 (track ID for mkvmerge & mkvextract: 0)\r\n"
            "|  + Track UID: 1\r\n"
            "|  + Track type: video\r\n"
            "|  + Codec ID: V_MPEG4/ISO/AVC\r\n"
            "|  + Language: und\r\n"
            "|  + Default duration: 41.708ms (23.976 fps for a video track)\r\n"
            "|  + Video track\r\n"
            "|   + Pixel width: 240\r\n"
            "|   + Pixel height: 180\r\n"
            "|   + Display width: 320\r\n"
            "|   + Display height: 180\r\n"
            "| + A track\r\n"
            "|  + Track number: 2 (track ID for mkvmerge & mkvextract: 1)\r\n"
            "|  + Track UID: 2\r\n"
            "|  + Track type: audio\r\n"
            "|  + Codec ID: A_AC3\r\n"
            "|  + Language: eng\r\n"
            "|  + Audio track\r\n"
            "|   + Sampling frequency: 48000\r\n"
            "|   + Channels: 6\r\n"
            "| + A track\r\n"
            "|  + Track number: 3 (track ID for mkvmerge & mkvextract: 2)\r\n"
            "|  + Track UID: 3\r\n"
            "|  + Track type: audio\r\n"
            "|  + Codec ID: A_AAC\r\n"
            "|  + Language: fre\r\n"
            "|  + Audio track\r\n"
            "|   + Sampling frequency: 48000\r\n"
            "|   + Channels: 2\r\n"
            "| + A track\r\n"
            "|  + Track number: 4 (track ID for mkvmerge & mkvextract: 3)\r\n"
            "|  + Track UID: 4\r\n"
            "|  + Track type: subtitles\r\n"
            "|  + Codec ID: S_TEXT/UTF8\r\n"
            "|  + Language: ger\r\n");
}

// The parser cuts values at fixed characters; these are the cuts it makes.
TEST_F(ToolkitMkvtoolnixTest, MkvinfoValuesStandWhereTheParserCutsThem) {
  std::string report = dir / "info.txt";
  ASSERT_EQ(RunLine(Quoted(AppTool("MKVToolnix/mkvinfo.exe")) + " " + Quoted(source) + " -o " + Quoted(report)).code, 0);
  std::vector<std::string> lines = Lines(ReadFile(report));
  std::vector<std::string> fps, pixelWidth, displayWidth, languages;
  for (const auto& line : lines) {
    if (line.find("fps for a video track") != std::string::npos) fps.push_back(line.substr(33, 6));
    if (line.find("Pixel width") != std::string::npos) pixelWidth.push_back(line.substr(19));
    if (line.find("Display width") != std::string::npos) displayWidth.push_back(line.substr(21));
    if (line.find("Language:") != std::string::npos) languages.push_back(line.substr(14));
  }
  EXPECT_EQ(fps, std::vector<std::string>{"23.976"});
  EXPECT_EQ(pixelWidth, std::vector<std::string>{"240"});
  EXPECT_EQ(displayWidth, std::vector<std::string>{"320"});
  EXPECT_EQ(languages, (std::vector<std::string>{" und", " eng", " fre", " ger"}));
}

TEST(ToolkitMkvinfoTest, SlowFrameRatesKeepTheirColumnAndVfwTracksShowTheirFourCc) {
  TempDir dir;
  std::string source = dir / "slow.mkv";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=5", "-t", "1", "-c:v", "wmv2", source}));
  std::string report = dir / "info.txt";
  ASSERT_EQ(RunLine(Quoted(AppTool("MKVToolnix/mkvinfo.exe")) + " " + Quoted(source) + " -o " + Quoted(report)).code, 0);
  std::vector<std::string> lines = Lines(ReadFile(report));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "|  + Codec ID: V_MS/VFW/FOURCC (FourCC: WMV2)"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "|  + Default duration: 200.00ms (5.000 fps for a video track)"),
            lines.end());
}

// The report comes from the track list alone: a file cut short after its header still shows
// every track, so the conversion fails later, where the frames are missing.
TEST_F(ToolkitMkvtoolnixTest, MkvinfoListsEveryTrackOfAFileCutShort) {
  std::filesystem::resize_file(source, 3000);
  std::string report = dir / "info.txt";
  ASSERT_EQ(RunLine(Quoted(AppTool("MKVToolnix/mkvinfo.exe")) + " " + Quoted(source) + " -o " + Quoted(report)).code, 0);
  std::vector<std::string> types;
  for (const auto& line : Lines(ReadFile(report))) {
    if (line.rfind("|  + Track type: ", 0) == 0) types.push_back(line.substr(17));
  }
  EXPECT_EQ(types, (std::vector<std::string>{"video", "audio", "audio", "subtitles"}));
}

TEST_F(ToolkitMkvtoolnixTest, MkvextractTakesTrackNumbersFromOne) {
  std::string video = dir / "movie.h264", audio = dir / "movie.aac";
  Ran ran = RunLine(Quoted(AppTool("MKVToolnix/mkvextract.exe")) + " tracks " + Quoted(source) + " 1:" +
                    Quoted(video) + " 3:" + Quoted(audio));
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(RoleLines(ran, "mkvextract"),
            std::vector<std::string>{"mkvextract: mkvextract '" + source + "' tracks 0:" + video + " 2:" + audio});
  EXPECT_EQ(Probe(video, "codec_name,width"), "h264,240");
  EXPECT_EQ(Probe(audio, "codec_name,channels"), "aac,2");
  EXPECT_FALSE(FileIsPresent(dir / "movie.ac3"));
}

TEST_F(ToolkitMkvtoolnixTest, MkvmergeShiftsTheTrackSelections) {
  MakeFolder(dir / "split");
  std::string target = dir / "split/piece.mkv";
  // As the splitter composes it: the second audio track and the subtitles, "K" sizes.
  Ran ran = RunLine(Quoted(AppTool("MKVToolnix/mkvmerge.exe")) + " -o " + Quoted(target) + " -d 1 -a 3 -s 4 " +
                    Quoted(source) + " --split 2095000K");
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(RoleLines(ran, "mkvmerge"), std::vector<std::string>{"mkvmerge: mkvmerge -o " + target +
                                                                 " -d 0 -a 2 -s 3 '" + source + "' --split 2095000K"});
  std::vector<std::string> pieces = FolderListing(dir / "split");
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(Probe(dir / "split/" + pieces[0], "codec_type,codec_name"), "video,h264\naudio,aac\nsubtitle,subrip");
}

}  // namespace
}  // namespace parvela::testing::toolkit
