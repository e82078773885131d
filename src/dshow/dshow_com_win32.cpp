// DirectShow's filter graph manager over COM: the registered filters of the system (the legacy
// filter category, by friendly name), a source filter for a file, pins by name and direction,
// intelligent connection, IMediaControl and IMediaPosition. Every object handed out lives as
// long as the graph, which releases them all when it goes.
#include "dshow/dshow_com.h"

#include <windows.h>
#include <dshow.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "dshow/graph.h"

namespace parvela::dshow {

namespace {

// Holds one COM reference.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ~Ref() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T** put() { return &p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Narrow(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
  narrow.resize(narrow.size() - 1);
  return narrow;
}

class ComGraph;

class ComPin final : public IPinInfo {
 public:
  ComPin(ComGraph& graph, IPin* pin);
  std::string Name() const override { return name_; }
  int Direction() const override { return direction_; }
  bool Connect(IPinInfo& other) override;
  IPin* Pin() const { return pin_.get(); }

 private:
  ComGraph& graph_;
  Ref<IPin> pin_;
  std::string name_;
  int direction_ = kPinInput;
};

class ComFilter final : public IFilterInfo {
 public:
  ComFilter(ComGraph& graph, IBaseFilter* filter, std::string name)
      : graph_(graph), filter_(filter), name_(std::move(name)) {}
  std::string Name() const override { return name_; }
  std::vector<IPinInfo*> Pins() override;
  bool TakesFileName() const override;
  bool SetFileName(const std::string& path) override;
  void ShowPropertyPages(int32_t parentWindow) override;

 private:
  ComGraph& graph_;
  Ref<IBaseFilter> filter_;
  std::string name_;
};

class ComRegFilter final : public IRegFilterInfo {
 public:
  ComRegFilter(ComGraph& graph, IMoniker* moniker, std::string name)
      : graph_(graph), moniker_(moniker), name_(std::move(name)) {}
  std::string Name() const override { return name_; }
  IFilterInfo* Filter() override;

 private:
  ComGraph& graph_;
  Ref<IMoniker> moniker_;
  std::string name_;
};

class ComGraph final : public FilterGraph {
 public:
  explicit ComGraph(IGraphBuilder* builder) : builder_(builder) {
    builder_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(control_.put()));
    builder_->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(position_.put()));
  }
  ~ComGraph() override {
    if (control_) control_->Stop();
    // The handed-out objects go before the graph manager they belong to.
    regFilters_.clear();
    filters_.clear();
    pins_.clear();
  }
  std::vector<IRegFilterInfo*> RegFilterCollection() override;
  IFilterInfo* AddSourceFilter(const std::string& path) override;
  bool Run() override { return control_ && SUCCEEDED(control_->Run()); }
  void Stop() override {
    if (control_) control_->Stop();
  }
  bool Duration(double& seconds) override { return position_ && SUCCEEDED(position_->get_Duration(&seconds)); }
  bool CurrentPosition(double& seconds) override {
    return position_ && SUCCEEDED(position_->get_CurrentPosition(&seconds));
  }

  IGraphBuilder* Builder() const { return builder_.get(); }
  IFilterInfo* Keep(IBaseFilter* filter, const std::string& name) {
    filters_.push_back(std::make_unique<ComFilter>(*this, filter, name));
    return filters_.back().get();
  }
  IPinInfo* Keep(IPin* pin) {
    pins_.push_back(std::make_unique<ComPin>(*this, pin));
    return pins_.back().get();
  }

 private:
  Ref<IGraphBuilder> builder_;
  Ref<::IMediaControl> control_;
  Ref<::IMediaPosition> position_;
  std::vector<std::unique_ptr<ComRegFilter>> regFilters_;
  std::vector<std::unique_ptr<ComFilter>> filters_;
  std::vector<std::unique_ptr<ComPin>> pins_;
};

ComPin::ComPin(ComGraph& graph, IPin* pin) : graph_(graph), pin_(pin) {
  PIN_INFO info{};
  if (SUCCEEDED(pin_->QueryPinInfo(&info))) {
    name_ = Narrow(info.achName);
    direction_ = info.dir == PINDIR_OUTPUT ? kPinOutput : kPinInput;
    if (info.pFilter) info.pFilter->Release();
  }
}

