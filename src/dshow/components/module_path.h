// What a component file knows of itself: the path it was loaded from (module_path_posix.cpp,
// module_path_win32.cpp), and how it exports its entry points.
#pragma once

#include <string>

namespace parvela::dshow {

std::string ThisModulePath();

}  // namespace parvela::dshow

#ifdef _WIN32
#define PARVELA_COMPONENT_EXPORT extern "C" __declspec(dllexport)
#else
#define PARVELA_COMPONENT_EXPORT extern "C" __attribute__((visibility("default")))
#endif
