// An MP4 of timed H.264 pictures and ADTS AAC frames, written in one pass with its index in
// front: every sample's size and time is known before the first byte goes out, so the index is
// laid out first and the samples follow it, straight from the mapped inputs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gather_writer.h"
#include "h264_timing.h"

namespace parvela::toolkit {

// One track as the file lays it out.
struct Mp4Track {
  bool video = false;
  uint32_t timescale = 0;
  uint32_t sampleDuration = 0;              // every sample lasts as long
  std::vector<uint32_t> sizes;              // per sample, in decoding order
  std::vector<uint32_t> compositionOffsets;  // per sample; empty: shown in decoding order
  std::vector<uint32_t> syncSamples;        // numbered from 1; empty: every sample is one
  uint32_t mediaStart = 0;                  // the media time shown first (the pictures' reorder delay)
  uint32_t delayMs = 0;                     // the track starts this late: an empty edit before it
  uint32_t width = 0, height = 0;           // video: the picture's size
  std::string sampleEntry;                  // the whole avc1 or mp4a box
  // Adds sample i's bytes to the writer, pointing into the mapped input where it can.
  std::function<void(size_t, GatherWriter&)> addSample;
  // Told that the samples before n have gone out (their input may be let go of).
  std::function<void(size_t)> sent;
};

// The video track of a timed H.264 stream: pictures in decoding order with their NAL units
// length-prefixed, `rate` pictures per second (num/den), times from their order counts.
// False when its times or sizes do not fit the tables. The track refers to `stream` and `timeline`.
bool H264Track(std::string_view stream, const H264Timeline& timeline, long rateNum, long rateDen, Mp4Track& track);

// The audio track of an ADTS stream, numbered `trackId` in the file; false when it is not one
// this file can describe (frames of differing profiles, rates or layouts). It refers to `stream`.
bool AdtsTrack(std::string_view stream, uint32_t trackId, Mp4Track& track);

// Writes the file to `fd`: ftyp, moov, mdat, tracks interleaved in half-second chunks.
// `done(share)` is told as the samples go out. False when a write failed.
bool WriteMp4(int fd, const std::vector<Mp4Track>& tracks, const std::function<void(double)>& done = {});

}  // namespace parvela::toolkit
