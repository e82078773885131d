#include "dshow/gst_graph.h"

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dshow/component_loader.h"
#include "dshow/component_registry.h"
#include "dshow/dshow.h"
#include "dshow/gst_media.h"
#include "dshow/gst_pipeline.h"

namespace parvela::dshow {

namespace {

using gst::RunningPipeline;
using gst::SourceStream;

// What an output pin delivers, which decides what may connect to it.
enum class Carries { Compressed, RawAudio, Stream };
enum class Role { Source, Decoder, Transform, Writer };

class GstGraph;
class GraphFilter;

class GraphPin final : public IPinInfo {
 public:
  GraphPin(GraphFilter& owner, std::string name, int direction, Carries carries)
      : owner(owner), carries(carries), name_(std::move(name)), direction_(direction) {}
  std::string Name() const override { return name_; }
  int Direction() const override { return direction_; }
  bool Connect(IPinInfo& other) override;

  GraphFilter& owner;
  const Carries carries;  // output pins only
  SourceStream stream;    // the source filter's pins only
  GraphPin* peer = nullptr;

 private:
  std::string name_;
  int direction_;
};

class GraphFilter final : public IFilterInfo {
 public:
  GraphFilter(WindowHost& host, DecoderSettings& settings, Role role, std::string name,
              std::string element = {})
      : role(role), element(std::move(element)), settings(settings), host_(host),
        name_(std::move(name)) {}
  std::string Name() const override { return name_; }
  std::vector<IPinInfo*> Pins() override {
    std::vector<IPinInfo*> pins;
    for (auto& pin : pins_) pins.push_back(pin.get());
    return pins;
  }
  bool TakesFileName() const override { return role == Role::Writer; }
  bool SetFileName(const std::string& path) override {
    if (role != Role::Writer) return false;
    fileName = path;
    return true;
  }
  void ShowPropertyPages(int32_t) override { host_.ShowFilterPropertyPages(name_, settings); }

  GraphPin& AddPin(std::string name, int direction, Carries carries = Carries::Stream) {
    pins_.push_back(std::make_unique<GraphPin>(*this, std::move(name), direction, carries));
    return *pins_.back();
  }
  GraphPin* FirstOutput() {
    for (auto& pin : pins_) {
      if (pin->Direction() == kPinOutput) return pin.get();
    }
    return nullptr;
  }
  const std::vector<std::unique_ptr<GraphPin>>& OwnPins() const { return pins_; }

  bool Accepts(const GraphPin& output) const {
    switch (role) {
      case Role::Decoder:
        return output.carries == Carries::Compressed &&
               gst::FindDecoderRoute(output.stream.caps.get()).has_value();
      case Role::Transform:
        return output.carries == Carries::RawAudio;
      case Role::Writer:
        return true;  // writes whatever reaches it
      case Role::Source:
        break;
    }
    return false;
  }

  const Role role;
  const std::string element;  // what a registered transform runs
  std::string sourcePath;
  double sourceDuration = 0;
  std::string fileName;
  DecoderSettings& settings;  // the decoder's, shared by every graph of the backend

 private:
  WindowHost& host_;
  std::string name_;
  std::vector<std::unique_ptr<GraphPin>> pins_;
};

bool GraphPin::Connect(IPinInfo& other) {
  auto* that = dynamic_cast<GraphPin*>(&other);
  if (!that || &that->owner == &owner || that->direction_ == direction_) return false;
  if (peer || that->peer) return false;
  GraphPin& output = direction_ == kPinOutput ? *this : *that;
  GraphPin& input = direction_ == kPinOutput ? *that : *this;
  if (!input.owner.Accepts(output)) return false;
  output.peer = &input;
  input.peer = &output;
  return true;
}

// The first stream of a kind keeps the plain name ("Audio"), later ones are numbered.
std::string PinName(const std::string& padName, std::map<std::string, int>& seen) {
  std::string kind = padName;
  if (padName.starts_with("audio_")) kind = "Audio";
  if (padName.starts_with("video_")) kind = "Video";
  if (padName.starts_with("subtitle_")) kind = "Subtitle";
  const int number = ++seen[kind];
  return number == 1 ? kind : kind + " " + std::to_string(number);
}

struct Registration {
  std::string name;
  Role role;
  std::string element;
};

class RegFilter final : public IRegFilterInfo {
 public:
  RegFilter(GstGraph& graph, Registration registration)
      : graph_(graph), registration_(std::move(registration)) {}
  std::string Name() const override { return registration_.name; }
  IFilterInfo* Filter() override;

