#include "app/instance_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "fsutil/fsutil.h"
#include "process/process.h"

namespace parvela {

namespace {

// When a process started, in clock ticks since boot (field 22 of /proc/PID/stat); 0 when it is
// gone. With the process group's number it tells a group from a later one given that number.
unsigned long long StartTime(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i == 22) return std::stoull(field);
  }
  return 0;
}

// The lock file holds one line per running tool's process group: "GROUP STARTTIME".
void WriteGroups(int fd, const std::vector<int>& groups) {
  std::string text;
  for (int group : groups) text += std::to_string(group) + " " + std::to_string(StartTime(group)) + "\n";
  if (ftruncate(fd, 0) != 0) return;
  const ssize_t written = pwrite(fd, text.data(), text.size(), 0);
  (void)written;
}

// A run that held the lock and died (kill -9) left its tools running in their own groups:
// end those still there that are the very processes recorded.
void EndToolsOfDeadRun(int fd) {
  char buffer[512];
  const ssize_t got = pread(fd, buffer, sizeof buffer - 1, 0);
  if (got <= 0) return;
  std::istringstream lines(std::string(buffer, static_cast<size_t>(got)));
  int group = 0;
  unsigned long long started = 0;
  while (lines >> group >> started) {
    if (group > 1 && started != 0 && StartTime(group) == started) kill(-group, SIGKILL);
  }
  if (ftruncate(fd, 0) != 0) return;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& stateFolder) : path_(stateFolder + kSep + "parvela.lock") {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
  if (!held_) return;
  EndToolsOfDeadRun(fd_);
  const int fd = fd_;
  SetToolGroupRecorder([fd](const std::vector<int>& groups) { WriteGroups(fd, groups); });
}

InstanceLock::~InstanceLock() {
  if (held_) SetToolGroupRecorder({});
  // Closing releases the lock; the file stays, so that no run ever locks a file another has
  // just removed.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace parvela
