// The decoder filter's own settings, edited in its property pages and used by every later decode.
#pragma once

namespace parvela::dshow {

struct DecoderSettings {
  static constexpr int kAsSource = 0;
  // 0 keeps the source's speaker layout; 1 or 2 mix down to mono or stereo.
  int outputChannels = kAsSource;
  // Narrows the gap between loud and quiet passages, for late-night listening.
  bool dynamicRangeCompression = false;
  // Gain in decibels applied after decoding (and after compression).
  int gainDb = 0;

  static constexpr int kMinGainDb = -20;
  static constexpr int kMaxGainDb = 20;

  bool Plain() const { return outputChannels == kAsSource && !dynamicRangeCompression && gainDb == 0; }
  bool operator==(const DecoderSettings&) const = default;
};

}  // namespace parvela::dshow
