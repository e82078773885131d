// The calls between the host and the component files that lie beside the executable.
#pragma once

// Exported by the host (the executables are linked with their symbols exported): a component
// adds (doRegister != 0) or removes its part of the registry. Kind "filter": name is the
// filter's registered name and detail the element doing its work; kind "class": name is the
// class id and detail is unused. The result is 0 on success.
#ifdef _WIN32
#define PARVELA_HOST_EXPORT __declspec(dllexport)
#else
#define PARVELA_HOST_EXPORT
#endif
extern "C" PARVELA_HOST_EXPORT int ParvelaRegisterComponent(const char* kind, const char* name, const char* detail,
                                        const char* modulePath, int doRegister);

namespace parvela::dshow {

inline constexpr const char* kKindFilter = "filter";
inline constexpr const char* kKindClass = "class";

// Entry points of a component file.
inline constexpr const char* kRegisterEntry = "DllRegisterServer";
inline constexpr const char* kUnregisterEntry = "DllUnregisterServer";
inline constexpr const char* kClassObjectEntry = "DllGetClassObject";

using ServerEntry = int (*)();
// A new object of the class for the interface, or nullptr; the caller deletes it through the
// interface before it unloads the file.
using ClassObjectEntry = void* (*)(const char* clsid, const char* iid);

}  // namespace parvela::dshow
