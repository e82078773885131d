#include "streams/h264_sps.h"

#include <algorithm>
#include <string>

#include "streams/h264_bits.h"

namespace parvela {

namespace {

bool HasChromaInfo(int profile) {
  static const int kHigh[] = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135};
  return std::find(std::begin(kHigh), std::end(kHigh), profile) != std::end(kHigh);
}

void SkipScalingList(BitReader& r, int size) {
  int last = 8, next = 8;
  for (int j = 0; j < size; ++j) {
    if (next != 0) {
      // Anything outside the range the standard allows is a broken set, not a wrapped number.
      const int delta = r.Se();
      if (delta < -128 || delta > 127) throw std::out_of_range("delta_scale out of range");
      next = (last + delta + 256) % 256;
    }
    last = next == 0 ? last : next;
  }
}

void ReadChromaInfo(BitReader& r, Sps& s) {
  s.chromaFormatIdc = r.Ue();
  if (s.chromaFormatIdc == 3) s.separateColourPlane = r.Bit();
  s.bitDepthLuma = r.Ue() + 8;
  s.bitDepthChroma = r.Ue() + 8;
  r.Bit();  // qpprime_y_zero_transform_bypass_flag
  if (r.Bit()) {
    int lists = s.chromaFormatIdc == 3 ? 12 : 8;
    for (int i = 0; i < lists; ++i) {
      if (r.Bit()) SkipScalingList(r, i < 6 ? 16 : 64);
    }
  }
}

void ReadPictureOrder(BitReader& r, Sps& s) {
  s.pocType = r.Ue();
  if (s.pocType == 0) {
    s.log2MaxPocLsb = r.Ue() + 4;
  } else if (s.pocType == 1) {
    r.Bit();
    r.Se();
    r.Se();
    unsigned cycle = r.Ue();
    for (unsigned i = 0; i < cycle; ++i) r.Se();
  }
}

}  // namespace

unsigned Sps::Width() const {
  unsigned unitX = (chromaFormatIdc == 0 || separateColourPlane || chromaFormatIdc == 3) ? 1 : 2;
  return widthMbs * 16 - unitX * (cropLeft + cropRight);
}

unsigned Sps::Height() const {
  unsigned subHeight = (chromaFormatIdc == 1 && !separateColourPlane) ? 2 : 1;
  unsigned unitY = subHeight * (frameMbsOnly ? 1 : 2);
  return FrameHeightMbs() * 16 - unitY * (cropTop + cropBottom);
}

std::optional<Sps> ParseSps(std::string_view nal) {
  if (nal.empty() || (nal[0] & 0x1f) != 7) return std::nullopt;
  try {
    BitReader r(Unescape(nal.substr(1)));
    Sps s;
    s.profileIdc = static_cast<int>(r.Bits(8));
    s.constraintFlags = static_cast<int>(r.Bits(8));
    s.levelIdc = static_cast<int>(r.Bits(8));
    s.spsId = r.Ue();
    if (HasChromaInfo(s.profileIdc)) ReadChromaInfo(r, s);
    s.log2MaxFrameNum = r.Ue() + 4;
    ReadPictureOrder(r, s);
    s.maxNumRefFrames = r.Ue();
    r.Bit();  // gaps_in_frame_num_value_allowed_flag
    s.widthMbs = r.Ue() + 1;
    s.heightMapUnits = r.Ue() + 1;
    s.frameMbsOnly = r.Bit();
    if (!s.frameMbsOnly) r.Bit();  // mb_adaptive_frame_field_flag
    r.Bit();                       // direct_8x8_inference_flag
    if (r.Bit()) {
      s.cropLeft = r.Ue();
      s.cropRight = r.Ue();
      s.cropTop = r.Ue();
      s.cropBottom = r.Ue();
    }
    return s;
  } catch (const std::out_of_range&) {
    return std::nullopt;
  }
}

std::optional<Sps> SpsFromAvcC(std::string_view avcc) {
  // version, profile, compatibility, level, length size, then the count of SPS and the first.
  if (avcc.size() < 8 || avcc[0] != 1 || (avcc[5] & 0x1f) == 0) return std::nullopt;
  size_t length = (static_cast<unsigned char>(avcc[6]) << 8) | static_cast<unsigned char>(avcc[7]);
  if (8 + length > avcc.size()) return std::nullopt;
  return ParseSps(avcc.substr(8, length));
}

std::optional<Sps> SpsFromByteStream(std::string_view bytes) {
  static const std::string_view kStart("\0\0\1", 3);
  size_t at = bytes.find(kStart);
  while (at != std::string_view::npos) {
    size_t begin = at + 3;
    size_t next = bytes.find(kStart, begin);
    if (begin < bytes.size() && (bytes[begin] & 0x1f) == 7) {
      return ParseSps(bytes.substr(begin, next == std::string_view::npos ? next : next - begin));
    }
    at = next;
  }
  return std::nullopt;
}

unsigned Level41DpbFrames(const Sps& sps) { return Level41DpbFrames(sps.FrameMbs()); }

unsigned Level41DpbFrames(unsigned frameMbs) {
  constexpr unsigned kMaxDpbMbs = 32768;  // MaxDpbMbs of level 4.1
  if (frameMbs == 0) return 0;
  return std::min(16u, kMaxDpbMbs / frameMbs);
}

const char* ProfileName(int profileIdc) {
  switch (profileIdc) {
    case 66: return "Baseline";
    case 77: return "Main";
    case 88: return "Extended";
    case 100: return "High";
    case 110: return "High 10";
    case 122: return "High 4:2:2";
    case 244: return "High 4:4:4 Predictive";
    default: return "other";
  }
}

}  // namespace parvela
