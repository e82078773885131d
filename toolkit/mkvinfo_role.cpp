// mkvinfo: the classic indented report of a Matroska file's header. Parvela's report parser
// reads some values at fixed columns, so every property line keeps the classic layout.
#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "matroska_header.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "mkvinfo";

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
std::string FourCcOf(const MatroskaTrack& track) {
  if (track.codecPrivate.size() < 20) return {};
  std::string fourcc = track.codecPrivate.substr(16, 4);
  for (char& c : fourcc) {
    if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
  }
  return fourcc;
}

std::string CodecIdLine(const MatroskaTrack& track) {
  std::string line = "|  + Codec ID: " + track.codecId;
  if (track.codecId == "V_MS/VFW/FOURCC") {
    std::string fourcc = FourCcOf(track);
    if (!fourcc.empty()) line += " (FourCC: " + fourcc + ")";
  }
  return line;
}

// Display sizes given as an aspect ratio (or in centimetres, inches) are turned into pixels
// at the stored height: Parvela compares the display width with the pixel width.
std::pair<uint64_t, uint64_t> DisplayInPixels(const MatroskaTrack& t) {
  uint64_t dw = t.displayWidth ? t.displayWidth : t.pixelWidth;
  uint64_t dh = t.displayHeight ? t.displayHeight : t.pixelHeight;
  if (t.displayUnit == 0 || dh == 0) return {dw, dh};
  // Sizes no real picture has (from a broken header) are capped, not wrapped.
  const double width = static_cast<double>(t.pixelHeight) * static_cast<double>(dw) / static_cast<double>(dh);
  return {static_cast<uint64_t>(std::min(width + 0.5, 1.8e19)), t.pixelHeight};
}

void AddVideoLines(const MatroskaTrack& t, std::vector<std::string>& lines) {
  auto [dw, dh] = DisplayInPixels(t);
  lines.push_back("|  + Video track");
  lines.push_back("|   + Pixel width: " + std::to_string(t.pixelWidth));
  lines.push_back("|   + Pixel height: " + std::to_string(t.pixelHeight));
  lines.push_back("|   + Display width: " + std::to_string(dw));
  lines.push_back("|   + Display height: " + std::to_string(dh));
}

void AddAudioLines(const MatroskaTrack& t, std::vector<std::string>& lines) {
  lines.push_back("|  + Audio track");
  lines.push_back("|   + Sampling frequency: " + Printf("%g", t.samplingFrequency));
  lines.push_back("|   + Channels: " + std::to_string(t.channels));
}

// `ordinal` counts from 0 in file order: the ID today's mkvmerge and mkvextract give the track.
void AddTrack(const MatroskaTrack& t, size_t ordinal, std::vector<std::string>& lines) {
  std::string type = TrackTypeName(t.type);
  lines.push_back("| + A track");
  lines.push_back("|  + Track number: " + std::to_string(t.number) +
                  " (track ID for mkvmerge & mkvextract: " + std::to_string(ordinal) + ")");
  lines.push_back("|  + Track UID: " + std::to_string(t.uid));
  lines.push_back("|  + Track type: " + type);
  lines.push_back(CodecIdLine(t));
  lines.push_back("|  + Language: " + t.language);
  // A name is one line: a line break in it would start a property of its own.
  if (!t.name.empty()) lines.push_back("|  + Name: " + t.name.substr(0, t.name.find_first_of("\r\n")));
  if (t.defaultDuration) lines.push_back(DefaultDurationLine(t.defaultDuration, type == "video"));
  if (type == "video") AddVideoLines(t, lines);
  if (type == "audio") AddAudioLines(t, lines);
}

std::string ClockText(double seconds) {
  // A duration beyond what 64-bit milliseconds hold only comes from a broken file: cap it.
  constexpr double kMaxMs = 9.0e18;
  auto ms = static_cast<int64_t>(std::min(seconds * 1000 + 0.5, kMaxMs));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64, ms / 3600000,
                ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return buf;
}

std::vector<std::string> ReportLines(const MatroskaHeader& header) {
  std::vector<std::string> lines = {"+ EBML head", "|+ Doc type: " + header.docType, "+ Segment",
                                    "|+ Segment information"};
  if (header.durationSeconds >= 0) {
    lines.push_back("| + Duration: " + Printf("%.3f", header.durationSeconds) + "s (" +
                    ClockText(header.durationSeconds) + ")");
  }
  lines.push_back("|+ Segment tracks");
  for (size_t i = 0; i < header.tracks.size(); ++i) AddTrack(header.tracks[i], i, lines);
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
  std::cerr << kRole << ": reading the track headers of " << CommandText({source}) << std::endl;
  MatroskaHeader header;
  std::string error;
  if (!ReadMatroskaHeader(source, header, error)) {
    WriteReport(report, {"Error: " + error});
    return Fail(kRole, error);
  }
  if (!WriteReport(report, ReportLines(header))) return Fail(kRole, "cannot write the report " + report);
  return 0;
}

}  // namespace parvela::toolkit
