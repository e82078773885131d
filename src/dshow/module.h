// Loading a component file and finding its entry points: dlopen on POSIX, LoadLibraryA on
// Windows (module_posix.cpp, module_win32.cpp).
#pragma once

#include <string>

namespace parvela::dshow {

using Module = void*;

// nullptr when the file cannot be loaded.
Module LoadModule(const std::string& path);
// nullptr when the module does not export the name.
void* ModuleEntry(Module module, const char* name);
void UnloadModule(Module module);

}  // namespace parvela::dshow
