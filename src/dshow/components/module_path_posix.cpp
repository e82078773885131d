#include <dlfcn.h>

#include "module_path.h"

namespace parvela::dshow {

std::string ThisModulePath() {
  static const char anchor = 0;
  Dl_info info{};
  if (dladdr(&anchor, &info) == 0 || !info.dli_fname) return {};
  return info.dli_fname;
}

}  // namespace parvela::dshow
