// The automation calls of the audio decoding graph: a filter graph manager with its registered
// filters, filters with pins, a running graph with its position, and the file-sink wrapper
// component. A backend (GStreamer, or a fake in the tests) supplies them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dshow/decoder_settings.h"

namespace parvela::dshow {

inline constexpr int kPinInput = 0;
inline constexpr int kPinOutput = 1;

inline constexpr const char* kClsidFilterGraph = "{E436EBB3-524F-11CE-9F53-0020AF0BA770}";
inline constexpr const char* kClsidFileSinkWrapper = "{C98CC4B0-16DC-4904-9BEE-BD940B1A0132}";
inline constexpr const char* kIidFileSinkWrapper = "{659A2204-7FBC-432F-AD98-D45483FDED60}";

// Objects handed out by a graph live as long as the graph; callers never delete them.
class IPinInfo {
 public:
  virtual ~IPinInfo() = default;
  virtual std::string Name() const = 0;
  virtual int Direction() const = 0;  // kPinInput or kPinOutput
  // Connects this pin to the other one; false when either side refuses the connection.
  virtual bool Connect(IPinInfo& other) = 0;
};

class IFilterInfo {
 public:
  virtual ~IFilterInfo() = default;
  virtual std::string Name() const = 0;
  virtual std::vector<IPinInfo*> Pins() = 0;
  // Only a filter that writes a file takes a file name.
  virtual bool TakesFileName() const { return false; }
  virtual bool SetFileName(const std::string& path) {
    (void)path;
    return false;
  }
  virtual void ShowPropertyPages(int32_t parentWindow) = 0;
};

class IRegFilterInfo {
 public:
  virtual ~IRegFilterInfo() = default;
  virtual std::string Name() const = 0;
  // Adds an instance of the filter to the graph; nullptr when it cannot be made.
  virtual IFilterInfo* Filter() = 0;
};

class IMediaControl {
 public:
  virtual ~IMediaControl() = default;
  virtual std::vector<IRegFilterInfo*> RegFilterCollection() = 0;
  // The source filter for the file, added to the graph; nullptr when the file cannot be opened.
  virtual IFilterInfo* AddSourceFilter(const std::string& path) = 0;
  virtual bool Run() = 0;
  virtual void Stop() = 0;
};

class IMediaPosition {
 public:
  virtual ~IMediaPosition() = default;
  // Seconds; false when the graph cannot tell (an error while streaming, for one).
  virtual bool Duration(double& seconds) = 0;
  virtual bool CurrentPosition(double& seconds) = 0;
};

class IMediaEvent {
 public:
  virtual ~IMediaEvent() = default;
  // Waits at most that long, returning as soon as the running graph has ended or failed; true
  // when it waited. False when this graph cannot be waited on: the caller then sleeps instead.
  virtual bool WaitForCompletion(int milliseconds) {
    (void)milliseconds;
    return false;
  }
};

// One graph manager answers all three interfaces. Releasing it stops a running graph.
class FilterGraph : public IMediaControl, public IMediaPosition, public IMediaEvent {};

// The wrapper component: names the File writer's output and shows a filter's property pages.
class IFileSinkWrapper {
 public:
  virtual ~IFileSinkWrapper() = default;
  virtual bool IsReady() = 0;
  virtual bool Attach(IFilterInfo& filter) = 0;
  virtual bool SetFileName(const std::string& path) = 0;
  virtual bool ShowPropertyPages(int32_t parentWindow) = 0;
};

// What the platform offers: graph managers and components by class.
class GraphBackend {
 public:
  virtual ~GraphBackend() = default;
  // nullptr when no graph manager can be created.
  virtual std::unique_ptr<FilterGraph> CreateFilterGraph() = 0;
  // nullptr for a component that is not registered or cannot be loaded.
  virtual std::unique_ptr<IFileSinkWrapper> CreateWrapper(const std::string& clsid,
                                                          const std::string& iid) = 0;
  // The decoder filter's settings, which its property pages edit; nullptr when the platform's
  // decoder keeps its own.
  virtual DecoderSettings* DecoderOptions() { return nullptr; }
};

}  // namespace parvela::dshow
