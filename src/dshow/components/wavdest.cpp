// WAVDEST.AX: registers the "WAV Dest" filter, which wraps PCM into a WAV stream.
#include "dshow/component_abi.h"
#include "module_path.h"

namespace {

constexpr const char* kFilterName = "WAV Dest";
constexpr const char* kElement = "wavenc";

int Register(bool doRegister) {
  const std::string module = parvela::dshow::ThisModulePath();
  return ParvelaRegisterComponent(parvela::dshow::kKindFilter, kFilterName, kElement,
                                  module.c_str(), doRegister ? 1 : 0);
}

}  // namespace

PARVELA_COMPONENT_EXPORT int DllRegisterServer() { return Register(true); }
PARVELA_COMPONENT_EXPORT int DllUnregisterServer() { return Register(false); }
