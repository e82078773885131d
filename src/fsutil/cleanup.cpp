#include "fsutil/cleanup.h"

#include <initializer_list>

#include "fsutil/fsutil.h"
#include "ui/controls.h"

namespace parvela {

namespace {

void DeleteEach(const TextBox& txtTMP, std::initializer_list<const char*> names) {
  for (const char* name : names) DeleteFile(txtTMP.Text() + name);
}

}  // namespace

void DeleteMp4TempFiles(const TextBox& txtTMP) {
  DeleteEach(txtTMP, {"movie.aac", "movie.h264", "movie.avi", "movie_video.h264", "movie.srt",
                      "movie.ssa", "movie.ass", "movie.ac3", "movie.dts", "movie.mp3", "movie.ogg"});
}

void DeleteVc1TempFiles(const TextBox& txtTMP) { DeleteEach(txtTMP, {"movie.avi", "movie.wav"}); }

void DeleteMpegTempFiles(const TextBox& txtTMP) {
  DeleteEach(txtTMP, {"movie.aac", "movie.h264", "movie.avi", "movie_video.h264", "movie.meta",
                      "movie.srt", "movie.ssa", "movie.ass", "movie.ac3", "movie.dts", "movie.mp3",
                      "movie.ogg", "movie_raw.h264"});
}

const std::vector<std::string>& TemporaryFileNames() {
  // movie.wvc1 and movie.wma are the VC-1 road's results and movie.mp4 no road writes: they stay.
  static const std::vector<std::string> names = {
      "movie.h264", "movie_raw.h264", "movie_video.h264", "movie.avi", "movie.ac3", "movie.dts",
      "movie.aac",  "movie.ogg",      "movie.mp3",        "movie.wav", "movie2.wav", "movie.srt",
      "movie.ssa",  "movie.ass",      "movie.SSA",        "movie.ASS", "movie.mpg",  "movie.meta",
      "parvela.amg"};
  return names;
}

namespace {

// Enough names to step past earlier folders of leftovers without looping for ever.
constexpr int kLeftoverFolderTries = 1000;

std::string NewLeftoversFolder(const std::string& folder) {
  for (int n = 1; n <= kLeftoverFolderTries; ++n) {
    const std::string name = n == 1 ? std::string(kLeftoversFolder) : std::string(kLeftoversFolder) + "-" + std::to_string(n);
    if (CreateNewFolder(folder + name)) return name;
  }
  return {};
}

}  // namespace

std::string SetAsideLeftovers(const std::string& folder, const std::vector<std::string>& names,
                              const std::function<bool(const std::string& path)>& stays,
                              std::vector<std::string>& moved) {
  moved.clear();
  std::vector<std::string> found;
  for (const std::string& name : names) {
    const std::string path = folder + name;
    if (FileIsPresent(path) && !stays(path)) found.push_back(name);
  }
  if (found.empty()) return {};
  const std::string aside = NewLeftoversFolder(folder);
  if (aside.empty()) return {};
  // The folder is new, so no move can replace anything.
  for (const std::string& name : found) {
    if (RenameFile(folder + name, folder + aside + kSep + name)) moved.push_back(name);
  }
  return aside;
}

}  // namespace parvela

namespace parvela {

FolderSnapshot TakeFolderSnapshot(const std::string& folder) {
  FolderSnapshot snapshot{folder, {}};
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code timeError;
    const auto changed = it->symlink_status(timeError).type() == std::filesystem::file_type::symlink
                             ? std::filesystem::file_time_type::min()
                             : it->last_write_time(timeError);
    snapshot.entries[it->path().filename().string()] = changed;
  }
  return snapshot;
}

void DeleteRunLeftovers(const FolderSnapshot& before,
                        const std::function<bool(const std::string& name, bool isNew)>& madeByRun) {
  const FolderSnapshot now = TakeFolderSnapshot(before.folder);
  for (const auto& [name, changed] : now.entries) {
    const auto earlier = before.entries.find(name);
    const bool isNew = earlier == before.entries.end();
    if (!isNew && changed <= earlier->second) continue;
    if (!madeByRun(name, isNew)) continue;
    const std::string path = before.folder + name;
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path, error))) {
      try {
        DeleteFolderTree(path);
      } catch (const std::filesystem::filesystem_error&) {
        // What cannot be removed stays, as with every clean-up.
      }
    } else {
      DeleteFile(path);
    }
  }
}

}  // namespace parvela
