// The outermost run of "Convert": it shows the Stop button while it lasts and, when the user
// stops it, removes what it made (internal to the pipeline).
#pragma once

#include <string>

#include "fsutil/cleanup.h"
#include "ui/form1.h"

namespace parvela {

class StoppableRun {
 public:
  explicit StoppableRun(Form1& form);
  ~StoppableRun();
  StoppableRun(const StoppableRun&) = delete;
  StoppableRun& operator=(const StoppableRun&) = delete;

  // After a stop: this run's temporary files, pieces and unfinished outputs go; the source,
  // earlier outputs and everything else in the folder stay.
  void EndStopped();
  // After a tool crashed: the error names it; everything the run made stays for inspection.
  void EndCrashed(const std::string& how);
  // When the run has ended: each earlier output it set aside is removed if its successor was
  // judged, and put back otherwise, in place of what stands there (removed after a stop, kept
  // under a name of its own after a failure). Defined in run_safety.cpp.
  void SettleKeptOutputs(bool stopped);

 private:
  bool MadeByRun(const std::string& name, bool isNew) const;
  void ResetRunState();

  Form1& f_;
  FolderSnapshot before_;
  std::string sourceText_;  // txtFile as the run found it (a split run changes it per piece)
};

}  // namespace parvela
