// parvela-cli when something earlier went wrong: leftovers of a failed run in the output folder, a
// front end killed mid-run, a tool that crashes, and a second run of the same film that is
// stopped or fails. Each test makes the fault happen and checks what is left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

double Seconds(const std::string& text) { return text.empty() ? -1 : std::stod(text); }

class CliRunSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::CopyApplicationFolder(PARVELA_APP_DIR, app.path());
    source = in / "film.mkv";
  }
  // H.264 and AAC, `seconds` long.
  void MakeSource(int seconds) {
    ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i "
                    "sine=sample_rate=48000 -t " + std::to_string(seconds) +
                    " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac " + Q(source)),
              0);
  }
  // Puts a script in place of a tool of the application folder; it may hand over to the real one.
  void StandIn(const std::string& tool, const std::string& body) {
    const std::string path = app / tool;
    fs::remove(path);
    std::ofstream(path) << "#!/bin/bash\nreal=" << Q(app / "parvela-tools") << "\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  int Convert() {
    return Shell("env HOME=" + Q(home.path()) + " " + Q(app / "parvela-cli") + " -o " + Q(out.path()) + " " +
                 Q(source) + " > " + Q(home / "out.txt") + " 2> " + Q(home / "err.txt"));
  }
  // Starts a conversion in the background and waits until its progress shows `line`.
  pid_t StartUntil(const std::string& line) {
    std::vector<std::string> argv = {app / "parvela-cli", "-o", out.path(), source};
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string outFile = home / "out.txt", errFile = home / "err.txt";
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 1200 && !Has(ReadFile(outFile), line); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pid;
  }
  // Processes whose command line names the output folder: the tools of a run.
  int ToolsRunning() {
    int count = 0;
    for (int i = 0; i < 100; ++i) {
      count = 0;
      for (auto& e : fs::directory_iterator("/proc")) {
        std::ifstream cmdline(e.path() / "cmdline", std::ios::binary);
        if (Has(std::string((std::istreambuf_iterator<char>(cmdline)), {}), out.path())) ++count;
      }
      if (count == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return count;
  }
  TempDir app, home, in, out;
  std::string source;
};

TEST_F(CliRunSafety, LeftoverWavIsSetAsideAndTheFilmKeepsItsOwnSound) {
  MakeSource(6);
  // A failed run's decoded sound: 30 seconds of a 1000 Hz tone.
  ASSERT_EQ(Shell("ffmpeg -nostdin -loglevel error -f lavfi -i sine=frequency=1000:sample_rate=48000 -t 30 " +
                  Q(out / "movie.wav")),
            0);
  const std::string leftover = ReadFile(out / "movie.wav");
  ASSERT_EQ(Convert(), 0) << ReadFile(home / "err.txt");
  EXPECT_TRUE(Has(ReadFile(home / "out.txt"), "Files of an earlier run set aside in parvela-leftovers/: movie.wav\n"));
  EXPECT_TRUE(Has(ReadFile(home / "out.txt"), "Conversion done"));
  const double sound = Seconds(Probe(out / "film.mp4", "a:0", "duration"));
  EXPECT_NEAR(sound, 6.0, 0.3);
  EXPECT_NEAR(Seconds(Probe(out / "film.mp4", "v:0", "duration")), 6.0, 0.3);
  EXPECT_EQ(ReadFile(out / "parvela-leftovers/movie.wav"), leftover);
  EXPECT_EQ(testing::cli::Names(out.path()), (std::vector<std::string>{"film.mp4", "parvela-leftovers"}));
}

TEST_F(CliRunSafety, LeftoverStreamIsNotMuxedWhenExtractionFails) {
  MakeSource(2);
  std::ofstream(out / "movie.h264") << "an earlier film's video";
  fs::create_directory(out / "parvela-leftovers");  // an earlier one: the next name is numbered
  StandIn("MKVToolnix/mkvextract.exe", "exit 1");
  EXPECT_EQ(Convert(), 1);
  EXPECT_FALSE(Has(ReadFile(home / "out.txt"), "Conversion done"));
  EXPECT_EQ(ReadFile(out / "parvela-leftovers-2/movie.h264"), "an earlier film's video");
  EXPECT_TRUE(fs::is_empty(out / "parvela-leftovers"));
}

TEST_F(CliRunSafety, FrontEndKilledMidRunThenTheNextRunConverts) {
  MakeSource(3);
  ASSERT_EQ(Convert(), 0) << ReadFile(home / "err.txt");
  // The muxer of the run to be killed hangs once it has done its work.
  const std::string hang = home / "hang";
  std::ofstream(hang) << "";
  StandIn("MP4Box/MP4Box.exe", "exec -a \"$0\" \"$real\" \"$@\" &\nwait\n[ -e " + Q(hang) + " ] && sleep 60\nexit 0");
  const pid_t pid = StartUntil("Creating MP4");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  EXPECT_GT(ToolsRunning(), 0);  // the muxer's group outlived its front end
  fs::remove(hang);
  ASSERT_EQ(Convert(), 0) << ReadFile(home / "err.txt");
  EXPECT_EQ(ToolsRunning(), 0);
  EXPECT_TRUE(Has(ReadFile(home / "out.txt"), "Files of an earlier run set aside in parvela-leftovers/: "));
  // The killed run's unjudged film went with the leftovers; the new film replaced the earlier.
  EXPECT_TRUE(fs::exists(out / "parvela-leftovers/film.mp4"));
  EXPECT_FALSE(fs::exists(out / "film.mp4.parvela-earlier"));
  EXPECT_NEAR(Seconds(Probe(out / "film.mp4", "a:0", "duration")), 3.0, 0.3);
}

TEST_F(CliRunSafety, CrashingToolEndsTheRunWithAnErrorNamingIt) {
  MakeSource(2);
  StandIn("MP4Box/MP4Box.exe", "kill -SEGV $$");
  EXPECT_EQ(Convert(), 1);
  EXPECT_TRUE(Has(ReadFile(home / "err.txt"), "Tool error: MP4Box.exe was ended by signal 11 (Segmentation fault), "
                                              "so the conversion ended."))
      << ReadFile(home / "err.txt");
  EXPECT_FALSE(Has(ReadFile(home / "out.txt"), "Conversion done"));
}

TEST_F(CliRunSafety, SecondRunStoppedOrFailedLeavesTheFirstFilmByteForByte) {
  MakeSource(3);
  ASSERT_EQ(Convert(), 0) << ReadFile(home / "err.txt");
  const std::string first = ReadFile(out / "film.mp4");
  ASSERT_FALSE(first.empty());

  // Stopped (Ctrl-C) while the muxer writes the new film.
  StandIn("MP4Box/MP4Box.exe", "echo partial > \"${@: -3:1}\"\nsleep 60");
  const pid_t pid = StartUntil("Creating MP4");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(kill(pid, SIGINT), 0);
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  EXPECT_EQ(ReadFile(out / "film.mp4"), first);
  EXPECT_FALSE(fs::exists(out / "film.mp4.parvela-earlier"));

  // Failed: the muxer leaves a file that is no film.
  StandIn("MP4Box/MP4Box.exe", "echo 'no film' > \"${@: -3:1}\"");
  EXPECT_EQ(Convert(), 1);
  EXPECT_EQ(ReadFile(out / "film.mp4"), first);
  EXPECT_EQ(ReadFile(out / "film.rejected.mp4"), "no film\n");
  EXPECT_TRUE(Has(ReadFile(home / "out.txt"), "The earlier film.mp4 is back in place; this run's file is kept as "
                                              "film.rejected.mp4"));
}

}  // namespace
}  // namespace parvela
