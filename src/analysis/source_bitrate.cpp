// The bitrate that the source's H.264 encoder left in its option text ("... bitrate=8000 ratetol=...").
#include <fstream>
#include <optional>

#include "analysis/analysis.h"
#include "fsutil/fsutil.h"

namespace parvela {

namespace {

constexpr size_t kSearchedBytes = 100000;  // the encoder's option text sits near the start
constexpr size_t kValueBytes = 5;
constexpr int16_t kDefaultBitrate = 8000;

std::string Digits(const std::string& text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return text.substr(start, i - start);
}

// A decimal number, its fraction rounded to the nearest integer with halves to the even
// neighbour. The text is at most five characters, so the value fits easily.
std::optional<long> RoundedNumber(const std::string& text) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  const std::string whole = Digits(text, i);
  std::string fraction;
  if (i < text.size() && text[i] == '.') fraction = Digits(text, ++i);
  if (i != text.size() || (whole.empty() && fraction.empty())) return std::nullopt;
  long value = whole.empty() ? 0 : std::stol(whole);
  if (!fraction.empty()) {
    const bool aboveHalf = fraction.find_first_not_of('0', 1) != std::string::npos;
    if (fraction[0] > '5' || (fraction[0] == '5' && (aboveHalf || value % 2 == 1))) ++value;
  }
  return negative ? -value : value;
}

}  // namespace

int16_t ReadSourceBitrate(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kDefaultBitrate;
  std::string head(kSearchedBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const size_t at = head.find("bitrate=");
  if (at == std::string::npos) return kDefaultBitrate;
  // The value may lie just beyond the searched block.
  in.clear();
  in.seekg(static_cast<std::streamoff>(at + 8));
  std::string value(kValueBytes, '\0');
  in.read(value.data(), static_cast<std::streamsize>(value.size()));
  value.resize(static_cast<size_t>(in.gcount()));
  // Anything but a positive 16-bit number would put a useless bitrate on the encoder's line.
  const std::optional<long> number = RoundedNumber(TrimBlanks(value));
  if (!number || *number < 1 || *number > 32767) return kDefaultBitrate;
  return static_cast<int16_t>(*number);
}

}  // namespace parvela
