#include "aac_join.h"

namespace parvela::toolkit {

namespace {

unsigned Bits(std::string_view s, size_t bit, int count) {
  unsigned v = 0;
  for (int i = 0; i < count; ++i, ++bit) {
    if (bit / 8 >= s.size()) return ~0u;
    v = (v << 1) | ((static_cast<unsigned char>(s[bit / 8]) >> (7 - bit % 8)) & 1u);
  }
  return v;
}

// ics_info's window_sequence and window_shape: after the element id and tag, a channel pair's
// common_window flag, and the global gain of a channel that has its own.
unsigned FirstWindow(std::string_view block) {
  unsigned id = Bits(block, 0, 3);
  size_t at = 7;
  if (id == 1) {
    bool common = Bits(block, at++, 1) == 1;
    if (!common) at += 8;
  } else if (id == 0 || id == 3) {
    at += 8;
  } else {
    return ~0u;
  }
  return Bits(block, at + 1, 3);
}

const AdtsFrame* At(const PlacedFrames& p, size_t index) {
  if (index < p.first || index - p.first >= p.frames->size()) return nullptr;
  return &(*p.frames)[index - p.first];
}

bool SameWindow(const PlacedFrames& a, const PlacedFrames& b, size_t index) {
  const AdtsFrame* x = At(a, index);
  const AdtsFrame* y = At(b, index);
  return x && y && x->window != ~0u && x->window == y->window;
}

}  // namespace

bool SplitAdts(std::string_view s, std::vector<AdtsFrame>& frames) {
  frames.clear();
  size_t at = 0;
  while (at + 7 <= s.size()) {
    auto b = [&](size_t i) { return static_cast<unsigned char>(s[at + i]); };
    if (b(0) != 0xFF || (b(1) & 0xF6) != 0xF0) return false;
    size_t length = ((b(3) & 3u) << 11) | (b(4) << 3) | (b(5) >> 5);
    size_t header = (b(1) & 1) ? 7 : 9;
    if ((b(6) & 3) != 0 || length <= header || at + length > s.size()) return false;
    frames.push_back({at, length, FirstWindow(s.substr(at + header, length - header))});
    at += length;
  }
  return at == s.size();
}

size_t ChooseJoin(const PlacedFrames& a, const PlacedFrames& b, size_t nominal, size_t earliest, size_t latest) {
  for (size_t step = 0; nominal + step <= latest || nominal >= earliest + step; ++step) {
    for (size_t k : {nominal - step, nominal + step}) {
      if (k < earliest || k > latest || k == 0) continue;
      if (SameWindow(a, b, k - 1) && SameWindow(a, b, k)) return k;
    }
  }
  return nominal;
}

}  // namespace parvela::toolkit
