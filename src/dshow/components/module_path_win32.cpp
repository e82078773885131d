#include <windows.h>

#include "dshow/component_abi.h"
#include "module_path.h"

namespace parvela::dshow {

std::string ThisModulePath() {
  static const char anchor = 0;
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          &anchor, &self)) {
    return {};
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

}  // namespace parvela::dshow

// A Windows component cannot leave the host's entry point to the loader: it asks the running
// executable for it by name.
extern "C" int ParvelaRegisterComponent(const char* kind, const char* name, const char* detail,
                                        const char* modulePath, int doRegister) {
  using Entry = int (*)(const char*, const char*, const char*, const char*, int);
  auto host = reinterpret_cast<Entry>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(nullptr), "ParvelaRegisterComponent")));
  return host ? host(kind, name, detail, modulePath, doRegister) : 1;
}
