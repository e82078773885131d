#include "h264_timing.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "streams/h264_bits.h"
#include "streams/h264_sps.h"

namespace parvela::toolkit {

namespace {

// What the ordering below does not follow; the whole stream then takes the other road.
struct Unsupported : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum SliceType : unsigned { kP = 0, kB = 1, kI = 2, kSP = 3, kSI = 4 };
enum NalType : unsigned { kSlice = 1, kIdr = 5, kSei = 6, kSpsNal = 7, kPpsNal = 8, kAud = 9, kFiller = 12 };

// A slice header ends well before this; longer ones are read whole.
constexpr size_t kHeaderBytes = 1024;

struct Pps {
  unsigned spsId = 0;
  bool bottomFieldPicOrder = false;
  unsigned refIdxL0 = 1, refIdxL1 = 1;
  bool weightedPred = false;
  unsigned weightedBipred = 0;
  bool redundantPicCnt = false;
};

Pps ParsePps(std::string_view nal, unsigned& id) {
  BitReader r(Unescape(nal.substr(1, kHeaderBytes)));
  Pps p;
  id = r.Ue();
  p.spsId = r.Ue();
  r.Bit();  // entropy_coding_mode_flag
  p.bottomFieldPicOrder = r.Bit();
  if (r.Ue() > 0) throw Unsupported("slice groups");
  p.refIdxL0 = r.Ue() + 1;
  p.refIdxL1 = r.Ue() + 1;
  p.weightedPred = r.Bit();
  p.weightedBipred = r.Bits(2);
  r.Se(), r.Se(), r.Se();  // initial quantisers, chroma offset
  r.Bit(), r.Bit();        // deblocking control, constrained intra
  p.redundantPicCnt = r.Bit();
  if (id > 255) throw Unsupported("a picture parameter set id out of range");
  return p;
}

struct Slice {
  unsigned nalType = 0, refIdc = 0, type = 0, ppsId = 0, frameNum = 0, idrPicId = 0, pocLsb = 0;
  unsigned redundantCnt = 0;
  int deltaBottom = 0;
  bool mmco5 = false;  // the picture resets the order count, like an IDR
};

// 7.4.1.2.4: what tells the first slice of a new picture from one more slice of the same.
bool StartsNewPicture(const Slice& a, const Slice& b) {
  return a.frameNum != b.frameNum || a.ppsId != b.ppsId || (a.refIdc == 0) != (b.refIdc == 0) ||
         a.pocLsb != b.pocLsb || a.deltaBottom != b.deltaBottom || (a.nalType == kIdr) != (b.nalType == kIdr) ||
         (a.nalType == kIdr && a.idrPicId != b.idrPicId);
}

void SkipListModification(BitReader& r) {
  if (!r.Bit()) return;
  for (unsigned idc = r.Ue(); idc != 3; idc = r.Ue()) {
    if (idc > 5) throw std::out_of_range("bad reference list modification");
    r.Ue();
  }
}

void SkipWeights(BitReader& r, const Sps& sps, unsigned l0, unsigned l1) {
  bool chroma = !sps.separateColourPlane && sps.chromaFormatIdc != 0;
  r.Ue();
  if (chroma) r.Ue();
  for (unsigned count : {l0, l1}) {
    for (unsigned i = 0; i < count; ++i) {
      if (r.Bit()) r.Se(), r.Se();
      if (chroma && r.Bit()) r.Se(), r.Se(), r.Se(), r.Se();
    }
  }
}

bool MarksMmco5(BitReader& r, bool idr) {
  if (idr) return false;  // no_output_of_prior_pics and long_term_reference follow: no operations
  if (!r.Bit()) return false;
  bool reset = false;
  for (unsigned op = r.Ue(); op != 0; op = r.Ue()) {
    if (op > 6) throw std::out_of_range("bad memory management operation");
    if (op == 1 || op == 3) r.Ue();
    if (op == 2) r.Ue();
    if (op == 3 || op == 6) r.Ue();
    if (op == 4) r.Ue();
    reset = reset || op == 5;
  }
  return reset;
}

class ParameterSets {
 public:
  void AddSps(std::string_view nal) {
    std::optional<Sps> sps = ParseSps(nal);
    if (!sps || sps->spsId > 31) return;
    sps_[sps->spsId] = {*sps, std::string(nal)};
  }
  void AddPps(std::string_view nal) {
    unsigned id = 0;
    Pps pps = ParsePps(nal, id);
    pps_[id] = {pps, std::string(nal)};
  }
  const Pps& PpsFor(unsigned id) const {
    auto it = pps_.find(id);
    if (it == pps_.end()) throw Unsupported("a slice refers to a missing picture parameter set");
    return it->second.first;
  }
  const Sps& SpsFor(unsigned id) const {
    auto it = sps_.find(id);
    if (it == sps_.end()) throw Unsupported("a slice refers to a missing sequence parameter set");
    if (it->second.first.pocType == 1) throw Unsupported("picture order count type 1");
    return it->second.first;
  }
  // ISO/IEC 14496-15 AVCDecoderConfigurationRecord with four-byte NAL lengths.
  std::string AvcC() const {
    const std::string& first = sps_.begin()->second.second;
    const Sps& s = sps_.begin()->second.first;
    std::string out = {1, first[1], first[2], first[3], static_cast<char>(0xFF),
                       static_cast<char>(0xE0 | sps_.size())};
    auto add = [&out](const std::string& nal) {
      out.push_back(static_cast<char>(nal.size() >> 8));
      out.push_back(static_cast<char>(nal.size() & 0xFF));
      out += nal;
    };
    for (const auto& entry : sps_) add(entry.second.second);
    out.push_back(static_cast<char>(pps_.size()));
    for (const auto& entry : pps_) add(entry.second.second);
    if (s.profileIdc == 100 || s.profileIdc == 110 || s.profileIdc == 122 || s.profileIdc == 144) {
      out.push_back(static_cast<char>(0xFC | s.chromaFormatIdc));
      out.push_back(static_cast<char>(0xF8 | (s.bitDepthLuma - 8)));
      out.push_back(static_cast<char>(0xF8 | (s.bitDepthChroma - 8)));
      out.push_back(0);
    }
    return out;
  }
  bool Complete() const { return !sps_.empty() && !pps_.empty(); }

