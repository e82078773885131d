// Split conversion: a source too large for the target is cut into Matroska pieces by mkvmerge,
// and each piece is converted by a nested run of the whole driver, which sees bSplit and so
// never splits again. The pieces live in a folder of their own that the run creates and removes.
#include <algorithm>
#include <filesystem>
#include <limits>

#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

namespace {

constexpr int kConvMpeg2 = 0;
constexpr const char* kSplitError = "Split error";
// Enough names to step past a user's own "split", "split-2", ... without looping for ever.
constexpr int kFolderNameTries = 100;

// Bytes in units of 1000, to the nearest; the thresholds are 32-bit, and so is this.
int32_t ThousandsOfBytes(uint64_t bytes) {
  const uint64_t units = bytes / 1000 + (bytes % 1000 >= 500 ? 1 : 0);
  return static_cast<int32_t>(std::min<uint64_t>(units, std::numeric_limits<int32_t>::max()));
}

std::string Megabytes(uint64_t bytes) { return std::to_string(bytes / 1000000); }

}  // namespace

int32_t Conversion::SplitThreshold() const { return SplitThresholdKB(f); }

int32_t SplitThresholdKB(const Form1& f) {
  int32_t threshold = 4190000;
  if (f.chkDVD.Checked() && f.chkVob.Checked()) threshold = 4240741;  // 4580000 / 1.08
  if (f.chkMP2.Checked() && f.cmdConv.ListIndex() == kConvMpeg2) threshold = 2400000;
  return threshold;
}

bool Conversion::SplitAndConvert() {
  f.splitThresholdKB = SplitThreshold();
  FileHandle handle = kInvalidHandle;
  uint64_t bytes = 0;
  OpenFileAndGetSize(f.strFullname, handle, bytes);
  CloseFileHandle(handle);
  // Opening asks for write access; a film on a read-only disk is no less large for that.
  if (handle == kInvalidHandle) bytes = FileSize(f.strFullname);
  const int32_t sizeKB = ThousandsOfBytes(bytes);
  const int32_t parts = sizeKB / f.splitThresholdKB;
  if (parts < 1) return false;

  f.bSplit = true;
  Progress("Splitting MKV");
  f.splitPieceKB = f.chkDVD.Checked() ? f.splitThresholdKB : sizeKB / (parts + 1);
  if (!RoomForPieces(bytes)) return true;
  const std::string folder = MakeSplitFolder();
  if (folder.empty()) return true;
  const std::string line = MkvmergeSplitLine(folder, SplitSubtitleArg());
  Run(line);
  LogLine(line);
  const std::vector<std::string> names = FindFiles(folder + kSep + "*.mkv");
  if (names.front().empty()) {
    RemoveSplitFolder(folder);
    SplitFailed("mkvmerge made no piece of " + f.strFullname + " in " + folder +
                ". Nothing was converted; the source is untouched.");
    return true;
  }
  f.strH264Bitrate.clear();
  ConvertPieces(folder, names);
  f.strH264Bitrate.clear();
  f.bSubs = false;
  f.bSplit = false;
  RemoveSplitFolder(folder);
  f.lblMulti.SetVisible(false);
  return true;
}

// The pieces are a second copy of the source: better to say so now than to fail half-way.
bool Conversion::RoomForPieces(uint64_t sourceBytes) {
  uint64_t free = 0;
  if (!app.freeSpace(f.outputFolder, free) || free >= sourceBytes) return true;
  SplitFailed("Not enough free space in " + f.outputFolder + " to split " + f.strFullname + ": the pieces need " +
              Megabytes(sourceBytes) + " MB, " + Megabytes(free) + " MB are free. Nothing was converted.");
  return false;
}

// A folder that did not exist before, so that nothing of the user's is converted or removed
// with the pieces: "split" when that name is free, else "split-2", "split-3", ...
std::string Conversion::MakeSplitFolder() {
  for (int n = 1; n <= kFolderNameTries; ++n) {
    const std::string folder = Out(n == 1 ? std::string("split") : "split-" + std::to_string(n));
    if (CreateNewFolder(folder)) return folder;
  }
  SplitFailed("No folder for the pieces of " + f.strFullname + " could be created in " + f.outputFolder +
              ". Nothing was converted.");
  return {};
}

std::string Conversion::SplitSubtitleArg() {
  const int row = f.cmbSubs.ListIndex();
  if (!f.chkSubs.Checked() || f.lblSRTFound.Visible() || row < 0 || row >= kTrackRows) return {};
  f.bSubs = true;
  return " -s " + app.sourceInfo.subtitleTracks[static_cast<size_t>(row)].trackNumber;
}

std::string Conversion::MkvmergeSplitLine(const std::string& folder, const std::string& trackArg) const {
  return Quoted(f.tools.strMKVmerge) + " -o " + Quoted(folder + kSep + f.baseName + ".mkv") + " -d " +
         f.txtS1.Text() + " -a " + f.txtS2.Text() + " " + trackArg + " " + Quoted(f.strFullname) + " --split " +
         std::to_string(f.splitPieceKB) + "K";
}

void Conversion::ConvertPieces(const std::string& folder, const std::vector<std::string>& names) {
  const std::string count = std::to_string(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    Progress("Performing Split file conversion");
    app.host.Repaint();
    f.lblMulti.SetCaption(std::to_string(i + 1) + " of " + count);
    f.lblMulti.SetVisible(true);
    app.host.Repaint();
    f.strFullname = folder + kSep + names[i];
    f.ReadInfo(f.strFullname);
    if (f.bSubs) {
      // The piece holds the chosen subtitle track as its only one.
      f.chkSubs.SetValue(1);
      f.cmbSubs.SetListIndex(0);
    }
    f.txtFile.SetText(f.strFullname);
    f.strFilename = f.strFullname;
    // However the piece's run ends, the next piece is still converted.
    f.Command2_Click();
  }
}

void Conversion::RemoveSplitFolder(const std::string& folder) {
  try {
    DeleteFolderTree(folder);
  } catch (const std::filesystem::filesystem_error& e) {
    app.host.MessageBox("The folder of the pieces, " + folder + ", could not be removed: " + e.what(), kSplitError,
                        MsgIcon::Exclamation, MsgButtons::Ok);
  }
}

void Conversion::SplitFailed(const std::string& text) {
  f.bSplit = false;
  f.bSubs = false;
  Progress("Conversion error.");
  app.host.MessageBox(text, kSplitError, MsgIcon::Critical, MsgButtons::Ok);
}

}  // namespace parvela
