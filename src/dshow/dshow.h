// Decoding the source's audio to movie.wav through the decoding graph.
#pragma once

#include <string>

#include "app/application.h"
#include "ui/controls.h"

namespace parvela {

// Writes tempFolder + "movie.wav" from the source's first audio stream; fails silently.
// The progress line shows the seconds decoded once a second.
void DecodeAudioToWav(Application& app, TextBox& txtProgress, const std::string& source,
                      const std::string& tempFolder, const std::string& baseName);
// Opens the decoder filter's settings through the window host.
void ShowDecoderOptions(Application& app);

}  // namespace parvela