bool ComPin::Connect(IPinInfo& other) {
  auto* target = dynamic_cast<ComPin*>(&other);
  // Intelligent connection: the graph manager may put converters between the two.
  return target && SUCCEEDED(graph_.Builder()->Connect(pin_.get(), target->Pin()));
}

std::vector<IPinInfo*> ComFilter::Pins() {
  std::vector<IPinInfo*> pins;
  Ref<IEnumPins> list;
  if (FAILED(filter_->EnumPins(list.put()))) return pins;
  IPin* pin = nullptr;
  while (list->Next(1, &pin, nullptr) == S_OK) pins.push_back(graph_.Keep(pin));
  return pins;
}

bool ComFilter::TakesFileName() const {
  Ref<IFileSinkFilter> sink;
  return SUCCEEDED(filter_->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(sink.put())));
}

bool ComFilter::SetFileName(const std::string& path) {
  Ref<IFileSinkFilter> sink;
  if (FAILED(filter_->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(sink.put())))) return false;
  return SUCCEEDED(sink->SetFileName(Wide(path).c_str(), nullptr));
}

void ComFilter::ShowPropertyPages(int32_t parentWindow) {
  Ref<ISpecifyPropertyPages> specify;
  if (FAILED(filter_->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(specify.put())))) return;
  CAUUID pages{};
  if (FAILED(specify->GetPages(&pages))) return;
  IUnknown* object = filter_.get();
  const std::wstring caption = Wide(name_);
  OleCreatePropertyFrame(reinterpret_cast<HWND>(static_cast<intptr_t>(parentWindow)), 0, 0, caption.c_str(), 1,
                         &object, pages.cElems, pages.pElems, 0, 0, nullptr);
  CoTaskMemFree(pages.pElems);
}

IFilterInfo* ComRegFilter::Filter() {
  Ref<IBaseFilter> filter;
  if (FAILED(moniker_->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter.put())))) {
    return nullptr;
  }
  if (FAILED(graph_.Builder()->AddFilter(filter.get(), Wide(name_).c_str()))) return nullptr;
  IBaseFilter* kept = filter.get();
  kept->AddRef();
  return graph_.Keep(kept, name_);
}

std::vector<IRegFilterInfo*> ComGraph::RegFilterCollection() {
  regFilters_.clear();
  Ref<ICreateDevEnum> devices;
  Ref<IEnumMoniker> list;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              reinterpret_cast<void**>(devices.put()))) ||
      devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, list.put(), 0) != S_OK) {
    return {};
  }
  std::vector<IRegFilterInfo*> found;
  IMoniker* moniker = nullptr;
  while (list->Next(1, &moniker, nullptr) == S_OK) {
    Ref<IPropertyBag> bag;
    VARIANT name;
    VariantInit(&name);
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.put()))) &&
        SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) {
      regFilters_.push_back(std::make_unique<ComRegFilter>(*this, moniker, Narrow(name.bstrVal)));
      found.push_back(regFilters_.back().get());
    } else {
      moniker->Release();
    }
    VariantClear(&name);
  }
  return found;
}

IFilterInfo* ComGraph::AddSourceFilter(const std::string& path) {
  IBaseFilter* source = nullptr;
  if (FAILED(builder_->AddSourceFilter(Wide(path).c_str(), L"Source", &source)) || !source) return nullptr;
  return Keep(source, "Source");
}

}  // namespace

std::unique_ptr<FilterGraph> CreateComFilterGraph() {
  // The window's thread is a single-threaded apartment, as the filters expect; a second call
  // on the thread only counts.
  const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(started) && started != RPC_E_CHANGED_MODE) return nullptr;
  IGraphBuilder* builder = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              reinterpret_cast<void**>(&builder)))) {
    return nullptr;
  }
  return std::make_unique<ComGraph>(builder);
}

}  // namespace parvela::dshow
