// FSFWrap.dll: the wrapper component that names a file-writing filter's output and shows a
// filter's property pages.
#include <cstring>

#include "dshow/component_abi.h"
#include "dshow/graph.h"
#include "module_path.h"

namespace {

using parvela::dshow::IFilterInfo;

class FileSinkWrapper final : public parvela::dshow::IFileSinkWrapper {
 public:
  bool IsReady() override { return filter_ && filter_->TakesFileName(); }
  bool Attach(IFilterInfo& filter) override {
    filter_ = &filter;
    return true;
  }
  bool SetFileName(const std::string& path) override {
    return filter_ && filter_->SetFileName(path);
  }
  bool ShowPropertyPages(int32_t parentWindow) override {
    if (!filter_) return false;
    filter_->ShowPropertyPages(parentWindow);
    return true;
  }

 private:
  IFilterInfo* filter_ = nullptr;
};

int Register(bool doRegister) {
  const std::string module = parvela::dshow::ThisModulePath();
  return ParvelaRegisterComponent(parvela::dshow::kKindClass,
                                  parvela::dshow::kClsidFileSinkWrapper, "", module.c_str(),
                                  doRegister ? 1 : 0);
}

}  // namespace

PARVELA_COMPONENT_EXPORT int DllRegisterServer() { return Register(true); }
PARVELA_COMPONENT_EXPORT int DllUnregisterServer() { return Register(false); }

PARVELA_COMPONENT_EXPORT void* DllGetClassObject(const char* clsid, const char* iid) {
  if (!clsid || !iid || std::strcmp(clsid, parvela::dshow::kClsidFileSinkWrapper) != 0 ||
      std::strcmp(iid, parvela::dshow::kIidFileSinkWrapper) != 0) {
    return nullptr;
  }
  return static_cast<parvela::dshow::IFileSinkWrapper*>(new FileSinkWrapper());
}
