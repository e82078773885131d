#include "role_files.h"

#include <cstdlib>

#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr uint64_t kMiB = 1024 * 1024;
// A piece larger than 16 TiB is no limit any file system of a console would honour.
constexpr uint64_t kMaxPieceMiB = uint64_t{1} << 24;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Calls `use` with each line, without its line break (LF or CR LF).
template <typename Use>
bool ForEachLine(std::string_view text, Use use) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!use(line)) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

// Fields are separated by commas outside double quotes; the quotes are dropped.
std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (auto& f : fields) f = std::string(Trimmed(f));
  return fields;
}

std::string_view FirstWord(std::string_view& line) {
  line = Trimmed(line);
  size_t end = line.find_first_of(" \t");
  std::string_view word = line.substr(0, end);
  line = end == std::string_view::npos ? std::string_view() : Trimmed(line.substr(end));
  return word;
}

// A whole number of digits only, at most `limit`; 0 when it is not one.
uint64_t Number(std::string_view text, uint64_t limit) {
  if (text.empty() || text.size() > 20) return 0;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > limit) return 0;
  }
  return value;
}

bool ParseScriptLine(std::string_view line, MuxScript& s, std::string& error) {
  const std::string_view whole = line;
  const std::string command = ToLower(FirstWord(line));
  if (command.empty() || command[0] == '#') return true;
  if (command == "clear") {
    s = MuxScript{};
  } else if (command == "load") {
    s.files.emplace_back(line);
  } else if (command == "add") {
    const std::string kind = ToLower(FirstWord(line));
    const size_t number = Number(Trimmed(line), s.files.size());
    if ((kind != "video" && kind != "audio") || number == 0) {
      error = "ADD wants VIDEO or AUDIO and the number of a loaded file: " + std::string(whole);
      return false;
    }
    (kind == "video" ? s.video : s.audio) = number;
  } else if (command == "maxfilesize") {
    if (ToLower(line) == "off") {
      s.maxBytes = 0;
    } else if (uint64_t mib = Number(line, kMaxPieceMiB)) {
      s.maxBytes = mib * kMiB;
    } else {
      error = "MAXFILESIZE wants a number of MiB from 1 to " + std::to_string(kMaxPieceMiB) +
              " or OFF: " + std::string(whole);
      return false;
    }
  } else if (command == "start") {
    s.output = std::string(line);
  } else {
    error = "unknown command: " + std::string(whole);
    return false;
  }
  return true;
}

}  // namespace

bool ParseMeta(std::string_view text, std::vector<MetaTrack>& tracks, std::string& error) {
  const bool read = ForEachLine(text, [&](std::string_view raw) {
    const std::string_view line = Trimmed(raw);
    if (line.empty() || line[0] == '#' || StartsWith(line, "MUXOPT")) return true;
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 2 || fields[1].empty()) {
      error = "bad track line: " + std::string(line);
      return false;
    }
    MetaTrack track{fields[0], fields[1], ""};
    for (size_t i = 2; i < fields.size(); ++i) {
      if (StartsWith(fields[i], "fps=")) track.fps = fields[i].substr(4);
    }
    if (track.codec != "V_MPEG4/ISO/AVC" && track.codec != "A_AC3") {
      error = "unsupported codec " + track.codec + " (V_MPEG4/ISO/AVC and A_AC3 are)";
      return false;
    }
    tracks.push_back(std::move(track));
    return true;
  });
  if (read && tracks.empty()) error = "the meta file names no track";
  return read && !tracks.empty();
}

std::string RateFraction(const std::string& fps) {
  if (fps == "23.976" || fps == "23.98") return "24000/1001";
  if (fps == "29.97" || fps == "29.970") return "30000/1001";
  if (fps == "59.94" || fps == "59.940") return "60000/1001";
  char* end = nullptr;
  const double value = std::strtod(fps.c_str(), &end);
  // Written so that "nan" fails too.
  if (fps.empty() || *end != '\0' || !(value > 0 && value <= 1000)) return {};
  return std::to_string(static_cast<long>(value * 1000 + 0.5)) + "/1000";
}

IniPaths ParseH264InfoIni(std::string_view text) {
  IniPaths paths;
  std::string section;
  // Ini readers drop the quotes around a value.
  auto value = [](std::string_view v) {
    v = Trimmed(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
  };
  ForEachLine(text, [&](std::string_view raw) {
    const std::string_view line = Trimmed(raw);
    if (!line.empty() && line.front() == '[') {
      section = ToLower(line);
      return true;
    }
    const size_t eq = line.find('=');
    if (section != "[paths]" || eq == std::string_view::npos) return true;
    const std::string key = ToLower(Trimmed(line.substr(0, eq)));
    if (key == "inputpath") paths.input = value(line.substr(eq + 1));
    if (key == "outputpath") paths.output = value(line.substr(eq + 1));
    return true;
  });
  return paths;
}

bool ParseMuxScript(std::string_view text, MuxScript& script, std::string& error) {
  if (!ForEachLine(text, [&](std::string_view line) { return ParseScriptLine(line, script, error); })) return false;
  if (script.output.empty()) error = "the script has no START line";
  return error.empty();
}

}  // namespace parvela::toolkit
