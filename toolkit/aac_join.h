// Joining ADTS streams that encode overlapping pieces of one signal, frame for frame.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace parvela::toolkit {

struct AdtsFrame {
  size_t offset = 0, size = 0;
  unsigned window = 0;  // window sequence and shape of the first channel element; ~0u unknown
};

// The frames of an ADTS stream, one raw data block each; false when it holds anything else.
bool SplitAdts(std::string_view stream, std::vector<AdtsFrame>& frames);

// One piece's frames, placed in the whole result: its frame i is frame first + i there.
struct PlacedFrames {
  const std::vector<AdtsFrame>* frames = nullptr;
  size_t first = 0;
};

// The result frame from which `b` takes over from `a`: of the frames in [earliest, latest], the
// one nearest `nominal` where both pieces chose the same windows for it and the frame before,
// so that the overlap of the two cancels as it does inside one encode; `nominal` when none does.
size_t ChooseJoin(const PlacedFrames& a, const PlacedFrames& b, size_t nominal, size_t earliest, size_t latest);

}  // namespace parvela::toolkit
