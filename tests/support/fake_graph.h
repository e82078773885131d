// A decoding graph for unit tests: chosen filters, pins, durations, failures and positions, and
// a log of every call the decoding routine makes.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dshow/graph.h"
#include "ui/window_host.h"

namespace parvela::testing {

struct FakePinDef {
  std::string name;
  int direction;      // dshow::kPinInput or dshow::kPinOutput
  std::string label = {};  // how the log names the pin when names repeat; the name when empty
};

struct FakeFilterDef {
  std::string name;
  std::vector<FakePinDef> pins;
  bool instantiable = true;
};

class FakeGraphBackend : public dshow::GraphBackend {
 public:
  // Registers "AC3Filter", "WAV Dest" and "File writer" (pins "In" and "Out", the writer "in"),
  // and gives the source the output pins "Video" and "Audio".
  FakeGraphBackend();

  std::unique_ptr<dshow::FilterGraph> CreateFilterGraph() override;
  dshow::DecoderSettings* DecoderOptions() override { return &decoderSettings; }
  std::unique_ptr<dshow::IFileSinkWrapper> CreateWrapper(const std::string& clsid,
                                                         const std::string& iid) override;

  // The log entries of one kind, e.g. Entries("Connect").
  std::vector<std::string> Entries(const std::string& prefix) const;

  std::vector<FakeFilterDef> registered;  // in collection order
  std::vector<FakePinDef> sourcePins;
  std::string writerName = "File writer";  // the one filter that takes a file name
  std::vector<std::string> refusingPins;   // "filter.pin": every connection to it is refused
  bool graphCreatable = true;
  bool sourceOpens = true;
  bool runs = true;
  bool wrapperRegistered = true;
  bool wrapperReady = true;
  double duration = 0;
  // Handed out one per CurrentPosition call; once used up, the position cannot be read.
  std::deque<double> positions;
  WindowHost* host = nullptr;  // where property pages are shown
  dshow::DecoderSettings decoderSettings;

  // "CreateFilterGraph", "Filter <name>", "AddSourceFilter <path>", "Connect <a> -> <b>",
  // "Refused <a> -> <b>" (pins as "filter.pin", the source filter being "Source"),
  // "CreateWrapper <clsid> <iid>", "Attach <name>", "IsReady", "SetFileName <path>",
  // "PropertyPages <name> <arg>", "Run", "Stop", "ReleaseWrapper", "ReleaseGraph".
  // Stopping a graph that ran writes a stand-in WAV to a connected writer's file name.
  std::vector<std::string> log;
  int positionReads = 0;
};

}  // namespace parvela::testing
