// The toolkit started from the Windows build under wine: drive-letter paths in its arguments
// and order files name Linux files through the wine prefix's drives, and its bridge learns the
// exit code from the status file.
#include <cstdlib>

#include "toolkit_test_util.h"

namespace parvela::testing::toolkit {
namespace {

std::string OnDriveZ(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
}

TEST(ToolkitDrivePaths, ArgumentsAndOrderFilesNameLinuxFilesThroughThePrefixDrives) {
  TempDir prefix, app, dir;
  std::filesystem::create_directories(prefix / "dosdevices");
  std::filesystem::create_directory_symlink("/", prefix / "dosdevices/z:");
  std::filesystem::create_directory_symlink(dir.path(), prefix / "dosdevices/d:");
  const char* previous = std::getenv("WINEPREFIX");
  const std::string kept = previous ? previous : "";
  setenv("WINEPREFIX", prefix.path().c_str(), 1);

  std::filesystem::create_symlink(AppTool("parvela-tools"), app / "h264info.exe");
  const std::string sps("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9);
  WriteFile(dir / "movie_raw.h264", sps + "frame");
  WriteFile(app / "h264info.ini", "[Paths]\r\nInputPath=" + OnDriveZ(dir / "movie_raw.h264") +
                                      "\r\nOutputPath=D:\\movie.h264\r\n");
  const Ran ran = RunLine(Quoted(AppTool("parvela-tools")) + " --exit-status-file D:\\status " +
                          Quoted(OnDriveZ(app / "h264info.exe")));
  if (previous) {
    setenv("WINEPREFIX", kept.c_str(), 1);
  } else {
    unsetenv("WINEPREFIX");
  }
  ASSERT_EQ(ran.code, 0) << ran.err;
  std::string patched = sps + "frame";
  patched[7] = '\x29';
  EXPECT_TRUE(ReadFile(dir / "movie.h264") == patched);
  EXPECT_EQ(ReadFile(dir / "status"), "0\n");
}

}  // namespace
}  // namespace parvela::testing::toolkit