 private:
  std::map<unsigned, std::pair<Sps, std::string>> sps_;
  std::map<unsigned, std::pair<Pps, std::string>> pps_;
};

Slice ParseSliceHeader(std::string_view nal, std::string_view head, const ParameterSets& sets) {
  BitReader r{Unescape(head)};
  Slice s;
  s.nalType = nal[0] & 0x1f;
  s.refIdc = (static_cast<unsigned char>(nal[0]) >> 5) & 3;
  r.Ue();  // first_mb_in_slice
  s.type = r.Ue() % 5;
  s.ppsId = r.Ue();
  const Pps& pps = sets.PpsFor(s.ppsId);
  const Sps& sps = sets.SpsFor(pps.spsId);
  if (sps.separateColourPlane) r.Bits(2);
  s.frameNum = r.Bits(static_cast<int>(sps.log2MaxFrameNum));
  if (!sps.frameMbsOnly && r.Bit()) throw Unsupported("field pictures");
  if (s.nalType == kIdr) s.idrPicId = r.Ue();
  if (sps.pocType == 0) {
    s.pocLsb = r.Bits(static_cast<int>(sps.log2MaxPocLsb));
    if (pps.bottomFieldPicOrder) s.deltaBottom = r.Se();
  }
  if (pps.redundantPicCnt) s.redundantCnt = r.Ue();
  bool b = s.type == kB, p = s.type == kP || s.type == kSP;
  if (b) r.Bit();  // direct_spatial_mv_pred_flag
  unsigned l0 = pps.refIdxL0, l1 = pps.refIdxL1;
  if ((p || b) && r.Bit()) {
    l0 = r.Ue() + 1;
    if (b) l1 = r.Ue() + 1;
  }
  if (p || b) SkipListModification(r);
  if (b) SkipListModification(r);
  if ((pps.weightedPred && p) || (pps.weightedBipred == 1 && b)) SkipWeights(r, sps, l0, b ? l1 : 0);
  if (s.refIdc != 0) s.mmco5 = MarksMmco5(r, s.nalType == kIdr);
  return s;
}

Slice ReadSlice(std::string_view nal, const ParameterSets& sets) {
  try {
    return ParseSliceHeader(nal, nal.substr(1, kHeaderBytes), sets);
  } catch (const std::out_of_range&) {
    if (nal.size() <= kHeaderBytes + 1) throw;
    return ParseSliceHeader(nal, nal.substr(1), sets);
  }
}

// A recovery point SEI marks an intra picture that a decoder can start from.
bool HasRecoveryPoint(std::string_view nal) {
  std::string sei = Unescape(nal.substr(1, 64));
  size_t at = 0;
  while (at < sei.size() && static_cast<unsigned char>(sei[at]) != 0x80) {
    unsigned type = 0, size = 0;
    while (at < sei.size() && static_cast<unsigned char>(sei[at]) == 0xFF) type += 255, ++at;
    if (at < sei.size()) type += static_cast<unsigned char>(sei[at++]);
    while (at < sei.size() && static_cast<unsigned char>(sei[at]) == 0xFF) size += 255, ++at;
    if (at < sei.size()) size += static_cast<unsigned char>(sei[at++]);
    if (type == 6) return true;
    at += size;
  }
  return false;
}

// Follows the stream NAL by NAL: access unit boundaries, then each picture's order count.
class Builder {
 public:
  explicit Builder(H264Timeline& t) : t_(t) {}

