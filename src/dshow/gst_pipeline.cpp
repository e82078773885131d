#include "dshow/gst_pipeline.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "fsutil/write_behind.h"

namespace parvela::dshow::gst {

struct RunningPipeline::Link {
  std::string padName;
  GstElement* head = nullptr;
  GstSegment segment{};  // touched by the streaming thread only
  std::atomic<gint64> delivered{0};
};

struct RunningPipeline::Demux {
  GstElement* element = nullptr;
  std::vector<std::unique_ptr<Link>> links;
};

// What a writer has written so far, touched by its streaming thread only.
struct RunningPipeline::Written {
  explicit Written(const std::string& path) : behind(path) {}
  parvela::WriteBehind behind;
  uint64_t bytes = 0;
  bool rewriting = false;  // a header written again at the end, over the start
};

RunningPipeline::RunningPipeline() : pipeline_(gst_pipeline_new(nullptr)) {
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, &RunningPipeline::OnMessage, this, nullptr);
  gst_object_unref(bus);
}

RunningPipeline::~RunningPipeline() {
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline_);
}

GstElement* RunningPipeline::Make(const char* factory) {
  GstElement* element = gst_element_factory_make(factory, nullptr);
  if (element) gst_bin_add(GST_BIN(pipeline_), element);
  return element;
}

GstElement* RunningPipeline::AddSource(const std::string& path) {
  GstElement* source = Make("filesrc");
  GstElement* demux = Make("matroskademux");
  if (!source || !demux || !gst_element_link(source, demux)) return nullptr;
  g_object_set(source, "location", path.c_str(), nullptr);
  auto entry = std::make_unique<Demux>();
  entry->element = demux;
  g_signal_connect(demux, "pad-added", G_CALLBACK(&RunningPipeline::OnPadAdded), entry.get());
  demuxes_.push_back(std::move(entry));
  return demux;
}

bool RunningPipeline::AddChain(GstElement* demux, const std::string& padName,
                               const std::vector<GstElement*>& chain) {
  auto it = std::find_if(demuxes_.begin(), demuxes_.end(),
                         [&](const auto& d) { return d->element == demux; });
  if (it == demuxes_.end() || chain.empty()) return false;
  for (size_t i = 1; i < chain.size(); ++i) {
    if (!gst_element_link(chain[i - 1], chain[i])) return false;
  }
  auto link = std::make_unique<Link>();
  link->padName = padName;
  link->head = chain.front();
  gst_segment_init(&link->segment, GST_FORMAT_TIME);
  (*it)->links.push_back(std::move(link));
  return true;
}

void RunningPipeline::WriteBehind(GstElement* sink, const std::string& path) {
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  if (!pad) return;
  written_.push_back(std::make_unique<Written>(path));
  gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                    &RunningPipeline::OnWrite, written_.back().get(), nullptr);
  gst_object_unref(pad);
}

GstPadProbeReturn RunningPipeline::OnWrite(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* written = static_cast<Written*>(data);
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_SEGMENT && written->bytes > 0) {
      written->rewriting = true;
    }
    return GST_PAD_PROBE_OK;
  }
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (buffer && !written->rewriting) {
    // Reported before the buffer goes out: what came before it has been handed to the file.
    written->behind.Written(written->bytes);
    written->bytes += gst_buffer_get_size(buffer);
  }
  return GST_PAD_PROBE_OK;
}

bool RunningPipeline::Play() {
  return gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

double RunningPipeline::Position() const {
  gint64 slowest = std::numeric_limits<gint64>::max();
  bool any = false;
  for (const auto& demux : demuxes_) {
    for (const auto& link : demux->links) {
      slowest = std::min(slowest, link->delivered.load());
      any = true;
    }
  }
  return any ? static_cast<double>(slowest) / GST_SECOND : 0.0;
}

std::optional<double> RunningPipeline::QueryDuration() const {
  gint64 longest = 0;
  for (const auto& demux : demuxes_) {
    gint64 duration = 0;
    if (gst_element_query_duration(demux->element, GST_FORMAT_TIME, &duration)) {
      longest = std::max(longest, duration);
    }
  }
  if (longest <= 0) return std::nullopt;
  return static_cast<double>(longest) / GST_SECOND;
}

void RunningPipeline::OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
  auto* demux = static_cast<Demux*>(data);
  gchar* name = gst_pad_get_name(pad);
  for (const auto& link : demux->links) {
    if (link->padName != name) continue;
    GstPad* sink = gst_element_get_static_pad(link->head, "sink");
    if (sink && gst_pad_link(pad, sink) == GST_PAD_LINK_OK) {
      gst_pad_add_probe(pad,
                        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                     GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                        &RunningPipeline::OnData, link.get(), nullptr);
    }
    if (sink) gst_object_unref(sink);
  }
  g_free(name);
}

// Keeps the stream time reached by each connected stream.
GstPadProbeReturn RunningPipeline::OnData(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* link = static_cast<Link*>(data);
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) gst_event_copy_segment(event, &link->segment);
    return GST_PAD_PROBE_OK;
  }
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer)) return GST_PAD_PROBE_OK;
  GstClockTime end = GST_BUFFER_PTS(buffer);
  if (GST_BUFFER_DURATION_IS_VALID(buffer)) end += GST_BUFFER_DURATION(buffer);
  const guint64 streamTime = gst_segment_to_stream_time(&link->segment, GST_FORMAT_TIME, end);
  if (streamTime != GST_CLOCK_TIME_NONE) {
    const auto reached = static_cast<gint64>(streamTime);
    if (reached > link->delivered.load()) link->delivered.store(reached);
  }
  return GST_PAD_PROBE_OK;
}

void RunningPipeline::WaitForEnd(int milliseconds) {
  std::unique_lock<std::mutex> lock(endMutex_);
  ended_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return Finished() || Failed(); });
}

// Called on the streaming threads; nothing reads the bus, so every message is dropped here,
// and the end or a failure wakes whoever waits for it.
GstBusSyncReply RunningPipeline::OnMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<RunningPipeline*>(data);
  const GstMessageType type = GST_MESSAGE_TYPE(message);
  if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
    std::lock_guard<std::mutex> lock(self->endMutex_);
    (type == GST_MESSAGE_EOS ? self->finished_ : self->failed_).store(true);
    self->ended_.notify_all();
  }
  gst_message_unref(message);
  return GST_BUS_DROP;
}

}  // namespace parvela::dshow::gst
