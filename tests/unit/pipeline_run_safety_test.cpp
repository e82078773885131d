// A run that owns only what it made, with the tools played: leftovers set aside, an earlier film
// kept until its successor is judged, the successor held to its source's lengths, and a tool
// that crashes. Also the rule of the lengths alone, and the folder of leftovers.
#include <gtest/gtest.h>

#include "faithfulness/faithfulness.h"
#include "form_fixture.h"
#include "fsutil/cleanup.h"
#include "fsutil/fsutil.h"
#include "fsutil/kept_files.h"

namespace parvela {
namespace {

using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const std::string kSpsLevel51("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9);
// Six seconds of picture and of sound, as ffprobe lists a source's streams and packets.
const std::string kSourcePackets =
    "stream,0,h264,video,0\nstream,1,ac3,audio,48000,6,0,0\npacket,0,0.000,3.000\npacket,1,0.000,3.000\n"
    "packet,0,3.000,3.000\n"
    "packet,1,3.000,3.000\n";

class RunSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    source = in / "film.mkv";
    WriteFile(source, "mkv");
    fx.ChooseH264Source(source, out.path() + "/", "25.000", progress);
    fx.form.Option1.Select(0);  // AC-3: the decoding graph (none here) and then the backup method
    fx.app.runOwnsOnlyItsFiles = true;
    std::filesystem::create_directories(fx.appDir / "FFMpeg");
    WriteFile(ffprobe, "");
    fx.runner.onRun = [this](const std::string& line) { return Play(line); };
  }
  int Play(const std::string& line) {
    const Lines a = SplitCommandLine(line);
    const std::string tool = FileNamePart(a[0]);
    if (tool == crashing) fx.runner.PlayCrash(tool + " was ended by signal 11 (Segmentation fault)");
    if (tool == "mkvextract.exe") {
      const std::string path = a[3].substr(a[3].find(':') + 1);
      WriteFile(path, EndsWith(path, ".h264") ? kSpsLevel51 : "ac3");
    } else if (tool == "valdec.exe") {
      WriteFile(a[3], "wav");
    } else if (tool == "MP4Box.exe" && tool != crashing) {
      WriteFile(a[a.size() - 3], "film of this run");
    } else if (tool == "ffprobe.exe") {
      // The output's lengths from its index, the source's sound from its packets.
      WriteFile(a[a.size() - 2], Contains(line, "-print_format json") ? outputLengths : kSourcePackets);
    } else if (tool != "MP4Box.exe") {
      WriteFile(a.back(), "out");  // FFmpeg
    }
    return 0;
  }
  std::string Lengths(const char* picture, const char* sound) {
    return std::string(R"({"streams":[{"codec_type":"video","duration":")") + picture +
           R"("},{"codec_type":"audio","duration":")" + sound + R"("}]})";
  }

  FormFixture fx;
  TempDir in, out;
  std::string source;
  std::string ffprobe = fx.appDir / "FFMpeg/ffprobe.exe";
  std::string outputLengths = Lengths("6.000", "6.021");
  std::string crashing;
  std::vector<std::string> progress;
};