  void Nal(uint64_t offset, std::string_view nal) {
    unsigned type = nal[0] & 0x1f;
    if (type == kAud || type == kFiller) {
      if (type == kAud) MarkBoundary();
      return;
    }
    if (type == kSei || type == kSpsNal || type == kPpsNal || (type >= 13 && type <= 18)) MarkBoundary();
    if (type == kSpsNal) sets_.AddSps(nal);
    if (type == kPpsNal) sets_.AddPps(nal);
    if (type == kSei && HasRecoveryPoint(nal)) recovery_ = true;
    if (type == kSlice || type == kIdr) AddSlice(nal);
    t_.nals.push_back({offset, static_cast<uint32_t>(nal.size())});
  }

  void Finish() {
    if (t_.pictures.empty()) throw Unsupported("no picture");
    ClosePicture(static_cast<uint32_t>(t_.nals.size()));
    periodStarts_.push_back(t_.pictures.size());
    for (size_t p = 0; p + 1 < periodStarts_.size(); ++p) OrderPeriod(periodStarts_[p], periodStarts_[p + 1]);
  }

 private:
  void MarkBoundary() {
    if (boundary_) return;
    boundary_ = true;
    boundaryNal_ = static_cast<uint32_t>(t_.nals.size());
  }

  void AddSlice(std::string_view nal) {
    Slice s = ReadSlice(nal, sets_);
    if (s.redundantCnt > 0) return;
    if (boundary_ || t_.pictures.empty() || StartsNewPicture(last_, s)) {
      OpenPicture(s);
    } else {
      t_.pictures.back().key = t_.pictures.back().key && (s.type == kI || s.type == kSI || s.nalType == kIdr);
    }
    last_ = s;
    boundary_ = false;
  }

  void OpenPicture(const Slice& s) {
    uint32_t first = boundary_ ? boundaryNal_ : static_cast<uint32_t>(t_.nals.size());
    if (t_.pictures.empty()) {
      if (!sets_.Complete()) throw Unsupported("no parameter sets before the first picture");
      t_.avcC = sets_.AvcC();
      const Sps& sps = sets_.SpsFor(sets_.PpsFor(s.ppsId).spsId);
      t_.width = sps.Width(), t_.height = sps.Height();
    } else {
      ClosePicture(first);
    }
    bool intra = s.type == kI || s.type == kSI;
    H264Picture picture;
    picture.firstNal = first;
    picture.key = s.nalType == kIdr || (intra && (recovery_ || t_.pictures.empty()));
    recovery_ = false;
    pocs_.push_back(OrderCount(s));
    t_.pictures.push_back(picture);
  }

