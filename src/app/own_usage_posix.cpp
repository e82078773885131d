#include <sys/resource.h>

#include "app/own_usage.h"

namespace parvela {

std::string OwnUsageText() {
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000L + t.tv_usec / 1000L; };
  return "own CPU time " + std::to_string(ms(self.ru_utime) + ms(self.ru_stime)) + " ms (" +
         std::to_string(ms(self.ru_utime)) + " user, " + std::to_string(ms(self.ru_stime)) +
         " system), peak memory " + std::to_string(self.ru_maxrss) + " KB";
}

}  // namespace parvela