 private:
  GstGraph& graph_;
  Registration registration_;
};

class GstGraph final : public FilterGraph {
 public:
  GstGraph(WindowHost& host, DecoderSettings& settings) : host_(host), settings_(settings) {}
  ~GstGraph() override { running_.reset(); }

  std::vector<IRegFilterInfo*> RegFilterCollection() override;
  IFilterInfo* AddSourceFilter(const std::string& path) override;
  bool Run() override;
  void Stop() override { running_.reset(); }
  bool Duration(double& seconds) override;
  bool CurrentPosition(double& seconds) override;
  bool WaitForCompletion(int milliseconds) override {
    if (running_) running_->WaitForEnd(milliseconds);
    return running_ != nullptr;
  }

  IFilterInfo* Instantiate(const Registration& registration);

 private:
  bool PlanSource(RunningPipeline& pipeline, GraphFilter& source);
  bool PlanChain(RunningPipeline& pipeline, const GraphPin& sourcePin,
                 std::vector<GstElement*>& chain);
  bool AppendElements(RunningPipeline& pipeline, GraphFilter& filter, const GraphPin& sourcePin,
                      std::vector<GstElement*>& chain);
  double SourceDuration() const;

  WindowHost& host_;
  DecoderSettings& settings_;
  std::vector<std::unique_ptr<RegFilter>> registered_;
  bool registryRead_ = false;
  std::vector<std::unique_ptr<GraphFilter>> filters_;
  std::unique_ptr<RunningPipeline> running_;
};

IFilterInfo* RegFilter::Filter() { return graph_.Instantiate(registration_); }

std::vector<IRegFilterInfo*> GstGraph::RegFilterCollection() {
  if (!registryRead_) {
    registryRead_ = true;
    if (gst::DecodersInstalled()) {
      registered_.push_back(std::make_unique<RegFilter>(
          *this, Registration{"AC3Filter", Role::Decoder, {}}));
    }
    registered_.push_back(std::make_unique<RegFilter>(
        *this, Registration{"File writer", Role::Writer, "filesink"}));
    for (const auto& filter : ComponentRegistry::Instance().Filters()) {
      registered_.push_back(std::make_unique<RegFilter>(
          *this, Registration{filter.name, Role::Transform, filter.element}));
    }
  }
  std::vector<IRegFilterInfo*> collection;
  for (auto& info : registered_) collection.push_back(info.get());
  return collection;
}

IFilterInfo* GstGraph::Instantiate(const Registration& registration) {
  if (!registration.element.empty() && !gst::ElementExists(registration.element.c_str())) {
    return nullptr;
  }
  auto filter = std::make_unique<GraphFilter>(host_, settings_, registration.role,
                                              registration.name, registration.element);
  switch (registration.role) {
    case Role::Decoder:
      filter->AddPin("In", kPinInput);
      filter->AddPin("Out", kPinOutput, Carries::RawAudio);
      break;
    case Role::Transform:
      filter->AddPin("In", kPinInput);
      filter->AddPin("Out", kPinOutput, Carries::Stream);
      break;
    case Role::Writer:
      filter->AddPin("in", kPinInput);
      break;
    case Role::Source:
      return nullptr;
  }
  filters_.push_back(std::move(filter));
  return filters_.back().get();
}

IFilterInfo* GstGraph::AddSourceFilter(const std::string& path) {
  auto layout = gst::ProbeMatroska(path);
  if (!layout) return nullptr;
  auto filter = std::make_unique<GraphFilter>(host_, settings_, Role::Source, path);
  filter->sourcePath = path;
  filter->sourceDuration = layout->duration;
  std::map<std::string, int> seen;
  for (auto& stream : layout->streams) {
    GraphPin& pin = filter->AddPin(PinName(stream.padName, seen), kPinOutput, Carries::Compressed);
    pin.stream = std::move(stream);
  }
  filters_.push_back(std::move(filter));
  return filters_.back().get();
}

// Elements are made inside the pipeline, which releases them whatever happens.
bool GstGraph::AppendElements(RunningPipeline& pipeline, GraphFilter& filter,
                              const GraphPin& sourcePin, std::vector<GstElement*>& chain) {
  auto add = [&](const char* factory) {
    GstElement* element = pipeline.Make(factory);
    if (element) chain.push_back(element);
    return element;
  };
  switch (filter.role) {
    case Role::Decoder: {
      auto route = gst::FindDecoderRoute(sourcePin.stream.caps.get());
      return route && gst::AppendDecoderChain(pipeline, *route, filter.settings, chain);
    }
    case Role::Transform:
      return add(filter.element.c_str()) != nullptr;
    case Role::Writer: {
      if (filter.fileName.empty()) return false;
      GstElement* sink = add("filesink");
      if (!sink) return false;
      g_object_set(sink, "location", filter.fileName.c_str(), "sync", FALSE, nullptr);
      pipeline.WriteBehind(sink, filter.fileName);
      return true;
    }
    case Role::Source:
      break;
  }
  return false;
}

bool GstGraph::PlanChain(RunningPipeline& pipeline, const GraphPin& sourcePin,
                         std::vector<GstElement*>& chain) {
  const GraphPin* upstream = &sourcePin;
  while (upstream->peer) {
    GraphFilter& filter = upstream->peer->owner;
    if (!AppendElements(pipeline, filter, sourcePin, chain)) return false;
    upstream = filter.FirstOutput();
    if (!upstream) return true;  // a writer ends the chain
  }
  // An output left open drops what reaches it.
  GstElement* drop = pipeline.Make("fakesink");
  if (!drop) return false;
  g_object_set(drop, "sync", FALSE, nullptr);
  chain.push_back(drop);
  return true;
}

bool GstGraph::PlanSource(RunningPipeline& pipeline, GraphFilter& source) {
  GstElement* demux = nullptr;
  for (const auto& pin : source.OwnPins()) {
    if (!pin->peer) continue;
    if (!demux) demux = pipeline.AddSource(source.sourcePath);
    std::vector<GstElement*> chain;
    if (!demux || !PlanChain(pipeline, *pin, chain) ||
        !pipeline.AddChain(demux, pin->stream.padName, chain)) {
      return false;
    }
  }
  return true;
}

// A graph with no connected stream would never end, so it does not run.
bool GstGraph::Run() {
  if (running_) return true;
  auto pipeline = std::make_unique<RunningPipeline>();
  bool anyConnected = false;
  for (auto& filter : filters_) {
    if (filter->role != Role::Source) continue;
    for (const auto& pin : filter->OwnPins()) anyConnected = anyConnected || pin->peer;
    if (!PlanSource(*pipeline, *filter)) return false;
  }
  if (!anyConnected || !pipeline->Play()) return false;
  running_ = std::move(pipeline);
  return true;
}

double GstGraph::SourceDuration() const {
  double longest = 0;
  for (const auto& filter : filters_) {
    if (filter->role == Role::Source) longest = std::max(longest, filter->sourceDuration);
  }
  return longest;
}

bool GstGraph::Duration(double& seconds) {
  if (running_ && running_->Failed()) return false;
  std::optional<double> queried = running_ ? running_->QueryDuration() : std::nullopt;
  seconds = queried ? *queried : SourceDuration();
  return true;
}

// The position reaches the duration only once the whole stream has been written, so that a
// poll that stops at the duration never cuts the file short.
bool GstGraph::CurrentPosition(double& seconds) {
  if (!running_) {
    seconds = 0;
    return true;
  }
  if (running_->Failed()) return false;
  double duration = 0;
  if (!Duration(duration)) return false;
  if (running_->Finished()) {
    seconds = duration;
    return true;
  }
  seconds = running_->Position();
  if (seconds >= duration) seconds = std::nextafter(duration, 0.0);
  return true;
}

}  // namespace

std::unique_ptr<FilterGraph> GstGraphBackend::CreateFilterGraph() {
  return std::make_unique<GstGraph>(host_, settings_);
}

std::unique_ptr<IFileSinkWrapper> GstGraphBackend::CreateWrapper(const std::string& clsid,
                                                                 const std::string& iid) {
  return LoadRegisteredWrapper(clsid, iid);
}

}  // namespace parvela::dshow

namespace parvela {

std::unique_ptr<dshow::GraphBackend> CreateGraphBackend(WindowHost& host) {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return nullptr;
  return std::make_unique<dshow::GstGraphBackend>(host);
}

}  // namespace parvela