TEST_F(RunSafety, LeftoversGoAsideTheEarlierFilmStaysUntilItsSuccessorIsJudged) {
  WriteFile(out / "movie.wav", "an earlier run's sound");
  WriteFile(out / "movie.h264", "an earlier run's video");
  WriteFile(out / "film.mp4", "the earlier film");
  WriteFile(out / "movie.txt", "the user's");
  std::filesystem::create_directory(out / "parvela-leftovers");

  // Judged short: the earlier film is back, the new one kept beside it for inspection.
  outputLengths = Lengths("2.000", "2.000");
  fx.form.Command2_Click();
  EXPECT_EQ(progress.front(), "Files of an earlier run set aside in parvela-leftovers-2/: movie.h264, movie.wav");
  EXPECT_EQ(ReadFile(out / "parvela-leftovers-2/movie.wav"), "an earlier run's sound");
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "Length error");
  EXPECT_EQ(fx.host.messages[0].text, out / "film.mp4" + " is not the whole film: the sound lasts 2.0 s, the source's "
                                      "6.0 s. The file and the temporary files are kept for inspection.");
  EXPECT_EQ(progress.back(), "The earlier film.mp4 is back in place; this run's file is kept as film.rejected.mp4");
  EXPECT_EQ(ReadFile(out / "film.mp4"), "the earlier film");
  EXPECT_EQ(ReadFile(out / "film.rejected.mp4"), "film of this run");
  EXPECT_EQ(ReadFile(out / "movie.txt"), "the user's");
  // Both lengths are read from the streams: the source's started beside the muxer, the output's
  // once it is made.
  const Lines lines = fx.runner.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "\"" + ffprobe + "\" -v error -show_entries stream=index,codec_name,codec_type,"
            "sample_rate,channels,bits_per_sample:stream_disposition=attached_pic:packet=stream_index,pts_time,"
            "duration_time,size -of csv=p=1 -o \"" + fx.appDir / "source-lengths.txt" +
            "\" \"file:" + source + "\"");
  EXPECT_EQ(lines[lines.size() - 2].find("\"" + fx.appDir / "MP4Box/MP4Box.exe\" -add "), 0u) << lines[lines.size() - 2];
  EXPECT_EQ(lines.back(), "\"" + ffprobe + "\" -v error -print_format json -show_entries "
            "stream=codec_type,duration:stream_disposition=attached_pic -o \"" + fx.appDir / "lengths.txt" +
            "\" \"file:" + out / "film.mp4\"");
  EXPECT_FALSE(FileIsPresent(fx.appDir / "source-lengths.txt"));  // its report taken

  // Judged whole: it replaces the earlier film, and this run's temporary files were its own.
  outputLengths = Lengths("6.000", "6.021");
  progress.clear();
  fx.form.Command2_Click();
  EXPECT_EQ(progress.front(), "Files of an earlier run set aside in parvela-leftovers-3/: movie.h264, movie.aac");
  EXPECT_EQ(progress.back(), "Conversion done");
  EXPECT_EQ(ReadFile(out / "film.mp4"), "film of this run");
  EXPECT_FALSE(FileIsPresent(KeptName(out / "film.mp4")));

  // A crashed tool ends the run, whatever it left; the earlier film is back.
  crashing = "MP4Box.exe";
  WriteFile(out / "film.mp4", "the earlier film");
  fx.host.messages.clear();
  progress.clear();
  fx.form.Command2_Click();
  ASSERT_EQ(fx.host.messages.size(), 1u);
  EXPECT_EQ(fx.host.messages[0].title, "Tool error");
  EXPECT_EQ(fx.host.messages[0].text, "MP4Box.exe was ended by signal 11 (Segmentation fault), so the conversion "
                                      "ended. The temporary files are kept for inspection.");
  EXPECT_EQ(progress.back(), "Conversion error.");
  EXPECT_EQ(ReadFile(out / "film.mp4"), "the earlier film");
  EXPECT_TRUE(FileIsPresent(out / "movie.h264"));
}

TEST(Faithfulness, LengthsAgreeWithinASecondOrThreePercent) {
  using faithfulness::Disagreement;
  const faithfulness::Request sound{"s.mkv", 0, 1, true, {}};
  const faithfulness::Request silent{"s.mkv", -1, 1, true, {}};
  const faithfulness::Request retimed{"s.mkv", 0, 23.976 / 25, true, {}};
  const faithfulness::Request piece{"s.mkv", 0, 1, false, {}};
  EXPECT_EQ(Disagreement(sound, {6.0, 6.0}, {6.0, 30.0}), "the sound lasts 30.0 s, the source's 6.0 s");
  EXPECT_EQ(Disagreement(sound, {31.0, 31.0}, {27.0, 31.0}), "the sound lasts 31.0 s, the picture 27.0 s");
  EXPECT_EQ(Disagreement(sound, {6.0, 6.0}, {6.9, 6.0}), "");                 // within a second
  EXPECT_EQ(Disagreement(sound, {7200.0, 7200.0}, {7000.0, 7010.0}), "");     // within 3 %
  EXPECT_EQ(Disagreement(sound, {7200.0, 7200.0}, {6900.0, 6900.0}), "the sound lasts 6900.0 s, the source's 7200.0 s");
  EXPECT_EQ(Disagreement(sound, {20.0, 10.0}, {20.0, 10.0}), "");  // a source whose picture outlasts its sound
  EXPECT_EQ(Disagreement(sound, {8.2, 8.2}, {8.2, {}}), "it has no sound, the source's lasts 8.2 s");
  EXPECT_EQ(Disagreement(sound, {8.2, 8.2}, {{}, 8.2}), "it has no picture");
  EXPECT_EQ(Disagreement(silent, {11.0, {}}, {1.0, {}}), "the picture lasts 1.0 s, the source's 11.0 s");
  EXPECT_EQ(Disagreement(retimed, {1000.0, 1000.0}, {959.0, 959.0}), "");
  EXPECT_EQ(Disagreement(piece, {}, {600.0, 600.5}), "");
  EXPECT_EQ(Disagreement(piece, {}, {600.0, 300.0}), "the sound lasts 300.0 s, the picture 600.0 s");
}

