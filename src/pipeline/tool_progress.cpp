#include "pipeline/tool_progress.h"

#include <cctype>
#include <charconv>

#include "fsutil/fsutil.h"

namespace parvela {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The number starting at `at` (blanks before it skipped), and where it ends.
std::optional<double> NumberAt(std::string_view text, size_t at, size_t* end = nullptr) {
  while (at < text.size() && text[at] == ' ') ++at;
  double value = 0;
  auto [stop, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;
  if (end) *end = static_cast<size_t>(stop - text.data());
  return value;
}

// The number after `key`, when the line holds the key.
std::optional<double> After(std::string_view line, std::string_view key) {
  const size_t at = line.find(key);
  return at == std::string_view::npos ? std::nullopt : NumberAt(line, at + key.size());
}

// "HH:MM:SS.ss" after `key`, in seconds.
std::optional<double> ClockAfter(std::string_view line, std::string_view key) {
  size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  at += key.size();
  double seconds = 0;
  for (int part = 0; part < 3; ++part) {
    size_t end = 0;
    const std::optional<double> value = NumberAt(line, at, &end);
    if (!value || *value < 0) return std::nullopt;
    seconds = seconds * 60 + *value;
    if (part < 2 && (end >= line.size() || line[end] != ':')) return std::nullopt;
    at = end + 1;
  }
  return seconds;
}

std::optional<double> Share(std::optional<double> percent) {
  if (!percent) return std::nullopt;
  return *percent / 100;
}

}  // namespace

ToolProgressReader::ToolProgressReader(std::string_view program) {
  // Either separator ends the folder: the tools' own names hold neither.
  const size_t slash = program.find_last_of("/\\");
  const std::string name = Lower(std::string(program.substr(slash == std::string_view::npos ? 0 : slash + 1)));
  if (name == "mkvextract.exe" || name == "mkvmerge.exe") kind_ = Kind::Percent;
  if (name == "ffmpeg.exe") kind_ = Kind::Ffmpeg;
  if (name == "mencoder.exe") kind_ = Kind::Mencoder;
  if (name == "mp4box.exe") kind_ = Kind::Mp4Box;
  if (name == "tsmuxer.exe") kind_ = Kind::TsMuxer;
}

std::optional<double> ToolProgressReader::Read(std::string_view line) {
  switch (kind_) {
    case Kind::Percent:
      return line.starts_with("Progress:") ? Share(After(line, "Progress:")) : std::nullopt;
    case Kind::Ffmpeg:
      if (totalSeconds_ <= 0) {
        if (auto total = ClockAfter(line, "Duration:")) totalSeconds_ = *total;
        return std::nullopt;
      }
      if (auto done = ClockAfter(line, "time=")) return *done / totalSeconds_;
      return std::nullopt;
    case Kind::Mencoder:
      // "Pos:  12.3s    296f ( 5%) ...": the share of the source read so far.
      if (!line.starts_with("Pos:")) return std::nullopt;
      return Share(After(line, "f ("));
    case Kind::Mp4Box: {
      const size_t open = line.rfind('(');
      if (open == std::string_view::npos || !line.ends_with("/100)")) return std::nullopt;
      return Share(NumberAt(line, open + 1));
    }
    case Kind::TsMuxer:
      if (!line.ends_with("% complete")) return std::nullopt;
      return Share(NumberAt(line, 0));
    case Kind::Silent:
      break;
  }
  return std::nullopt;
}

}  // namespace parvela
