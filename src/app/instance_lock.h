// One run at a time per state folder: two runs would share its report and settings.
#pragma once

#include <string>

namespace parvela {

// Holds an exclusive lock on "parvela.lock" in the state folder for its lifetime. The
// lock goes with the process, however it ends, and is not inherited by the tools it starts.
// While held, the file records the process groups of the tools running, so that the next run
// ends those of a run that was killed before it could end them itself.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& stateFolder);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // False when another run holds the folder (or the lock file cannot be made).
  bool Held() const { return held_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace parvela
