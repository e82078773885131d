#include <sys/stat.h>

#include <gtest/gtest.h>

#include "process/process.h"
#include "test_support.h"

namespace parvela {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, QuotedPathsWithBlanksStayWhole) {
  EXPECT_EQ(SplitCommandLine("\"/a b/mkvextract.exe\" tracks \"/in/my movie.mkv\" 1:\"/o/movie.h264\""),
            (Args{"/a b/mkvextract.exe", "tracks", "/in/my movie.mkv", "1:/o/movie.h264"}));
}

TEST(SplitCommandLine, DoubledBlanksMakeNoEmptyArguments) {
  EXPECT_EQ(SplitCommandLine("\"x\"  -fps 25 -add  \"a\""), (Args{"x", "-fps", "25", "-add", "a"}));
  EXPECT_EQ(SplitCommandLine("   "), Args{});
}

TEST(SplitCommandLine, BackslashRules) {
  EXPECT_EQ(SplitCommandLine(R"(a\b c\\d)"), (Args{R"(a\b)", R"(c\\d)"}));
  EXPECT_EQ(SplitCommandLine(R"(a\"b)"), (Args{R"(a"b)"}));          // 1 backslash: literal quote
  EXPECT_EQ(SplitCommandLine(R"("a\\" b)"), (Args{R"(a\)", "b"}));     // 2: one backslash, closes
  EXPECT_EQ(SplitCommandLine(R"("a\\\"b" c)"), (Args{R"(a\"b)", "c"}));  // 3: one and a quote
  EXPECT_EQ(SplitCommandLine(R"(-ota( -r 23976 25000 ))"), (Args{"-ota(", "-r", "23976", "25000", ")"}));
}

TEST(Quoted, OrdinaryPathsAreWrappedOnly) {
  EXPECT_EQ(Quoted("/films/my movie.mkv"), "\"/films/my movie.mkv\"");
  EXPECT_EQ(Quoted("C:\\films\\x.mkv"), "\"C:\\films\\x.mkv\"");
}

TEST(Quoted, TrailingBackslashIsDoubledSoItCannotEscapeTheQuote) {
  EXPECT_EQ(Quoted("/films/odd\\"), "\"/films/odd\\\\\"");
  EXPECT_EQ(SplitCommandLine("\"/bin/tool\" " + Quoted("/films/odd\\") + " -o x"),
            (Args{"/bin/tool", "/films/odd\\", "-o", "x"}));
}

TEST(Quoted, AwkwardPathsSurviveTheSplit) {
  const std::vector<std::string> paths = {
      "/films/with blank/film.mkv", "/films/say \"hi\"/film.mkv", "/films/back\\slash\\\"q/x",
      "/films/trailing\\", "/films/$HOME `ls` ;|&*?.mkv", "/films/Fïlm – été.mkv", "/films/ends-with-quote\"",
      "/films/\\\"\\\\\"/x"};
  for (const auto& p : paths) {
    Args got = SplitCommandLine("\"/bin/tool\" " + Quoted(p) + " -o " + Quoted(p));
    ASSERT_EQ(got.size(), 4u) << p;
    EXPECT_EQ(got[1], p);
    EXPECT_EQ(got[3], p);
  }
}

TEST(PosixProcessRunner, ReturnsExitCodeAndMinusOneForMissingProgram) {
  PosixProcessRunner runner;
  EXPECT_EQ(runner.RunAndWait("\"/bin/sh\" -c \"exit 3\""), 3);
  EXPECT_EQ(runner.RunAndWait("\"/nonexistent/tool.exe\" a b"), -1);
  EXPECT_EQ(runner.RunAndWait(""), -1);
}

TEST(PosixProcessRunner, WaitPumpRunsWhileTheToolRuns) {
  testing::TempDir dir;
  const std::string flag = dir / "started";
  PosixProcessRunner runner;
  int pumps = 0;
  bool toolSeenRunning = false;
  runner.SetWaitPump([&] {
    ++pumps;
    toolSeenRunning = toolSeenRunning || std::filesystem::exists(flag);
  });
  // Long enough for the wait to pump a few times after the tool has started.
  const std::string script = "touch " + flag + "; sleep 0.3; exit 4";
  EXPECT_EQ(runner.RunAndWait("\"/bin/sh\" -c \"" + script + "\""), 4);
  EXPECT_GT(pumps, 0);
  EXPECT_TRUE(toolSeenRunning);
  runner.SetWaitPump(nullptr);
  pumps = 0;
  EXPECT_EQ(runner.RunAndWait("\"/bin/sh\" -c \"exit 5\""), 5);
  EXPECT_EQ(pumps, 0);
}

TEST(PosixProcessRunner, ObserverSeesBothStreamsLineByLineWithAndWithoutAPump) {
  PosixProcessRunner runner;
  std::vector<std::string> lines;
  runner.SetOutputObserver([&](std::string_view line) { lines.emplace_back(line); });
  // A redrawn counter, a line on the error stream, and a last line without its line feed.
  const std::string script = "printf 'Progress: 10%%\\rProgress: 50%%\\n'; echo oops >&2; sleep 0.1; printf end";
  EXPECT_EQ(runner.RunAndWait("\"/bin/sh\" -c \"" + script + "; exit 6\""), 6);
  EXPECT_EQ(lines, (Args{"Progress: 10%", "Progress: 50%", "oops", "end"}));
  int pumps = 0;
  runner.SetWaitPump([&] { ++pumps; });
  lines.clear();
  EXPECT_EQ(runner.RunAndWait("\"/bin/sh\" -c \"" + script + "\""), 0);
  EXPECT_EQ(lines, (Args{"Progress: 10%", "Progress: 50%", "oops", "end"}));
  EXPECT_GT(pumps, 0);
  // Ended: the next tool's output is nobody's.
  runner.SetOutputObserver({});
  lines.clear();
  EXPECT_EQ(runner.RunAndWait("\"/bin/sh\" -c \"echo unseen\""), 0);
  EXPECT_TRUE(lines.empty());
}

// A tool started beside runs while the next one does: the two meet through a pipe, which
// neither could fill alone; run one after the other, the reader would give up after 20 s.
TEST(PosixProcessRunner, ToolStartedBesideRunsWhileTheNextOneDoes) {
  testing::TempDir dir;
  const std::string fifo = dir / "meet", got = dir / "got";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  PosixProcessRunner runner;
  runner.StartBeside("/usr/bin/timeout 20 /bin/sh -c \"cat '" + fifo + "' > '" + got + "'\"");
  EXPECT_EQ(runner.RunAndWait("/usr/bin/timeout 20 /bin/sh -c \"echo met > '" + fifo + "'\""), 0);
  EXPECT_EQ(runner.WaitBeside(), 0);
  EXPECT_EQ(testing::ReadFile(got), "met\n");
  EXPECT_EQ(runner.WaitBeside(), 0);  // waited for once; the code stays
  runner.StartBeside("/no/such/tool");
  EXPECT_EQ(runner.WaitBeside(), -1);
}

TEST(PosixProcessRunner, NoShellInterpretsAFileName) {
  testing::TempDir dir;
  const std::string odd = dir / "a $(touch pwned) `x` ; b.txt";
  PosixProcessRunner runner;
  EXPECT_EQ(runner.RunAndWait("\"/usr/bin/touch\" " + Quoted(odd)), 0);
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"a $(touch pwned) `x` ; b.txt"});
}

}  // namespace
}  // namespace parvela
