// The clean-ups of each road's temporary files in the output folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace parvela {

class TextBox;

// Each reads the output folder afresh from txtTMP before every name and deletes plainly:
// read-only files stay, missing ones are no error, nothing is reported.
void DeleteMp4TempFiles(const TextBox& txtTMP);
void DeleteVc1TempFiles(const TextBox& txtTMP);
void DeleteMpegTempFiles(const TextBox& txtTMP);

// The fixed names of the temporary files the roads write in the output folder and read back
// (the audio track's own extension aside, which the codec table knows).
const std::vector<std::string>& TemporaryFileNames();

// The folder a run sets leftovers aside in: "parvela-leftovers", or "-2", "-3", ... when
// that name is taken.
inline constexpr const char* kLeftoversFolder = "parvela-leftovers";

// Moves each file of `names` found in `folder` (ending in the separator) into a new folder of
// leftovers beside them, unless `stays` claims it. Nothing is deleted or overwritten. Returns the
// new folder's name and fills `moved`; empty when there was nothing to move or no folder could
// be made (everything then stays where it is).
std::string SetAsideLeftovers(const std::string& folder, const std::vector<std::string>& names,
                              const std::function<bool(const std::string& path)>& stays,
                              std::vector<std::string>& moved);

}  // namespace parvela

#include <filesystem>
#include <functional>
#include <map>

namespace parvela {

// What a folder held when a run started, with each entry's time of last change, so that a run
// the user stopped removes only what it made itself.
struct FolderSnapshot {
  std::string folder;  // ends in the separator
  std::map<std::string, std::filesystem::file_time_type> entries;
};
FolderSnapshot TakeFolderSnapshot(const std::string& folder);

// Removes the entries of the snapshot's folder that `madeByRun` claims, when they are new or
// (for `rewritable` names) changed since the snapshot. Folders go whole; read-only files stay.
void DeleteRunLeftovers(const FolderSnapshot& before,
                        const std::function<bool(const std::string& name, bool isNew)>& madeByRun);

}  // namespace parvela
