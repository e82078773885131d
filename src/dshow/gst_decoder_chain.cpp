// The decoder filter's elements. Plain settings keep the shortest chain (decode, convert to
// 16-bit); compression, gain and down-mixing work on floating point in between, so nothing
// clips before the last conversion.
#include <cmath>
#include <string>

#include "dshow/gst_pipeline.h"

namespace parvela::dshow::gst {

namespace {

// Compression above -12 dBFS at 2:1, with a soft knee: dialogue stays, peaks come down.
constexpr float kDrcThreshold = 0.25f;
constexpr float kDrcRatio = 0.5f;

void SetCaps(GstElement* filter, const std::string& caps) {
  GstCaps* parsed = gst_caps_from_string(caps.c_str());
  g_object_set(filter, "caps", parsed, nullptr);
  gst_caps_unref(parsed);
}

std::string PcmCaps(const DecoderSettings& settings) {
  std::string caps = "audio/x-raw, format=(string)S16LE";
  if (settings.outputChannels != DecoderSettings::kAsSource) {
    caps += ", channels=(int)" + std::to_string(settings.outputChannels);
  }
  return caps;
}

class ChainBuilder {
 public:
  ChainBuilder(RunningPipeline& pipeline, std::vector<GstElement*>& chain)
      : pipeline_(pipeline), chain_(chain) {}
  GstElement* Add(const char* factory) {
    GstElement* element = pipeline_.Make(factory);
    if (element) chain_.push_back(element);
    return element;
  }
  bool AddFormat(const std::string& caps) {
    GstElement* convert = Add("audioconvert");
    GstElement* format = Add("capsfilter");
    if (!convert || !format) return false;
    gst_util_set_object_arg(G_OBJECT(convert), "dithering", "none");
    SetCaps(format, caps);
    return true;
  }

 private:
  RunningPipeline& pipeline_;
  std::vector<GstElement*>& chain_;
};

bool AddAdjustments(ChainBuilder& b, const DecoderSettings& settings) {
  if (!b.AddFormat("audio/x-raw, format=(string)F32LE")) return false;
  if (settings.dynamicRangeCompression) {
    GstElement* drc = b.Add("audiodynamic");
    if (!drc) return false;
    gst_util_set_object_arg(G_OBJECT(drc), "characteristics", "soft-knee");
    gst_util_set_object_arg(G_OBJECT(drc), "mode", "compressor");
    g_object_set(drc, "threshold", kDrcThreshold, "ratio", kDrcRatio, nullptr);
  }
  if (settings.gainDb != 0) {
    GstElement* volume = b.Add("volume");
    if (!volume) return false;
    g_object_set(volume, "volume", std::pow(10.0, settings.gainDb / 20.0), nullptr);
  }
  return true;
}

}  // namespace

bool AppendDecoderChain(RunningPipeline& pipeline, const DecoderRoute& route,
                        const DecoderSettings& settings, std::vector<GstElement*>& chain) {
  ChainBuilder b(pipeline, chain);
  // The queue lets the conversion and the writing run beside the decoding.
  if (!b.Add(route.parser.c_str()) || !b.Add(route.decoder.c_str()) || !b.Add("queue")) {
    return false;
  }
  if (!settings.Plain() && !AddAdjustments(b, settings)) return false;
  return b.AddFormat(PcmCaps(settings));
}

}  // namespace parvela::dshow::gst
