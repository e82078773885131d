// The "AC3Filter Options" button, and the decoder settings it edits kept between runs.
#include <charconv>

#include "dshow/dshow.h"
#include "fsutil/fsutil.h"
#include "ui/form1.h"

namespace parvela {

namespace {

std::optional<int> Whole(const std::string& text, int lowest, int highest) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < lowest || value > highest) return std::nullopt;
  return value;
}

}  // namespace

std::string DecoderOptionsPath(const Application& app) { return app.stateFolder + kSep + "decoder.conf"; }

void LoadDecoderOptions(Application& app) {
  dshow::DecoderSettings* settings = app.graph ? app.graph->DecoderOptions() : nullptr;
  std::vector<std::string> lines;
  if (!settings || !ReadTextLines(DecoderOptionsPath(app), lines) || lines.size() < 3) return;
  // A file edited by hand into nonsense is ignored whole, not half applied.
  const auto channels = Whole(lines[0], 0, 2);
  const auto compression = Whole(lines[1], 0, 1);
  const auto gain = Whole(lines[2], dshow::DecoderSettings::kMinGainDb, dshow::DecoderSettings::kMaxGainDb);
  if (!channels || !compression || !gain) return;
  settings->outputChannels = *channels;
  settings->dynamicRangeCompression = *compression == 1;
  settings->gainDb = *gain;
}

void SaveDecoderOptions(const Application& app) {
  const dshow::DecoderSettings* settings = app.graph ? app.graph->DecoderOptions() : nullptr;
  if (!settings) return;
  WriteTextLines(DecoderOptionsPath(app), {std::to_string(settings->outputChannels),
                                           settings->dynamicRangeCompression ? "1" : "0",
                                           std::to_string(settings->gainDb)});
}

void Form1::Command3_Click() {
  ShowDecoderOptions(app);
  SaveDecoderOptions(app);
}

}  // namespace parvela
