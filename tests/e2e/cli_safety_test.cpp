// parvela-cli under faults a user meets: Ctrl-C, a full disk, a folder it cannot write, a second
// run from the same installation, and sources and paths it must refuse or take safely.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli_test_util.h"
#include "test_support.h"

extern char** environ;

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::cli::Probe;
using testing::cli::Q;
using testing::cli::Shell;
using Names = std::vector<std::string>;

// One second of 320x240 H.264 (or `video`) with the given audio; longer on request.
void MakeSource(const std::string& path, const std::string& audio = "ac3 -ac 6", const std::string& video = "libx264",
                int seconds = 1) {
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i "
                  "sine=sample_rate=48000 -t " + std::to_string(seconds) + " -map 0:v -map 1:a -c:v " + video +
                  (video == "libx264" ? " -preset ultrafast -pix_fmt yuv420p" : "") + " -c:a " + audio + " " +
                  Q(path)),
            0);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CliSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(std::string(PARVELA_APP_DIR) + "/parvela-cli"));
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
  }
  // `prefix` runs before the program (a folder change, a limit).
  int RunCli(const std::string& args, const std::string& prefix = "") {
    return Shell(prefix + "env HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " " + args + " > " +
                 Q(home / "out.txt") + " 2> " + Q(home / "err.txt"));
  }
  std::string Stdout() { return ReadFile(home / "out.txt"); }
  std::string Stderr() { return ReadFile(home / "err.txt"); }

  TempDir app, home, in, out;
};

// Processes still running whose command line names this folder (the tools of the run).
int ProcessesNaming(const std::string& folder) {
  int count = 0;
  for (auto& e : fs::directory_iterator("/proc")) {
    std::ifstream cmdline(e.path() / "cmdline", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(cmdline)), {});
    if (Contains(text, folder)) ++count;
  }
  return count;
}

