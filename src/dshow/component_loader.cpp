#include "dshow/component_loader.h"

#include "dshow/component_abi.h"
#include "dshow/component_registry.h"
#include "dshow/module.h"

namespace parvela::dshow {

namespace {

// Keeps the component's file loaded until its object is gone: the object's code lives there.
class LoadedWrapper final : public IFileSinkWrapper {
 public:
  LoadedWrapper(void* module, IFileSinkWrapper* inner) : module_(module), inner_(inner) {}
  ~LoadedWrapper() override {
    delete inner_;
    UnloadModule(module_);
  }
  LoadedWrapper(const LoadedWrapper&) = delete;
  LoadedWrapper& operator=(const LoadedWrapper&) = delete;

  bool IsReady() override { return inner_->IsReady(); }
  bool Attach(IFilterInfo& filter) override { return inner_->Attach(filter); }
  bool SetFileName(const std::string& path) override { return inner_->SetFileName(path); }
  bool ShowPropertyPages(int32_t parentWindow) override {
    return inner_->ShowPropertyPages(parentWindow);
  }

 private:
  void* module_;
  IFileSinkWrapper* inner_;
};

}  // namespace

std::unique_ptr<IFileSinkWrapper> LoadRegisteredWrapper(const std::string& clsid,
                                                        const std::string& iid) {
  const std::string path = ComponentRegistry::Instance().ClassModule(clsid);
  if (path.empty()) return nullptr;
  Module module = LoadModule(path);
  if (!module) return nullptr;
  auto entry = reinterpret_cast<ClassObjectEntry>(ModuleEntry(module, kClassObjectEntry));
  void* object = entry ? entry(clsid.c_str(), iid.c_str()) : nullptr;
  if (!object) {
    UnloadModule(module);
    return nullptr;
  }
  return std::make_unique<LoadedWrapper>(module, static_cast<IFileSinkWrapper*>(object));
}

}  // namespace parvela::dshow
