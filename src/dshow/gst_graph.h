// The decoding graph on GStreamer: the registered filters, the source filter of a Matroska file,
// and a pipeline built from the connections when the graph runs.
#pragma once

#include <memory>

#include "dshow/decoder_settings.h"
#include "dshow/graph.h"
#include "ui/window_host.h"

namespace parvela::dshow {

// Filters show their property pages through the host.
class GstGraphBackend final : public GraphBackend {
 public:
  explicit GstGraphBackend(WindowHost& host) : host_(host) {}
  std::unique_ptr<FilterGraph> CreateFilterGraph() override;
  std::unique_ptr<IFileSinkWrapper> CreateWrapper(const std::string& clsid,
                                                  const std::string& iid) override;
  DecoderSettings* DecoderOptions() override { return &settings_; }

 private:
  WindowHost& host_;
  DecoderSettings settings_;
};

}  // namespace parvela::dshow
