// An installed application folder (marked as system-wide): the state goes to the user's
// configuration folder, the transport-stream road finds h264info through its link there, and
// nothing is written beside the tools.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/state_folder.h"
#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

namespace fs = std::filesystem;

// Every entry under folder with its size, links as links: a picture of what was written.
std::vector<std::string> Snapshot(const std::string& folder) {
  std::vector<std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const bool file = e.is_regular_file() && !e.is_symlink();
    entries.push_back(fs::relative(e.path(), folder).string() + (file ? " " + std::to_string(e.file_size()) : ""));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST(CliInstalled, StateGoesToTheUsersConfigFolderAndTheApplicationFolderStaysUntouched) {
  TempDir base, home, in, out;
  const std::string app = base / "parvela", source = in / "film.mkv", state = home / ".config/parvela";
  CopyApplicationFolder(PARVELA_APP_DIR, app);
  WriteFile(app + "/" + kSystemWideMarker, "installed\n");
  ASSERT_TRUE(MakeSource(source, "320x240", "24000/1001", {}, {"-profile:v", "high", "-level", "5.1"}));
  const std::vector<std::string> before = Snapshot(app);
  auto cli = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"env", "-u", "XDG_CONFIG_HOME", "HOME=" + home.path(), app + "/parvela-cli"});
    return Spawn(args);
  };

  Ran version = cli({"--version"});
  EXPECT_EQ(version.out, "parvela-cli " PARVELA_VERSION "\nSettings, log and lock in " + state + "\n");
  EXPECT_FALSE(fs::exists(state));  // asking creates nothing

  Ran ran = cli({"--vob", "-o", out.path(), source});
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(FolderListing(out.path()), std::vector<std::string>{"film.mpg"});
  // The level 4.1 comes from h264info, which ran from its link in the state folder.
  EXPECT_EQ(Probe(out / "film.mpg", "codec_name,level", "v"), "h264,41\nh264,41");
  EXPECT_EQ(Snapshot(app), before);
  EXPECT_EQ(ReadFile(state + "/h264info/h264info.ini"),
            "[Paths]\r\nInputPath=" + out / "movie_raw.h264" + "\r\nOutputPath=" + out / "movie.h264" + "\r\n");
  EXPECT_EQ(Lines(ReadFile(state + "/parvela.conf"))[1], app + "/FFMpeg/FFmpeg.exe");
  EXPECT_NE(ReadFile(state + "/debug.log").find("\"" + app + "/TS/tsmuxer.exe\" \"" + out / "movie.meta\""),
            std::string::npos);
  EXPECT_TRUE(fs::exists(state + "/parvela.lock"));
  EXPECT_EQ(fs::status(state).permissions() & fs::perms::all, fs::perms::owner_all);
}

}  // namespace
}  // namespace parvela::testing::toolkit
