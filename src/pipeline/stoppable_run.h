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

 private:
  bool MadeByRun(const std::string& name, bool isNew) const;

  Form1& f_;
  FolderSnapshot before_;
  std::string sourceText_;  // txtFile as the run found it (a split run changes it per piece)
};

}  // namespace parvela
