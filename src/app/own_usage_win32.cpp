#include <windows.h>
#include <psapi.h>

#include "app/own_usage.h"

namespace parvela {

namespace {

// FILETIME counts 100-nanosecond steps.
long long Milliseconds(const FILETIME& t) {
  return ((static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
}

}  // namespace

std::string OwnUsageText() {
  FILETIME created, ended, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  PROCESS_MEMORY_COUNTERS memory{};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return "own CPU time " + std::to_string(Milliseconds(user) + Milliseconds(kernel)) + " ms (" +
         std::to_string(Milliseconds(user)) + " user, " + std::to_string(Milliseconds(kernel)) +
         " system), peak memory " + std::to_string(memory.PeakWorkingSetSize / 1024) + " KB";
}

}  // namespace parvela
