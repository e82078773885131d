// Registration of the decoding-graph components that lie beside the executable.
#pragma once

#include <cstdint>
#include <string>

namespace parvela {

// Loads the component and calls its DllRegisterServer (or DllUnregisterServer). A missing or
// empty file, or one without the entry point, registers nothing; nothing is ever reported.
void Sub_RegisterServer(int32_t lngHwnd, const std::string& strDllServerPath, bool boolRegister);

}  // namespace parvela
