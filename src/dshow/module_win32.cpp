#include <windows.h>

#include "dshow/module.h"

namespace parvela::dshow {

Module LoadModule(const std::string& path) { return LoadLibraryA(path.c_str()); }

void* ModuleEntry(Module module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(Module module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace parvela::dshow
