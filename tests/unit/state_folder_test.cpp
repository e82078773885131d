// Where the files Parvela writes for itself live: beside the tools in a portable folder, in the
// user's configuration folder for an installed one; and every reader and writer follows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "app/instance_lock.h"
#include "app/state_folder.h"
#include "form_fixture.h"
#include "streams/streams.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::FormFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Sets an environment variable for the length of a test; null unsets it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { hadOld_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) names.push_back(fs::relative(e.path(), folder));
  std::sort(names.begin(), names.end());
  return names;
}

TEST(StateFolder, PortableFolderKeepsItsStateAnInstalledOneUsesTheConfigFolder) {
  TempDir app, home, xdg;
  ScopedEnv homeVar("HOME", home.path().c_str());
  ScopedEnv xdgVar("XDG_CONFIG_HOME", nullptr);
  // Writable and unmarked: beside the tools, as ever, and nothing is made.
  EXPECT_EQ(StateFolder(app.path()), app.path());
  EXPECT_TRUE(PrepareStateFolder(app.path(), app.path()));
  EXPECT_TRUE(Tree(app.path()).empty());

  WriteFile(app / kSystemWideMarker, "");
  EXPECT_EQ(StateFolder(app.path()), home / ".config/parvela");
  {
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");  // to be ignored
    EXPECT_EQ(StateFolder(app.path()), home / ".config/parvela");
  }
  ScopedEnv absolute("XDG_CONFIG_HOME", (xdg.path() + "/").c_str());
  const std::string state = StateFolder(app.path());
  EXPECT_EQ(state, xdg / "parvela");
  EXPECT_FALSE(fs::exists(state));  // deciding creates nothing

  // A file in the way: no folder, and the front ends say so.
  WriteFile(state, "");
  EXPECT_FALSE(PrepareStateFolder(app.path(), state));
  fs::remove(state);
  // A link left by an application folder that has moved is replaced.
  fs::create_directories(state + "/h264info");
  fs::create_symlink("/moved/away/h264info/h264info.exe", state + "/h264info/h264info.exe");
  ASSERT_TRUE(PrepareStateFolder(app.path(), state));
  EXPECT_EQ(fs::read_symlink(state + "/h264info/h264info.exe"), app / "h264info/h264info.exe");
  // Made afresh: private to the user.
  fs::remove_all(state);
  ASSERT_TRUE(PrepareStateFolder(app.path(), state));
  EXPECT_EQ(fs::status(state).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(Tree(state), (std::vector<std::string>{"h264info", "h264info/h264info.exe"}));
  EXPECT_EQ(fs::read_symlink(state + "/h264info/h264info.exe"), app / "h264info/h264info.exe");
}

TEST(StateFolder, EveryReaderAndWriterUsesIt) {
  FormFixture fx;
  TempDir state, out;
  fx.app.stateFolder = state.path();
  ASSERT_TRUE(PrepareStateFolder(fx.app.appFolder, fx.app.stateFolder));
  fx.runner.onRun = [&](const std::string& line) {
    if (line.find("mkvinfo.exe") != std::string::npos) WriteFile(state / "info.txt", "");
    return 0;
  };
  {
    InstanceLock lock(fx.app.stateFolder);
    EXPECT_TRUE(lock.Held());
  }
  fx.form.txtTMP.SetText("/media/out/");
  fx.form.SaveSettings();
  fx.form.txtTMP.SetText("");
  fx.form.LoadSettings();
  EXPECT_EQ(fx.form.txtTMP.Text(), "/media/out/");
  fx.form.ReadInfo("/films/a.mkv");
  fx.form.Form_DblClick();
  RewriteH264Header(fx.runner, fx.app.stateFolder, out.path() + "/");

  const std::string a = fx.app.appFolder, s = state.path();
  EXPECT_EQ(fx.runner.Lines(),
            (std::vector<std::string>{"\"" + a + "/MKVToolnix/mkvinfo.exe\" \"/films/a.mkv\" -o \"" + s + "/info.txt\"",
                                      "\"" + s + "/h264info/h264info.exe\""}));
  EXPECT_TRUE(Tree(a).empty());
  EXPECT_EQ(Tree(s), (std::vector<std::string>{"debug.log", "h264info", "h264info/h264info.exe", "h264info/h264info.ini",
                                               "parvela.conf", "parvela.lock", "register.bat"}));
  EXPECT_EQ(ReadFile(s + "/register.bat"),
            "regsvr32 \"" + a + "/FSFWrap.dll\"\r\nregsvr32 \"" + a + "/WAVDEST.AX\"\r\n");
}

}  // namespace
}  // namespace parvela
