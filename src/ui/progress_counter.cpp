#include "ui/progress_counter.h"

#include <charconv>
#include <string_view>

namespace parvela {

namespace {

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

// "A<infix>B" with whole numbers A and B after the prefix.
std::optional<ProgressCounter> Pair(std::string_view text, std::string_view prefix,
                                    std::string_view infix, bool valueFirst) {
  if (!text.starts_with(prefix)) return std::nullopt;
  text.remove_prefix(prefix.size());
  const size_t at = text.find(infix);
  if (at == std::string_view::npos) return std::nullopt;
  auto first = WholeNumber(text.substr(0, at));
  auto second = WholeNumber(text.substr(at + infix.size()));
  if (!first || !second) return std::nullopt;
  ProgressCounter c{valueFirst ? *first : *second, valueFirst ? *second : *first, !valueFirst};
  if (c.maximum <= 0 || c.value < 0) return std::nullopt;
  if (c.value > c.maximum) c.value = c.maximum;
  return c;
}

}  // namespace

std::optional<ProgressCounter> CurrentCounter(const std::string& progressText,
                                              const std::string& multiCaption, bool multiVisible) {
  if (auto audio = Pair(progressText, "Extracting ", " seconds of Audio :", false)) return audio;
  if (multiVisible) return Pair(multiCaption, "", " of ", true);
  return std::nullopt;
}

}  // namespace parvela
