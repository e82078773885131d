#include "dshow/gst_media.h"

#include <array>
#include <mutex>

namespace parvela::dshow::gst {

namespace {

constexpr GstClockTime kProbeTimeout = 20 * GST_SECOND;
constexpr const char* kStreamsKnown = "parvela-streams-known";

struct ProbeContext {
  std::mutex mutex;
  SourceLayout layout;
};

void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
  auto* context = static_cast<ProbeContext*>(data);
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  gchar* name = gst_pad_get_name(pad);
  std::lock_guard lock(context->mutex);
  context->layout.streams.push_back({name, AdoptCaps(caps)});
  g_free(name);
}

// The demuxer announces its last stream before it pushes any data; the bus carries the news.
void OnNoMorePads(GstElement* demux, gpointer) {
  gst_element_post_message(
      demux, gst_message_new_application(GST_OBJECT(demux), gst_structure_new_empty(kStreamsKnown)));
}

bool WaitForStreams(GstElement* pipeline) {
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, kProbeTimeout,
      static_cast<GstMessageType>(GST_MESSAGE_APPLICATION | GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
  const bool known = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_APPLICATION;
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  return known;
}

double DurationSeconds(GstElement* element) {
  gint64 duration = 0;
  if (!gst_element_query_duration(element, GST_FORMAT_TIME, &duration) || duration <= 0) return 0;
  return static_cast<double>(duration) / GST_SECOND;
}

struct RouteCandidate {
  const char* caps;
  const char* parser;
  std::array<const char*, 2> decoders;  // the first one installed is taken
};

// a52dec before libav's decoder: both decode alike, but loading libav maps its hundred
// libraries into Parvela itself, some 35 MB of its peak memory.

const std::array<RouteCandidate, 6>& Candidates() {
  static const std::array<RouteCandidate, 6> candidates{{
      {"audio/x-ac3", "ac3parse", {"a52dec", "avdec_ac3"}},
      {"audio/x-eac3", "ac3parse", {"avdec_eac3", nullptr}},
      {"audio/x-dts", "dcaparse", {"avdec_dca", "dtsdec"}},
      {"audio/mpeg, mpegversion=(int)1, layer=(int)3", "mpegaudioparse",
       {"avdec_mp3", "mpg123audiodec"}},
      {"audio/mpeg, mpegversion=(int)1, layer=(int)2", "mpegaudioparse",
       {"avdec_mp2float", "mpg123audiodec"}},
      {"audio/mpeg, mpegversion=(int)1, layer=(int)1", "mpegaudioparse",
       {"avdec_mp1float", "mpg123audiodec"}},
  }};
  return candidates;
}

std::optional<DecoderRoute> InstalledRoute(const RouteCandidate& candidate) {
  if (!ElementExists(candidate.parser)) return std::nullopt;
  for (const char* decoder : candidate.decoders) {
    if (decoder && ElementExists(decoder)) return DecoderRoute{candidate.parser, decoder};
  }
  return std::nullopt;
}

}  // namespace

bool ElementExists(const char* factoryName) {
  GstElementFactory* factory = gst_element_factory_find(factoryName);
  if (!factory) return false;
  gst_object_unref(factory);
  return true;
}

std::optional<SourceLayout> ProbeMatroska(const std::string& path) {
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* source = gst_element_factory_make("filesrc", nullptr);
  GstElement* demux = gst_element_factory_make("matroskademux", nullptr);
  if (!source || !demux) {
    if (source) gst_object_unref(source);
    if (demux) gst_object_unref(demux);
    gst_object_unref(pipeline);
    return std::nullopt;
  }
  g_object_set(source, "location", path.c_str(), nullptr);
  gst_bin_add_many(GST_BIN(pipeline), source, demux, nullptr);
  gst_element_link(source, demux);

  ProbeContext context;
  g_signal_connect(demux, "pad-added", G_CALLBACK(OnPadAdded), &context);
  g_signal_connect(demux, "no-more-pads", G_CALLBACK(OnNoMorePads), nullptr);

  std::optional<SourceLayout> result;
  if (gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
      WaitForStreams(pipeline)) {
    std::lock_guard lock(context.mutex);
    result = context.layout;
    result->duration = DurationSeconds(demux);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return result;
}

std::optional<DecoderRoute> FindDecoderRoute(const GstCaps* caps) {
  if (!caps) return std::nullopt;
  for (const auto& candidate : Candidates()) {
    GstCaps* wanted = gst_caps_from_string(candidate.caps);
    const bool matches = gst_caps_can_intersect(caps, wanted);
    gst_caps_unref(wanted);
    if (matches) return InstalledRoute(candidate);
  }
  return std::nullopt;
}

bool DecodersInstalled() {
  if (!ElementExists("audioconvert")) return false;
  for (const auto& candidate : Candidates()) {
    if (InstalledRoute(candidate)) return true;
  }
  return false;
}

}  // namespace parvela::dshow::gst
