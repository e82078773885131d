#include "fake_graph.h"

#include <algorithm>
#include <fstream>

namespace parvela::testing {

namespace {

using dshow::IFilterInfo;
using dshow::IPinInfo;
using dshow::kPinInput;
using dshow::kPinOutput;

class FakeFilter;

class FakePin final : public IPinInfo {
 public:
  FakePin(FakeGraphBackend& backend, FakeFilter& owner, FakePinDef def)
      : owner(owner), backend_(backend), def_(std::move(def)) {}
  std::string Name() const override { return def_.name; }
  int Direction() const override { return def_.direction; }
  bool Connect(IPinInfo& other) override;
  std::string Id() const;

  FakeFilter& owner;
  FakePin* peer = nullptr;

 private:
  FakeGraphBackend& backend_;
  FakePinDef def_;
};

class FakeFilter final : public IFilterInfo {
 public:
  FakeFilter(FakeGraphBackend& backend, const FakeFilterDef& def)
      : backend_(backend), name_(def.name) {
    for (const auto& pin : def.pins) pins_.push_back(std::make_unique<FakePin>(backend, *this, pin));
  }
  std::string Name() const override { return name_; }
  std::vector<IPinInfo*> Pins() override {
    std::vector<IPinInfo*> pins;
    for (auto& pin : pins_) pins.push_back(pin.get());
    return pins;
  }
  bool TakesFileName() const override { return name_ == backend_.writerName; }
  bool SetFileName(const std::string& path) override {
    if (!TakesFileName()) return false;
    fileName = path;
    return true;
  }
  void ShowPropertyPages(int32_t parentWindow) override {
    backend_.log.push_back("PropertyPages " + name_ + " " + std::to_string(parentWindow));
    if (backend_.host) backend_.host->ShowFilterPropertyPages(name_, backend_.decoderSettings);
  }
  bool InputConnected() const {
    return std::any_of(pins_.begin(), pins_.end(), [](const auto& pin) {
      return pin->Direction() == kPinInput && pin->peer;
    });
  }

  std::string fileName;

 private:
  FakeGraphBackend& backend_;
  std::string name_;
  std::vector<std::unique_ptr<FakePin>> pins_;
};

std::string FakePin::Id() const {
  return owner.Name() + "." + (def_.label.empty() ? def_.name : def_.label);
}

bool FakePin::Connect(IPinInfo& other) {
  auto* that = dynamic_cast<FakePin*>(&other);
  const std::string entry = Id() + " -> " + (that ? that->Id() : other.Name());
  const auto& refusing = backend_.refusingPins;
  const bool refused = !that || that->Direction() == Direction() || peer || that->peer ||
                       std::count(refusing.begin(), refusing.end(), Id()) > 0 ||
                       std::count(refusing.begin(), refusing.end(), that->Id()) > 0;
  backend_.log.push_back((refused ? "Refused " : "Connect ") + entry);
  if (refused) return false;
  peer = that;
  that->peer = this;
  return true;
}

class FakeRegFilter final : public dshow::IRegFilterInfo {
 public:
  FakeRegFilter(FakeGraphBackend& backend, FakeFilterDef def,
                std::vector<std::unique_ptr<FakeFilter>>& filters)
      : backend_(backend), def_(std::move(def)), filters_(filters) {}
  std::string Name() const override { return def_.name; }
  IFilterInfo* Filter() override {
    backend_.log.push_back("Filter " + def_.name);
    if (!def_.instantiable) return nullptr;
    filters_.push_back(std::make_unique<FakeFilter>(backend_, def_));
    return filters_.back().get();
  }

 private:
  FakeGraphBackend& backend_;
  FakeFilterDef def_;
  std::vector<std::unique_ptr<FakeFilter>>& filters_;
};

class FakeGraph final : public dshow::FilterGraph {
 public:
  explicit FakeGraph(FakeGraphBackend& backend) : backend_(backend) {
    for (const auto& def : backend.registered) {
      registered_.push_back(std::make_unique<FakeRegFilter>(backend, def, filters_));
    }
  }
  ~FakeGraph() override { backend_.log.push_back("ReleaseGraph"); }

