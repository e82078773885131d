// The GStreamer pipeline a decoding graph becomes when it runs: one file source and demuxer per
// source filter, a chain of elements behind each connected stream, and the news of its end.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dshow/decoder_settings.h"
#include "dshow/gst_media.h"

namespace parvela::dshow::gst {

class RunningPipeline {
 public:
  RunningPipeline();
  ~RunningPipeline();
  RunningPipeline(const RunningPipeline&) = delete;
  RunningPipeline& operator=(const RunningPipeline&) = delete;

  // An element made inside the pipeline; nullptr when its factory is not installed.
  GstElement* Make(const char* factory);
  // A file source with its Matroska demuxer; nullptr on failure.
  GstElement* AddSource(const std::string& path);
  // Links the chain's elements in order and the demuxer's pad of that name to its head as soon
  // as the demuxer announces it.
  bool AddChain(GstElement* demux, const std::string& padName,
                const std::vector<GstElement*>& chain);
  // The file `sink` writes at `path` goes to disk a little behind it and leaves the cache.
  void WriteBehind(GstElement* sink, const std::string& path);
  bool Play();

  bool Failed() const { return failed_.load(); }
  bool Finished() const { return finished_.load(); }
  // Waits at most that long for the end of the stream or a failure.
  void WaitForEnd(int milliseconds);
  // Seconds of stream delivered by the slowest chain.
  double Position() const;
  std::optional<double> QueryDuration() const;

 private:
  struct Link;
  struct Demux;
  struct Written;
  static void OnPadAdded(GstElement* element, GstPad* pad, gpointer data);
  static GstPadProbeReturn OnData(GstPad* pad, GstPadProbeInfo* info, gpointer data);
  static GstPadProbeReturn OnWrite(GstPad* pad, GstPadProbeInfo* info, gpointer data);
  static GstBusSyncReply OnMessage(GstBus* bus, GstMessage* message, gpointer data);

  GstElement* pipeline_;
  std::vector<std::unique_ptr<Demux>> demuxes_;
  std::vector<std::unique_ptr<Written>> written_;
  std::atomic<bool> failed_{false};
  std::atomic<bool> finished_{false};
  std::mutex endMutex_;
  std::condition_variable ended_;
};

// Appends the decoder filter's elements to a chain: parser, decoder, and what the decoder's
// settings ask for, ending in 16-bit PCM.
bool AppendDecoderChain(RunningPipeline& pipeline, const DecoderRoute& route,
                        const DecoderSettings& settings, std::vector<GstElement*>& chain);

}  // namespace parvela::dshow::gst
