#include "app/registration.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "dshow/component_abi.h"
#include "dshow/component_registry.h"
#include "dshow/module.h"

namespace parvela {

namespace {

// A missing file makes the length query fail, which stops the registration just the same.
bool HasContent(const std::string& path) {
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  return !ec && length >= 1;
}

}  // namespace

void Sub_RegisterServer(int32_t lngHwnd, const std::string& strDllServerPath, bool boolRegister) {
  (void)lngHwnd;  // only a window procedure call would need it
  if (!HasContent(strDllServerPath)) return;
  dshow::Module module = dshow::LoadModule(strDllServerPath);
  if (!module) return;
  const char* entryName = boolRegister ? dshow::kRegisterEntry : dshow::kUnregisterEntry;
  if (auto entry = reinterpret_cast<dshow::ServerEntry>(dshow::ModuleEntry(module, entryName))) entry();
  dshow::UnloadModule(module);
}

}  // namespace parvela

// The host's side of self-registration: the component files call back here.
extern "C" int ParvelaRegisterComponent(const char* kind, const char* name, const char* detail,
                                        const char* modulePath, int doRegister) {
  using parvela::dshow::ComponentRegistry;
  if (!kind || !name || !*name) return 1;
  auto& registry = ComponentRegistry::Instance();
  const std::string module = modulePath ? modulePath : "";
  if (std::strcmp(kind, parvela::dshow::kKindFilter) == 0) {
    if (doRegister) {
      registry.AddFilter({name, detail ? detail : "", module});
    } else {
      registry.RemoveFilter(name);
    }
    return 0;
  }
  if (std::strcmp(kind, parvela::dshow::kKindClass) == 0) {
    if (doRegister) {
      registry.AddClass(name, module);
    } else {
      registry.RemoveClass(name);
    }
    return 0;
  }
  return 1;
}