TEST(Faithfulness, SourceSoundIsItsPacketsDurationsNotItsTimestamps) {
  TempDir dir;
  testing::RecordingRunner runner;
  // A web clip: the second audio stream's timestamps span 0.2 s, its packets hold 0.3 s (a packet
  // without a duration lasts as long as the one before). A cover picture is no picture. TrueHD
  // gives no durations: each packet lasts until the next starts. The picture's frames outlast
  // their timestamps. PCM lasts as long as its bytes say: Matroska rounds its blocks' timestamps.
  runner.onRun = [&](const std::string& line) {
    const Lines a = SplitCommandLine(line);
    WriteFile(a[a.size() - 2], "stream,0,mjpeg,video,1\nstream,1,aac,audio,48000,2,0,0\nstream,2,h264,video,0\n"
                               "stream,3,aac,audio,48000,2,0,0\nstream,4,truehd,audio,48000,6,0,0\n"
                               "stream,5,pcm_s16le,audio,44100,1,16,0\n"
                               "packet,5,0.000,0.001,88200\npacket,5,0.001,0.001,88200\n"
                               "packet,4,0.000,N/A\npacket,4,0.002,N/A\npacket,4,0.004,N/A\n"
                               "packet,2,1.000,0.040\npacket,3,0.000,0.100\npacket,1,0.000,5.000\r\n"
                               "packet,3,0.100,0.100\npacket,3,0.200,N/A\npacket,2,1.040,0.040\npacket,0,0.000,9.0\n"
                               "packet,2,N/A,0.040\npacket,2,N/A,0.040\n");
    return 0;
  };
  faithfulness::Lengths lengths;
  ASSERT_TRUE(faithfulness::MeasureSource(runner, "ffprobe", dir / "r.txt", {dir / "s.mkv", 1, 1, true, {}}, lengths));
  EXPECT_NEAR(*lengths.sound, 0.3, 1e-9);
  EXPECT_NEAR(*lengths.picture, 0.16, 1e-9);  // four frames, their timestamps span two
  EXPECT_FALSE(FileIsPresent(dir / "r.txt"));
  ASSERT_TRUE(faithfulness::MeasureSource(runner, "ffprobe", dir / "r.txt", {dir / "s.mkv", 2, 1, true, {}}, lengths));
  EXPECT_NEAR(*lengths.sound, 0.006, 1e-9);
  ASSERT_TRUE(faithfulness::MeasureSource(runner, "ffprobe", dir / "r.txt", {dir / "s.mkv", 3, 1, true, {}}, lengths));
  EXPECT_NEAR(*lengths.sound, 2.0, 1e-9);  // 176400 bytes of 16-bit mono at 44.1 kHz
  ASSERT_TRUE(faithfulness::MeasureSource(runner, "ffprobe", dir / "r.txt", {dir / "s.mkv", 4, 1, true, {}}, lengths));
  EXPECT_FALSE(lengths.sound);  // there is no fifth audio stream
}

TEST(Leftovers, OnlyTheFixedNamesMoveIntoAFolderOfTheirOwnAndNothingIsReplaced) {
  TempDir dir;
  const std::string folder = dir.path() + "/";
  std::vector<std::string> moved;
  // Nothing found: no folder is made.
  EXPECT_EQ(SetAsideLeftovers(folder, TemporaryFileNames(), [](const std::string&) { return false; }, moved), "");
  EXPECT_FALSE(FolderExists(folder + "parvela-leftovers"));
  WriteFile(folder + "movie.wav", "tone");
  WriteFile(folder + "movie.mpg", "the user's film named movie");
  WriteFile(folder + "movie.wma", "a VC-1 run's result");
  WriteFile(folder + "parvela-leftovers", "a file of the user's");
  const auto stays = [&](const std::string& path) { return path == folder + "movie.mpg"; };
  EXPECT_EQ(SetAsideLeftovers(folder, TemporaryFileNames(), stays, moved), "parvela-leftovers-2");
  EXPECT_EQ(moved, Lines{"movie.wav"});
  EXPECT_EQ(ReadFile(folder + "parvela-leftovers-2/movie.wav"), "tone");
  EXPECT_EQ(ReadFile(folder + "parvela-leftovers"), "a file of the user's");
  EXPECT_TRUE(FileIsPresent(folder + "movie.mpg"));
  EXPECT_TRUE(FileIsPresent(folder + "movie.wma"));
}

}  // namespace
}  // namespace parvela
