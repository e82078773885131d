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
        homeFolder(std::move(homeFolder)),
        runner(runner),
        host(host),
        sleeper(sleeper) {}

  std::string appFolder;   // folder of the running executable, without trailing separator
  std::string homeFolder;  // the user's home folder with a trailing separator (design-time folders)
  SourceInfo sourceInfo;
  bool bBatch = false;
  bool bCmdLine = false;
  std::string argumentText;  // everything after the program name, taken whole as one path
  // Runs at the end of every source inspection: the command line's explicit choices hold
  // against what the inspection sets. False when the source cannot meet them: it is then not
  // converted. Empty in the window.
  std::function<bool(const std::string& source)> afterInspection;

  ProcessRunner& runner;
  WindowHost& host;
  Sleeper& sleeper;
  dshow::GraphBackend* graph = nullptr;  // the decoding graph backend; none means no filters
  // Free bytes on the file system of a folder: a seam, so that a test can play a full disk.
  std::function<bool(const std::string& folder, uint64_t& bytes)> freeSpace = FreeSpace;

  std::string DebugLogPath() const;
  std::string InfoReportPath() const;
};

// The folder of the running executable, without trailing separator.
std::string ExecutableFolder();
// The user's home folder with a trailing separator.
std::string UserHomeFolder();

}  // namespace parvela
