// Process-wide state and the seams, shared by the window model and the pipeline.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "analysis/source_info.h"
#include "fsutil/fsutil.h"
#include "process/process.h"
#include "ui/window_host.h"

namespace parvela {

namespace dshow {
class GraphBackend;
}

struct Application {
  Application(std::string appFolder, std::string homeFolder, ProcessRunner& runner, WindowHost& host,
              Sleeper& sleeper)
      : appFolder(std::move(appFolder)),
        stateFolder(this->appFolder),
        homeFolder(std::move(homeFolder)),
        dialogFolder(this->homeFolder),
        runner(runner),
        host(host),
        sleeper(sleeper) {}

  std::string appFolder;   // folder of the running executable, without trailing separator
  // Where the settings, the log, the reports and the lock live (StateFolder in
  // app/state_folder.h); the application folder unless a front end says otherwise.
  std::string stateFolder;
  std::string homeFolder;  // the user's home folder with a trailing separator (design-time folders)
  std::string dialogFolder;  // where the dialogs start before a folder is remembered: homeFolder,
                             // or DialogStartFolder() where the platform has one of its own
  SourceInfo sourceInfo;
  bool bBatch = false;
  bool bCmdLine = false;
  std::string argumentText;  // everything after the program name, taken whole as one path
  // Runs at the end of every source inspection: the command line's explicit choices hold
  // against what the inspection sets. False when the source cannot meet them: it is then not
  // converted. Empty in the window.
  std::function<bool(const std::string& source)> afterInspection;
  // A stop the user asked for (the Stop button, closing the window): the running tool has been
  // ended and the run unwinds at its next step. `stopBatch` ends a folder batch as well.
  bool stopRequested = false;
  bool stopBatch = false;
  // A run owns only what it made: before its first tool it sets aside what an earlier failed
  // run left under the temporary names, and it keeps an earlier output until its successor is
  // judged. The front ends turn it on; tests of single roads, which play the tools by placing
  // their files beforehand, leave it off.
  bool runOwnsOnlyItsFiles = false;

  ProcessRunner& runner;
  WindowHost& host;
  Sleeper& sleeper;
  dshow::GraphBackend* graph = nullptr;  // the decoding graph backend; none means no filters
  // Free bytes on the file system of a folder: a seam, so that a test can play a full disk.
  std::function<bool(const std::string& folder, uint64_t& bytes)> freeSpace = FreeSpace;

  std::string SettingsPath() const;
  std::string DebugLogPath() const;
  std::string InfoReportPath() const;
};

// The folder of the running executable, without trailing separator.
std::string ExecutableFolder();
// The user's home folder with a trailing separator.
std::string UserHomeFolder();
// The dialogs' design-time start folder: the home folder, "C:\" on Windows.
std::string DialogStartFolder();
// Where the user's own configuration folders lie, without trailing separator:
// $XDG_CONFIG_HOME (when absolute) or ~/.config; %APPDATA% on Windows.
std::string UserConfigFolder();
// Everything after the program name, as one path: a path with blanks may come as several words.
std::string JoinArguments(int argc, char** argv);

}  // namespace parvela
