#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "dshow/dshow.h"
#include "dshow/graph.h"
#include "fsutil/fsutil.h"

namespace parvela {

namespace {

using dshow::FilterGraph;
using dshow::IFilterInfo;
using dshow::IPinInfo;

constexpr int kPollMilliseconds = 1000;
// A graph whose position has not moved for this many polls has stalled without an error.
constexpr int kStalledPolls = 30;

// The first registered filter of exactly that name (letter case too), added to the graph.
IFilterInfo* AddRegisteredFilter(FilterGraph& graph, const std::string& name) {
  for (dshow::IRegFilterInfo* info : graph.RegFilterCollection()) {
    if (info->Name() == name) return info->Filter();
  }
  return nullptr;
}

IPinInfo* FirstPin(IFilterInfo& filter, int direction) {
  for (IPinInfo* pin : filter.Pins()) {
    if (pin->Direction() == direction) return pin;
  }
  return nullptr;
}

IPinInfo* FirstNamedOutputPin(IFilterInfo& filter, const std::string& name) {
  for (IPinInfo* pin : filter.Pins()) {
    if (pin->Name() == name && pin->Direction() == dshow::kPinOutput) return pin;
  }
  return nullptr;
}

bool ConnectToFirstInput(IPinInfo* output, IFilterInfo& downstream) {
  IPinInfo* input = FirstPin(downstream, dshow::kPinInput);
  return output && input && output->Connect(*input);
}

// Whole seconds, halves to even; the counter holds 16-bit values only.
bool WholeSeconds(double seconds, int& whole) {
  const double rounded = std::nearbyint(seconds);
  if (!(rounded >= INT16_MIN && rounded <= INT16_MAX)) return false;
  whole = static_cast<int>(rounded);
  return true;
}

struct DecodingGraph {
  std::unique_ptr<FilterGraph> graph;
  IFilterInfo* decoder = nullptr;
  IFilterInfo* wavDest = nullptr;
  IFilterInfo* writer = nullptr;
};

bool AddFilters(DecodingGraph& g) {
  g.decoder = AddRegisteredFilter(*g.graph, "AC3Filter");
  if (!g.decoder) return false;
  g.wavDest = AddRegisteredFilter(*g.graph, "WAV Dest");
  if (!g.wavDest) return false;
  g.writer = AddRegisteredFilter(*g.graph, "File writer");
  return g.writer != nullptr;
}

bool ConnectFilters(DecodingGraph& g, const std::string& source) {
  IFilterInfo* sourceFilter = g.graph->AddSourceFilter(source);
  if (!sourceFilter) return false;
  return ConnectToFirstInput(FirstNamedOutputPin(*sourceFilter, "Audio"), *g.decoder) &&
         ConnectToFirstInput(FirstPin(*g.decoder, dshow::kPinOutput), *g.wavDest) &&
         ConnectToFirstInput(FirstPin(*g.wavDest, dshow::kPinOutput), *g.writer);
}

enum class PollEnd { Done, Failed, Stalled };

// On a failure the caller releases everything without stopping first.
PollEnd PollUntilDone(Application& app, TextBox& txtProgress, FilterGraph& graph) {
  double position = -1;
  double duration = 0;
  double lastPosition = -1;
  int unmoved = 0;
  while (position < duration) {
    // A stopped run keeps no half a WAV.
    if (app.stopRequested) return PollEnd::Failed;
    if (!graph.CurrentPosition(position) || !graph.Duration(duration)) return PollEnd::Failed;
    unmoved = position == lastPosition ? unmoved + 1 : 0;
    lastPosition = position;
    if (unmoved >= kStalledPolls) return PollEnd::Stalled;
    if (duration == 0) return PollEnd::Failed;
    int wholeDuration = 0;
    int wholePosition = 0;
    if (!WholeSeconds(duration, wholeDuration) || !WholeSeconds(position, wholePosition)) {
      return PollEnd::Failed;
    }
    txtProgress.SetText("Extracting " + std::to_string(wholeDuration) + " seconds of Audio :" +
                        std::to_string(wholePosition));
    // The read that finds the end needs no further second of waiting.
    if (position >= duration) break;
    // The wait ends as the graph does, so the read that finds the end comes at once.
    if (!graph.WaitForCompletion(kPollMilliseconds)) app.sleeper.Sleep(kPollMilliseconds);
    app.host.DoEvents();
  }
  return PollEnd::Done;
}

}  // namespace

void DecodeAudioToWav(Application& app, TextBox& txtProgress, const std::string& source,
                      const std::string& tempFolder, const std::string& baseName) {
  (void)baseName;  // handed over by every caller, never needed here
  if (!app.graph) return;
  DecodingGraph g;
  g.graph = app.graph->CreateFilterGraph();
  if (!g.graph || !AddFilters(g) || !ConnectFilters(g, source)) return;

  // Declared after the graph so that it is released first: it holds on to the writer.
  auto wrapper = app.graph->CreateWrapper(dshow::kClsidFileSinkWrapper, dshow::kIidFileSinkWrapper);
  if (!wrapper || !wrapper->Attach(*g.writer)) return;
  if (wrapper->IsReady() && !wrapper->SetFileName(tempFolder + "movie.wav")) return;

  if (!g.graph->Run()) return;
  const PollEnd end = PollUntilDone(app, txtProgress, *g.graph);
  // Half a WAV (a graph that stalled, or failed on a full disk) would pass the caller's check;
  // without it the backup method decodes the track.
  if (end == PollEnd::Failed) {
    DeleteFile(tempFolder + "movie.wav");
    return;
  }
  g.graph->Stop();
  if (end == PollEnd::Stalled) DeleteFile(tempFolder + "movie.wav");
}

void ShowDecoderOptions(Application& app) {
  if (!app.graph) return;
  auto graph = app.graph->CreateFilterGraph();
  if (!graph) return;
  IFilterInfo* decoder = AddRegisteredFilter(*graph, "AC3Filter");
  if (!decoder) return;
  auto wrapper = app.graph->CreateWrapper(dshow::kClsidFileSinkWrapper, dshow::kIidFileSinkWrapper);
  if (!wrapper || !wrapper->Attach(*decoder)) return;
  wrapper->ShowPropertyPages(0);
}

}  // namespace parvela
