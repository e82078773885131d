// The few paths whose earlier files wait aside, in fixed storage a signal handler may read.
#include "fsutil/kept_files.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace parvela {

namespace {

constexpr size_t kSlots = 32;
constexpr size_t kPathBytes = 4096;

struct Slot {
  volatile std::sig_atomic_t used = 0;
  char path[kPathBytes] = "";
  char kept[kPathBytes] = "";
};
Slot slots[kSlots];

}  // namespace

void RememberKept(const std::string& path) {
  const std::string kept = KeptName(path);
  if (kept.size() >= kPathBytes) return;  // too long to put back from a handler; the next run does
  for (Slot& slot : slots) {
    if (slot.used) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    std::memcpy(slot.kept, kept.c_str(), kept.size() + 1);
    slot.used = 1;
    return;
  }
}

void ForgetKept(const std::string& path) {
  for (Slot& slot : slots) {
    if (slot.used && path == slot.path) slot.used = 0;
  }
}

void PutBackKeptFiles() {
  for (Slot& slot : slots) {
    if (!slot.used) continue;
    std::remove(slot.path);  // what the interrupted run made there was never judged
    std::rename(slot.kept, slot.path);
    slot.used = 0;
  }
}

}  // namespace parvela
