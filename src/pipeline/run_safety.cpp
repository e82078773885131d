// What a run owns, and proof that its film is the source's. The temporary files have fixed
// names, so an earlier failed run's would pass for this run's: they are set aside before the
// first tool runs. A finished film of the same name stays until its successor is complete and
// judged. And the successor is held to its source: its sound as long as the source's, its
// picture as long as its sound.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "analysis/codecs.h"
#include "faithfulness/faithfulness.h"
#include "fsutil/cleanup.h"
#include "fsutil/fsutil.h"
#include "fsutil/kept_files.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "pipeline/stoppable_run.h"

namespace parvela {

namespace {

// Every fixed temporary name, with the extracted audio track's for each format of the table.
std::vector<std::string> LeftoverNames() {
  std::vector<std::string> names = TemporaryFileNames();
  for (const CodecInfo& codec : CodecTable()) {
    if (codec.kind != CodecKind::Audio || !codec.extension || !*codec.extension) continue;
    const std::string name = std::string("movie.") + codec.extension;
    if (name == "movie.wma") continue;  // the VC-1 road's result
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// A read-only film is left to the roads as it always was: nothing here may fail to remove it.
bool OwnerMayWrite(const std::string& path) {
  std::error_code error;
  const auto perms = std::filesystem::status(path, error).permissions();
  return !error && (perms & std::filesystem::perms::owner_write) != std::filesystem::perms::none;
}

// "film.mp4" -> "film.rejected.mp4", or "film.rejected-2.mp4", ... when that is taken.
std::string RejectedName(const std::string& path) {
  const size_t dot = path.rfind('.');
  const std::string stem = dot == std::string::npos || dot < path.rfind(kSep) ? path : path.substr(0, dot);
  const std::string ext = stem.size() == path.size() ? std::string() : path.substr(stem.size());
  for (int n = 1;; ++n) {
    const std::string name = stem + ".rejected" + (n == 1 ? std::string() : "-" + std::to_string(n)) + ext;
    if (!std::filesystem::exists(std::filesystem::symlink_status(name))) return name;
  }
}

}  // namespace

void Conversion::SetAsideEarlierRunsFiles() {
  // A split's pieces (bSplit) share the outer run's folder, already cleared; a piece's failure is
  // this run's own, and the check of the next piece's lengths speaks for it.
  if (!app.runOwnsOnlyItsFiles || f.bSplit) return;
  std::vector<std::string> names = LeftoverNames();
  // An output that a front end killed mid-run left beside the earlier film it had set aside was
  // never judged: it goes with the leftovers, and the earlier film back to its name.
  std::vector<std::string> unsettled;
  for (const std::string& kept : FindFiles(f.outputFolder + "*" + kKeptEnding)) {
    if (kept.size() <= std::strlen(kKeptEnding)) continue;
    unsettled.push_back(kept.substr(0, kept.size() - std::strlen(kKeptEnding)));
    names.push_back(unsettled.back());
  }
  std::vector<std::string> moved;
  const std::string aside = SetAsideLeftovers(
      f.outputFolder, names,
      [this](const std::string& path) {
        const bool unjudged = FileIsPresent(KeptName(path));
        return IsSameFile(path, f.strFullname) || (IsOutputName(FileNamePart(path)) && !unjudged);
      },
      moved);
  for (const std::string& name : unsettled) {
    if (!FileIsPresent(Out(name))) RenameFile(Out(KeptName(name)), Out(name));
  }
  if (!moved.empty()) Progress("Files of an earlier run set aside in " + aside + kSep + ": " + Joined(moved));
}

std::vector<std::string> Conversion::EarlierOutputNames() const {
  std::vector<std::string> names = {Mp4OutputName(f.baseName), f.baseName + ".mpg", f.baseName + ".avi"};
  for (const std::string& name : FindFiles(Out(f.baseName + "-*.avi"))) {
    if (IsOutputName(name)) names.push_back(name);
  }
  return names;
}

// The names this run's roads write: NAME.mpg, NAME.avi and its pieces NAME-1.avi, ..., and the
// MP4's name.
bool Conversion::IsOutputName(const std::string& name) const {
  const std::string& base = f.baseName;
  if (base.empty()) return false;
  if (name == Mp4OutputName(base) || name == base + ".mpg" || name == base + ".avi") return true;
  if (!name.starts_with(base + "-") || !name.ends_with(".avi")) return false;
  const std::string number = name.substr(base.size() + 1, name.size() - base.size() - 5);
  return !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
}

void Conversion::KeepEarlierOutputs() {
  if (!app.runOwnsOnlyItsFiles) return;
  for (const std::string& name : EarlierOutputNames()) {
    const std::string path = Out(name);
    if (!FileIsPresent(path) || FileIsPresent(KeptName(path)) || IsSameFile(path, f.strFullname)) continue;
    if (!OwnerMayWrite(path) || !RenameFile(path, KeptName(path))) continue;
    RememberKept(path);
    f.keptOutputs.push_back({path, false});
  }
}

// The muxer works on one processor: the other reads the source's lengths meanwhile, when no
// video work holds the place beside.
void Conversion::StartSourceMeasure() {
  if (videoBeside || !sourceReport.empty()) return;
  sourceReport = faithfulness::MeasureSourceBeside(app, f.strFullname);
}

// The report of the measurement started beside, ended; empty when none was started.
std::string Conversion::EndSourceMeasure() {
  if (sourceReport.empty()) return {};
  app.runner.WaitBeside();
  app.runner.TakeBesideCrash();  // a probe that crashed leaves no report: the check is skipped
  return std::exchange(sourceReport, std::string());
}

void Conversion::DropSourceMeasure() {
  if (const std::string report = EndSourceMeasure(); !report.empty()) DeleteFile(report);
}

std::string Conversion::LengthsDisagree(const std::string& path) {
  faithfulness::Request request;
  request.source = f.strFullname;
  request.sourceReport = EndSourceMeasure();
  request.audioStream = Silent() ? -1 : std::max(0, f.cmbAudio.ListIndex());
  // Retimed to 25 frames a second, the whole film is shorter by the ratio of the rates.
  const std::string rate = TrimBlanks(f.fpsText);
  if (f.fpsArg == "25.000" && rate != "25.000") {
    try {
      request.timeScale = std::stod(rate) / 25.0;
    } catch (const std::exception&) {
    }
  }
  // A film above the AVI size cap comes in pieces: the first holds part of the source.
  request.wholeFilm = !(f.recodeXvid && EndsWith(path, "-1.avi"));
  return faithfulness::CheckOutput(app, request, path);
}

void StoppableRun::SettleKeptOutputs(bool stopped) {
  for (const ConversionJob::KeptOutput& kept : f_.keptOutputs) {
    const std::string& path = kept.path;
    const bool made = FileIsPresent(path);
    if (kept.replaced && made) {
      DeleteFile(KeptName(path));
    } else {
      if (made && (stopped || FileSize(path) == 0)) {
        DeleteFile(path);  // unfinished, or nothing in it
      } else if (made) {
        const std::string rejected = RejectedName(path);
        if (RenameFile(path, rejected)) {
          f_.SetProgress("The earlier " + FileNamePart(path) + " is back in place; this run's file is kept as " +
                         FileNamePart(rejected));
        }
      }
      RenameFile(KeptName(path), path);
    }
    ForgetKept(path);
  }
  f_.keptOutputs.clear();
}

}  // namespace parvela