  std::vector<dshow::IRegFilterInfo*> RegFilterCollection() override {
    std::vector<dshow::IRegFilterInfo*> collection;
    for (auto& info : registered_) collection.push_back(info.get());
    return collection;
  }
  IFilterInfo* AddSourceFilter(const std::string& path) override {
    backend_.log.push_back("AddSourceFilter " + path);
    if (!backend_.sourceOpens) return nullptr;
    filters_.push_back(std::make_unique<FakeFilter>(backend_, FakeFilterDef{"Source", backend_.sourcePins}));
    return filters_.back().get();
  }
  // A running writer has its file open and half written; stopping finishes it.
  bool Run() override {
    backend_.log.push_back("Run");
    ran_ = backend_.runs;
    if (ran_) WriteFiles("RI");
    return ran_;
  }
  void Stop() override {
    backend_.log.push_back("Stop");
    if (ran_) WriteFiles("RIFF");
  }
  void WriteFiles(const char* bytes) {
    for (const auto& filter : filters_) {
      if (!filter->fileName.empty() && filter->InputConnected()) {
        std::ofstream(filter->fileName, std::ios::binary) << bytes;
      }
    }
  }
  bool Duration(double& seconds) override {
    seconds = backend_.duration;
    return true;
  }
  bool CurrentPosition(double& seconds) override {
    ++backend_.positionReads;
    if (backend_.positions.empty()) return false;
    seconds = backend_.positions.front();
    backend_.positions.pop_front();
    return true;
  }

 private:
  FakeGraphBackend& backend_;
  bool ran_ = false;
  std::vector<std::unique_ptr<FakeRegFilter>> registered_;
  std::vector<std::unique_ptr<FakeFilter>> filters_;
};

class FakeWrapper final : public dshow::IFileSinkWrapper {
 public:
  explicit FakeWrapper(FakeGraphBackend& backend) : backend_(backend) {}
  ~FakeWrapper() override { backend_.log.push_back("ReleaseWrapper"); }
  bool IsReady() override {
    backend_.log.push_back("IsReady");
    return backend_.wrapperReady && filter_ && filter_->TakesFileName();
  }
  bool Attach(IFilterInfo& filter) override {
    backend_.log.push_back("Attach " + filter.Name());
    filter_ = &filter;
    return true;
  }
  bool SetFileName(const std::string& path) override {
    backend_.log.push_back("SetFileName " + path);
    return filter_ && filter_->SetFileName(path);
  }
  bool ShowPropertyPages(int32_t parentWindow) override {
    if (!filter_) return false;
    filter_->ShowPropertyPages(parentWindow);
    return true;
  }

 private:
  FakeGraphBackend& backend_;
  IFilterInfo* filter_ = nullptr;
};

}  // namespace

FakeGraphBackend::FakeGraphBackend()
    : registered{{"AC3Filter", {{"In", kPinInput}, {"Out", kPinOutput}}},
                 {"WAV Dest", {{"In", kPinInput}, {"Out", kPinOutput}}},
                 {"File writer", {{"in", kPinInput}}}},
      sourcePins{{"Video", kPinOutput}, {"Audio", kPinOutput}} {}

std::unique_ptr<dshow::FilterGraph> FakeGraphBackend::CreateFilterGraph() {
  log.push_back("CreateFilterGraph");
  if (!graphCreatable) return nullptr;
  return std::make_unique<FakeGraph>(*this);
}

std::unique_ptr<dshow::IFileSinkWrapper> FakeGraphBackend::CreateWrapper(const std::string& clsid,
                                                                         const std::string& iid) {
  log.push_back("CreateWrapper " + clsid + " " + iid);
  if (!wrapperRegistered) return nullptr;
  return std::make_unique<FakeWrapper>(*this);
}

std::vector<std::string> FakeGraphBackend::Entries(const std::string& prefix) const {
  std::vector<std::string> entries;
  for (const auto& entry : log) {
    if (entry.starts_with(prefix)) entries.push_back(entry);
  }
  return entries;
}

}  // namespace parvela::testing
