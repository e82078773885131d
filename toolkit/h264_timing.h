// Presentation times of a raw H.264 stream. An Annex B byte stream carries its pictures in
// decoding order and no times; the order they are shown in follows from each picture's order
// count, read from its slice headers. MP4Box uses this to hand ffmpeg timed pictures in one pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace parvela::toolkit {

// One NAL unit of the stream, without its start code.
struct NalRange {
  uint64_t offset = 0;
  uint32_t size = 0;
};

struct H264Picture {
  uint32_t firstNal = 0, nalCount = 0;  // into H264Timeline::nals
  uint32_t shownAs = 0;                  // place in presentation order, from 0
  bool key = false;                      // a decoder can start here
};

struct H264Timeline {
  std::vector<NalRange> nals;          // the NAL units kept, in stream order
  std::vector<H264Picture> pictures;   // in decoding order
  std::string avcC;                    // decoder configuration record from the first parameter sets
  unsigned width = 0, height = 0;
};

// Splits `stream` into pictures and orders them. False, with `why`, when the stream holds what this
// ordering does not follow (field pictures, picture order count type 1, slice groups, no
// parameter sets): the caller then takes the slower road that handles everything.
// `scanned(n)` is told now and then that the first n bytes have been read.
bool BuildTimeline(std::string_view stream, H264Timeline& timeline, std::string& why,
                   const std::function<void(size_t)>& scanned = {});

}  // namespace parvela::toolkit
