// The header bytes the playability rules need beyond ffprobe's report: a stream's extradata
// from the report's hex dump, the MPEG-4 Visual VOL header's motion flags, and the order of an
// MP4's top-level boxes (read box header by box header, never the media data).
#include "playability/stream_headers.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace parvela::playability {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Bits {
 public:
  explicit Bits(std::string_view bytes) : bytes_(bytes) {}
  unsigned Read(int n) {
    unsigned v = 0;
    while (n-- > 0) {
      if (pos_ >= bytes_.size() * 8) throw std::out_of_range("VOL header ends early");
      v = (v << 1) | ((static_cast<unsigned char>(bytes_[pos_ / 8]) >> (7 - pos_ % 8)) & 1u);
      ++pos_;
    }
    return v;
  }
  void Skip(int n) { Read(n); }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

// video_object_layer_shape: the consoles play rectangular layers only (not binary-only, 2, nor grayscale, 3).
constexpr unsigned kRectangular = 0;

void SkipVbvParameters(Bits& b) {
  b.Skip(15 + 1 + 15 + 1);         // bit rate, in two halves with markers
  b.Skip(15 + 1 + 3);              // buffer size
  b.Skip(11 + 1 + 15 + 1);         // occupancy
}

void SkipQuantMatrix(Bits& b) {
  for (int i = 0; i < 64; ++i) {
    if (b.Read(8) == 0) return;  // a zero ends the list; the last value repeats
  }
}

int TimeIncrementBits(unsigned resolution) {
  int bits = 1;
  while (resolution > 1 && (1u << bits) < resolution) ++bits;
  return bits;
}

VolFlags ParseVol(Bits& b) {
  b.Skip(1 + 8);  // random_accessible_vol, video_object_type_indication
  unsigned verid = 1;
  if (b.Read(1)) {
    verid = b.Read(4);
    b.Skip(3);
  }
  if (b.Read(4) == 15) b.Skip(16);  // extended pixel aspect
  if (b.Read(1)) {
    b.Skip(3);  // chroma_format, low_delay
    if (b.Read(1)) SkipVbvParameters(b);
  }
  const unsigned shape = b.Read(2);
  if (shape != kRectangular) throw std::out_of_range("not a rectangular video object layer");
  b.Skip(1);
  const unsigned resolution = b.Read(16);
  b.Skip(1);
  if (b.Read(1)) b.Skip(TimeIncrementBits(resolution));
  b.Skip(1 + 13 + 1 + 13 + 1);  // width and height with their markers
  b.Skip(2);                    // interlaced, obmc_disable
  VolFlags flags;
  const unsigned sprite = b.Read(verid == 1 ? 1 : 2);
  flags.gmc = sprite != 0;
  if (sprite != 0) return flags;  // refused anyway; the fields that follow depend on it
  if (b.Read(1)) b.Skip(8);       // not_8_bit: quant_precision, bits_per_pixel
  if (b.Read(1)) {                // quant_type: the matrices follow when loaded
    if (b.Read(1)) SkipQuantMatrix(b);
    if (b.Read(1)) SkipQuantMatrix(b);
  }
  if (verid != 1) flags.qpel = b.Read(1) != 0;
  return flags;
}

uint64_t BigEndian(const unsigned char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

std::string BytesFromHexDump(std::string_view dump) {
  // Each line: an offset and ": ", then 40 columns of hex pairs and blanks, then the characters.
  constexpr size_t kHexColumns = 40;
  std::string bytes;
  while (!dump.empty()) {
    size_t end = dump.find('\n');
    std::string_view line = dump.substr(0, end);
    dump.remove_prefix(end == std::string_view::npos ? dump.size() : end + 1);
    size_t colon = line.find(": ");
    if (colon == std::string_view::npos) continue;
    std::string_view hex = line.substr(colon + 2, kHexColumns);
    int high = -1;
    for (char c : hex) {
      int v = HexValue(c);
      if (v < 0) continue;
      if (high < 0) {
        high = v;
      } else {
        bytes.push_back(static_cast<char>(high * 16 + v));
        high = -1;
      }
    }
  }
  return bytes;
}

std::optional<VolFlags> ReadVolFlags(std::string_view bytes) {
  static const std::string_view kStart("\0\0\1", 3);
  for (size_t at = bytes.find(kStart); at != std::string_view::npos; at = bytes.find(kStart, at + 3)) {
    if (at + 3 >= bytes.size() || (static_cast<unsigned char>(bytes[at + 3]) & 0xf0) != 0x20) continue;
    try {
      Bits b(bytes.substr(at + 4));
      return ParseVol(b);
    } catch (const std::out_of_range&) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<bool> Mp4IndexFirst(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  uint64_t offset = 0;
  for (int box = 0; box < 64 && in; ++box) {
    std::array<unsigned char, 16> head{};
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(reinterpret_cast<char*>(head.data()), 8)) break;
    uint64_t size = BigEndian(head.data(), 4);
    const std::string type(reinterpret_cast<const char*>(head.data()) + 4, 4);
    if (type == "moov") return true;
    if (type == "mdat") return false;
    if (size == 1) {
      if (!in.read(reinterpret_cast<char*>(head.data()) + 8, 8)) break;
      size = BigEndian(head.data() + 8, 8);
    }
    if (size < 8) break;  // 0 is "to the end of the file": nothing follows it
    offset += size;
  }
  return std::nullopt;
}

}  // namespace parvela::playability
