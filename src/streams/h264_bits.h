// Reading H.264 syntax: the payload of a NAL unit without its emulation-prevention bytes, and a
// reader of its bit fields and Exp-Golomb codes that throws when the payload ends early.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace parvela {

class BitReader {
 public:
  explicit BitReader(std::string rbsp) : bytes_(std::move(rbsp)) {}
  unsigned Bit() {
    if (pos_ >= bytes_.size() * 8) throw std::out_of_range("H.264 syntax ends early");
    unsigned bit = (static_cast<unsigned char>(bytes_[pos_ / 8]) >> (7 - pos_ % 8)) & 1u;
    ++pos_;
    return bit;
  }
  unsigned Bits(int n) {
    unsigned v = 0;
    while (n-- > 0) v = (v << 1) | Bit();
    return v;
  }
  // Exp-Golomb, unsigned.
  unsigned Ue() {
    int zeros = 0;
    while (Bit() == 0) {
      if (++zeros > 31) throw std::out_of_range("bad exp-Golomb code");
    }
    return (1u << zeros) - 1 + Bits(zeros);
  }
  int Se() {
    unsigned k = Ue();
    return (k & 1) ? static_cast<int>((k + 1) / 2) : -static_cast<int>(k / 2);
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

// The payload without the 0x03 bytes that keep start codes out of it.
inline std::string Unescape(std::string_view nal) {
  std::string out;
  out.reserve(nal.size());
  int zeros = 0;
  for (char c : nal) {
    if (zeros >= 2 && c == 3) {
      zeros = 0;
      continue;
    }
    zeros = c == 0 ? zeros + 1 : 0;
    out.push_back(c);
  }
  return out;
}

}  // namespace parvela
