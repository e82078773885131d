// Decoding the source's audio to movie.wav through the decoding graph.
#pragma once

#include <memory>
#include <string>

#include "app/application.h"
#include "dshow/graph.h"
#include "ui/controls.h"
#include "ui/window_host.h"

namespace parvela {

// Writes tempFolder + "movie.wav" from the source's first audio stream; fails silently.
// The progress line shows the seconds decoded once a second.
void DecodeAudioToWav(Application& app, TextBox& txtProgress, const std::string& source,
                      const std::string& tempFolder, const std::string& baseName);
// Opens the decoder filter's settings through the window host.
void ShowDecoderOptions(Application& app);
// The decoder's settings are kept between runs in a file of their own beside the settings file,
// "decoder.conf": three lines, the output channels (0 as the source, 1, 2), dynamic range
// compression (0 or 1) and the gain in dB. A missing or unreadable file leaves the defaults.
std::string DecoderOptionsPath(const Application& app);
void LoadDecoderOptions(Application& app);
void SaveDecoderOptions(const Application& app);

// The decoding graph on GStreamer, for Application::graph; nullptr when GStreamer cannot start.
// Filters show their property pages through the host.
std::unique_ptr<dshow::GraphBackend> CreateGraphBackend(WindowHost& host);

}  // namespace parvela
