// mkvinfo: the classic indented report, rebuilt from `mkvmerge -J`. Parvela's report parser
// reads some values at fixed columns, so every property line keeps the classic layout.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "mkvinfo";
using nlohmann::json;

std::string Printf(const char* format, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

// The duration in milliseconds, always 8 characters wide, so that the frame rate after it
// stays at column 34: fewer decimals for long durations, leading blanks for short ones.
std::string DurationField(double ms) {
  for (int decimals = 3; decimals >= 0; --decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*fms", decimals, ms);
    std::string text = buf;
    if (text.size() <= 8) return std::string(8 - text.size(), ' ') + text;
  }
  return Printf("%.0fms", ms);
}

std::string DefaultDurationLine(uint64_t ns, bool video) {
  std::string line = "|  + Default duration: " + DurationField(ns / 1e6);
  if (video) line += " (" + Printf("%.3f", 1e9 / static_cast<double>(ns)) + " fps for a video track)";
  return line;
}

// The FourCC of a track stored in VfW mode: the compression field of its BITMAPINFOHEADER.
std::string FourCcOf(const json& props) {
  std::string hex = props.value("codec_private_data", "");
  if (hex.size() < 40) return {};
  std::string fourcc;
  for (size_t i = 32; i < 40; i += 2) {
    char c = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    fourcc += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  }
  return fourcc;
}

std::string CodecIdLine(const json& props) {
  std::string codecId = props.value("codec_id", "");
  std::string line = "|  + Codec ID: " + codecId;
  if (codecId == "V_MS/VFW/FOURCC") {
    std::string fourcc = FourCcOf(props);
    if (!fourcc.empty()) line += " (FourCC: " + fourcc + ")";
  }
  return line;
}

// "1920x1080" -> {"1920", "1080"}
std::pair<std::string, std::string> Dimensions(const std::string& text) {
  size_t x = text.find('x');
  if (x == std::string::npos) return {"0", "0"};
  return {text.substr(0, x), text.substr(x + 1)};
}

// Display sizes given as an aspect ratio (or in centimetres, inches) are turned into pixels
// at the stored height: Parvela compares the display width with the pixel width.
std::pair<std::string, std::string> DisplayInPixels(const json& props, const std::string& ph) {
  auto [dw, dh] = Dimensions(props.value("display_dimensions", props.value("pixel_dimensions", "")));
  if (props.value("display_unit", 0) == 0) return {dw, dh};
  try {
    if (std::stod(dh) <= 0) return {dw, dh};
    double width = std::stod(ph) * std::stod(dw) / std::stod(dh);
    return {Printf("%.0f", width), ph};
  } catch (const std::exception&) {
    return {dw, dh};
  }
}

void AddVideoLines(const json& props, std::vector<std::string>& lines) {
  auto [pw, ph] = Dimensions(props.value("pixel_dimensions", ""));
  auto [dw, dh] = DisplayInPixels(props, ph);
  lines.push_back("|  + Video track");
  lines.push_back("|   + Pixel width: " + pw);
  lines.push_back("|   + Pixel height: " + ph);
  lines.push_back("|   + Display width: " + dw);
  lines.push_back("|   + Display height: " + dh);
}

void AddAudioLines(const json& props, std::vector<std::string>& lines) {
  lines.push_back("|  + Audio track");
  if (props.contains("audio_sampling_frequency")) {
    lines.push_back("|   + Sampling frequency: " + props["audio_sampling_frequency"].dump());
  }
  if (props.contains("audio_channels")) {
    lines.push_back("|   + Channels: " + props["audio_channels"].dump());
  }
}

void AddTrack(const json& track, std::vector<std::string>& lines) {
  const json& props = track.contains("properties") ? track["properties"] : json::object();
  std::string type = track.value("type", "");
  int64_t id = track.value("id", 0);
  std::string number = props.contains("number") ? props["number"].dump() : std::to_string(id + 1);
  lines.push_back("| + A track");
  lines.push_back("|  + Track number: " + number +
                  " (track ID for mkvmerge & mkvextract: " + std::to_string(id) + ")");
  if (props.contains("uid")) lines.push_back("|  + Track UID: " + props["uid"].dump());
  lines.push_back("|  + Track type: " + type);
  lines.push_back(CodecIdLine(props));
  lines.push_back("|  + Language: " + props.value("language", std::string("und")));
  if (props.contains("default_duration")) {
    lines.push_back(DefaultDurationLine(props["default_duration"].get<uint64_t>(), type == "video"));
  }
  if (type == "video") AddVideoLines(props, lines);
  if (type == "audio") AddAudioLines(props, lines);
}

std::string ClockText(double seconds) {
  auto ms = static_cast<int64_t>(seconds * 1000 + 0.5);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64, ms / 3600000,
                ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return buf;
}

std::vector<std::string> ReportLines(const json& info) {
  std::string type = info.value(json::json_pointer("/container/type"), "");
  std::vector<std::string> lines = {"+ EBML head", "|+ Doc type: " + ToLower(type), "+ Segment",
                                    "|+ Segment information"};
  json::json_pointer durationAt("/container/properties/duration");
  if (info.contains(durationAt)) {
    double seconds = info[durationAt].get<double>() / 1e9;
    lines.push_back("| + Duration: " + Printf("%.3f", seconds) + "s (" + ClockText(seconds) + ")");
  }
  lines.push_back("|+ Segment tracks");
  for (const json& track : info.value("tracks", json::array())) AddTrack(track, lines);
  return lines;
}

bool WriteReport(const std::string& path, const std::vector<std::string>& lines) {
  if (path.empty()) {
    for (const auto& line : lines) std::fputs((line + "\n").c_str(), stdout);
    return true;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& line : lines) out << line << "\r\n";
  return static_cast<bool>(out);
}

}  // namespace

// mkvinfo "<source>" [-o "<report>"]
int MkvinfoMain(const Args& args) {
  std::string source, report;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      report = args[++i];
    } else if (StartsWith(args[i], "-") && args[i].size() > 1) {
      return Fail(kRole, "unknown option " + args[i]);
    } else if (source.empty()) {
      source = args[i];
    }
  }
  if (source.empty()) return Fail(kRole, "no source file given");
  // Like the classic tool, a source it cannot read still yields a report: the error itself.
  if (!IsFile(source)) {
    WriteReport(report, {"Error: Couldn't open source file " + source});
    return FailMissing(kRole, source);
  }
  json info;
  int code = 0;
  if (!IdentifyFile(kRole, source, info, code)) {
    WriteReport(report, {"Error: cannot read " + source});
    return code;
  }
  if (!WriteReport(report, ReportLines(info))) return Fail(kRole, "cannot write the report " + report);
  return 0;
}

}  // namespace parvela::toolkit