TEST_F(CliSafety, CtrlCEndsTheRunningToolSaysInterruptedAndExits130) {
  const std::string source = in / "film.mkv";
  MakeSource(source, "ac3 -ac 6", "libx264", 20);
  const std::string outFile = home / "out.txt", errFile = home / "err.txt";
  std::vector<std::string> argv = {app / "parvela-cli", "-o", out.path(), source};
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // The first progress line comes just before the first tool of the conversion starts.
  for (int i = 0; i < 600 && !Contains(ReadFile(outFile), "Extracting video/audio stream"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(kill(pid, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_TRUE(Contains(ReadFile(errFile), "Interrupted\n")) << ReadFile(errFile);
  EXPECT_FALSE(fs::exists(out / "film.mp4"));
  // The tool's process group was ended with it; give the signal a moment to land.
  int left = ProcessesNaming(out.path());
  for (int i = 0; i < 100 && left > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    left = ProcessesNaming(out.path());
  }
  EXPECT_EQ(left, 0);
}

TEST_F(CliSafety, FullDiskEndsWithExitOneAndAMessage) {
  const std::string source = in / "film.mkv";
  MakeSource(source);
  // Every file may grow to 64 KB; past that a write fails as on a full disk (not by a signal).
  const int code = RunCli("-o " + Q(out.path()) + " " + Q(source), "trap '' XFSZ; prlimit --fsize=65536 ");
  EXPECT_EQ(code, 1) << Stdout() << Stderr();
  EXPECT_TRUE(Contains(Stderr(), "error")) << Stderr();
  EXPECT_FALSE(fs::exists(out / "film.mp4"));
}

TEST_F(CliSafety, OutputFolderThatCannotBeWrittenIsRefusedBeforeAnyTool) {
  MakeSource(in / "film.mkv");
  // Permission bits do not stop root; no process can create a file in /proc.
  std::string folder = "/proc";
  if (geteuid() != 0) {
    folder = out / "locked";
    fs::create_directory(folder);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  }
  EXPECT_EQ(RunCli("-o " + Q(folder) + " " + Q(in / "film.mkv")), 1);
  EXPECT_EQ(Stderr(), "Folder error: The output folder " + folder + " cannot be written. Nothing was converted.\n");
  EXPECT_EQ(Stdout(), "");
  EXPECT_FALSE(fs::exists(app / "debug.log"));  // no inspection ran
}

// A limit that the video and the film fit under but the decoded sound does not: the tools that
// stop midway leave nothing that passes for a finished file, so no film with short audio is made.
TEST_F(CliSafety, LimitBetweenTheFilesSizesGivesNoFilmWithShortenedAudio) {
  const std::string source = in / "film.mkv";
  MakeSource(source, "ac3 -ac 2", "libx264", 10);
  constexpr uintmax_t kLimit = 1500000, kWavBytes = 10 * 48000 * 4;
  ASSERT_LT(fs::file_size(source), kLimit);
  static_assert(kWavBytes > kLimit);
  const int code = RunCli("-o " + Q(out.path()) + " " + Q(source),
                          "trap '' XFSZ; prlimit --fsize=" + std::to_string(kLimit) + " ");
  EXPECT_EQ(code, 1) << Stdout() << Stderr();
  EXPECT_FALSE(Contains(Stdout(), "Conversion done")) << Stdout();
  EXPECT_FALSE(fs::exists(out / "film.mp4"));
  EXPECT_FALSE(fs::exists(out / "movie.wav"));

  // mencoder ends with status 0 when its writes fail: the MPEG-2 road judges the film's length.
  const int recoded = RunCli("--recode mpeg2 -o " + Q(out.path()) + " " + Q(source), "trap '' XFSZ; prlimit --fsize=700000 ");
  EXPECT_EQ(recoded, 1) << Stdout() << Stderr();
  EXPECT_TRUE(Contains(Stderr(), "Mencoder error: Error creating " + out / "film.mpg")) << Stderr();
  EXPECT_FALSE(fs::exists(out / "film.mpg"));

  // So does ffmpeg's transport-stream muxer under tsMuxeR: the stream must hold the whole film.
  const int ts = RunCli("--vob -o " + Q(out.path()) + " " + Q(source), "trap '' XFSZ; prlimit --fsize=1100000 ");
  EXPECT_EQ(ts, 1) << Stdout() << Stderr();
  EXPECT_FALSE(fs::exists(out / "film.mpg"));
}

TEST_F(CliSafety, SecondRunFromOneInstallationIsRefusedAndTouchesNothing) {
  MakeSource(in / "film.mkv");
  // This test holds the installation, as a first run would.
  const int fd = open((app / "parvela.lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(in / "film.mkv")), 1);
  close(fd);
  EXPECT_TRUE(Contains(Stderr(), "another Parvela run is using " + app.path())) << Stderr();
  EXPECT_EQ(testing::cli::Names(out.path()), Names{});
  EXPECT_FALSE(fs::exists(app / "parvela.conf"));
  EXPECT_FALSE(fs::exists(app / "debug.log"));
}

TEST_F(CliSafety, SafeSyncWithAnAacSourceStillMakesAnMp4WithAac) {
  MakeSource(in / "film.mkv", "aac -ac 2");
  ASSERT_EQ(RunCli("--safe-sync -o " + Q(out.path()) + " " + Q(in / "film.mkv")), 0) << Stderr();
  EXPECT_EQ(testing::cli::Names(out.path()), Names{"film.mp4"});
  EXPECT_EQ(Probe(out / "film.mp4", "a:0", "codec_name,channels"), "aac,2");
}

TEST_F(CliSafety, VideoNoToolDecodesIsNamedAndNothingRuns) {
  // An FFV1 track in VfW mode whose FourCC names a format nothing decodes.
  MakeSource(in / "film.mkv", "ac3 -ac 6", "ffv1");
  std::string bytes = testing::ReadFile(in / "film.mkv");
  const size_t at = bytes.find("FFV1");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 4, "QQV1");
  testing::WriteFile(in / "film.mkv", bytes);
  EXPECT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(in / "film.mkv")), 1);
  EXPECT_EQ(Stderr(), "Video error: The video of this source (QQV1) is in a format that no tool of Parvela "
                      "decodes. Nothing was converted.\n");
  EXPECT_EQ(testing::cli::Names(out.path()), Names{});
}

TEST_F(CliSafety, RelativeSourceNamedLikeAnOptionIsConverted) {
  MakeSource(in / "-v name.mkv");
  ASSERT_EQ(RunCli("-o out -- '-v name.mkv'", "cd " + Q(in.path()) + " && mkdir out && "), 0) << Stderr();
  EXPECT_EQ(testing::cli::Names(in / "out"), Names{"-v name.mp4"});
}

TEST_F(CliSafety, FolderWithoutMkvFilesSaysSo) {
  std::ofstream(in / "notes.txt") << "x";
  EXPECT_EQ(RunCli("-o " + Q(out.path()) + " " + Q(in.path())), 1);
  EXPECT_EQ(Stderr(), "Folder error: No MKV file was found in " + in.path() + ". Nothing was converted.\n");
}

}  // namespace
}  // namespace parvela