  void ClosePicture(uint32_t end) { t_.pictures.back().nalCount = end - t_.pictures.back().firstNal; }

  // 8.2.1.1 for order count type 0; type 2 shows pictures in decoding order.
  int64_t OrderCount(const Slice& s) {
    const Sps& sps = sets_.SpsFor(sets_.PpsFor(s.ppsId).spsId);
    if (s.nalType == kIdr || s.mmco5 || t_.pictures.empty()) {
      periodStarts_.push_back(t_.pictures.size());
      if (s.nalType == kIdr) prevMsb_ = prevLsb_ = 0;
    }
    if (sps.pocType == 2) return static_cast<int64_t>(t_.pictures.size());
    int64_t maxLsb = int64_t{1} << sps.log2MaxPocLsb, lsb = s.pocLsb, msb = prevMsb_;
    if (lsb < prevLsb_ && prevLsb_ - lsb >= maxLsb / 2) msb = prevMsb_ + maxLsb;
    if (lsb > prevLsb_ && lsb - prevLsb_ > maxLsb / 2) msb = prevMsb_ - maxLsb;
    int64_t top = msb + lsb, poc = std::min(top, top + s.deltaBottom);
    if (s.mmco5) {
      // The picture's own count becomes 0 and later ones count from it.
      prevMsb_ = 0;
      prevLsb_ = top - poc;
      return 0;
    }
    if (s.refIdc != 0) prevMsb_ = msb, prevLsb_ = lsb;
    return poc;
  }

  // Every picture of a period is shown before the IDR (or reset) that ends it.
  void OrderPeriod(size_t begin, size_t end) {
    std::vector<size_t> order(end - begin);
    std::iota(order.begin(), order.end(), begin);
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return pocs_[a] < pocs_[b]; });
    for (size_t rank = 0; rank < order.size(); ++rank) t_.pictures[order[rank]].shownAs = static_cast<uint32_t>(begin + rank);
  }

  H264Timeline& t_;
  ParameterSets sets_;
  Slice last_;
  bool boundary_ = true, recovery_ = false;
  uint32_t boundaryNal_ = 0;
  int64_t prevMsb_ = 0, prevLsb_ = 0;
  std::vector<int64_t> pocs_;
  std::vector<size_t> periodStarts_;
};

// Calls `each(offset, nal)` for every NAL unit; the zero bytes before a start code are no part
// of the unit before it.
template <typename Each>
void ForEachNal(std::string_view s, Each each) {
  const char* data = s.data();
  size_t size = s.size(), begin = std::string_view::npos, at = 2;
  while (at < size) {
    const void* one = std::memchr(data + at, 1, size - at);
    if (!one) break;
    size_t pos = static_cast<size_t>(static_cast<const char*>(one) - data);
    at = pos + 1;
    if (data[pos - 1] != 0 || data[pos - 2] != 0) continue;
    if (begin != std::string_view::npos) {
      size_t end = pos - 2;
      while (end > begin && data[end - 1] == 0) --end;
      if (end > begin) each(begin, s.substr(begin, end - begin));
    }
    begin = pos + 1;
    at = pos + 3;
  }
  if (begin != std::string_view::npos && begin < size) {
    size_t end = size;
    while (end > begin && data[end - 1] == 0) --end;
    if (end > begin) each(begin, s.substr(begin, end - begin));
  }
}

}  // namespace

bool BuildTimeline(std::string_view stream, H264Timeline& timeline, std::string& why,
                   const std::function<void(size_t)>& scanned) {
  timeline = {};
  Builder builder(timeline);
  constexpr size_t kReport = 64 << 20;
  size_t reported = 0;
  try {
    ForEachNal(stream, [&](uint64_t offset, std::string_view nal) {
      builder.Nal(offset, nal);
      if (scanned && offset - reported >= kReport) scanned(reported = offset);
    });
    builder.Finish();
    return true;
  } catch (const Unsupported& e) {
    why = e.what();
  } catch (const std::out_of_range& e) {
    why = std::string("unreadable slice header (") + e.what() + ")";
  }
  return false;
}

}  // namespace parvela::toolkit
