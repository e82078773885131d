// The path of the component file the calling code was loaded from.
#pragma once

#include <dlfcn.h>

#include <string>

namespace parvela::dshow {

inline std::string ThisModulePath() {
  static const char anchor = 0;
  Dl_info info{};
  if (dladdr(&anchor, &info) == 0 || !info.dli_fname) return {};
  return info.dli_fname;
}

}  // namespace parvela::dshow

#define PARVELA_COMPONENT_EXPORT extern "C" __attribute__((visibility("default")))
