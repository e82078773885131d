#include <dlfcn.h>

#include "dshow/module.h"

namespace parvela::dshow {

Module LoadModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* ModuleEntry(Module module, const char* name) { return dlsym(module, name); }
void UnloadModule(Module module) { dlclose(module); }

}  // namespace parvela::dshow
