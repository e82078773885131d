// What FFmpeg makes of a source's first seconds: ffprobe (the application folder's, through the
// process seam) lists each stream with the packets it read and the frames it decoded. Inspection
// asks it whether there is a picture at all and whether FFmpeg decodes the video and each audio
// track, since the codec table holds what Parvela knows of a format, not what FFmpeg decodes.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include <nlohmann/json.hpp>

#include "analysis/analysis.h"
#include "analysis/codecs.h"
#include "analysis/source_info.h"
#include "app/application.h"
#include "fsutil/fsutil.h"
#include "process/process.h"

namespace parvela {

namespace {

using nlohmann::json;

// Enough of the film to meet a frame of every stream; of the video only the pictures a decoder
// can start at are decoded, so a large film costs little.
constexpr const char* kProbedSpan = "%+5";

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Text(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// ffprobe writes times as decimal text ("1.980000"); "N/A" and a missing entry are no time.
std::optional<double> Time(const json& object, const char* key) {
  const std::string text = Text(object, key);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return text.empty() || end != text.c_str() + text.size() ? std::nullopt : std::optional<double>(value);
}

int Number(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_number_integer() ? it->get<int>() : 0;
}

void ReadStreams(const json& report, SourceProbe& probe) {
  for (const json& s : report["streams"]) {
    const int index = Number(s, "index");
    if (index < 0 || index > 1000) continue;
    if (probe.streams.size() <= static_cast<size_t>(index)) probe.streams.resize(static_cast<size_t>(index) + 1);
    ProbedStream& stream = probe.streams[static_cast<size_t>(index)];
    stream.type = Text(s, "codec_type");
    stream.codec = Text(s, "codec_name");
    stream.channels = Number(s, "channels");
    stream.start = Time(s, "start_time");
  }
  auto entries = report.find("packets_and_frames");
  if (entries == report.end() || !entries->is_array()) return;
  std::vector<std::optional<double>> first(probe.streams.size());
  for (const json& e : *entries) {
    const int index = Number(e, "stream_index");
    if (index < 0 || static_cast<size_t>(index) >= probe.streams.size()) continue;
    ProbedStream& stream = probe.streams[static_cast<size_t>(index)];
    if (Text(e, "type") == "frame") {
      stream.frames += 1;
      continue;
    }
    stream.packets += 1;
    // The earliest packet: a stream's own start time is missing when it begins late in the file.
    std::optional<double>& earliest = first[static_cast<size_t>(index)];
    if (const std::optional<double> pts = Time(e, "pts_time"); pts && (!earliest || *pts < *earliest)) earliest = pts;
  }
  for (size_t i = 0; i < probe.streams.size(); ++i) {
    if (first[i]) probe.streams[i].start = first[i];
  }
}

}  // namespace

std::string ProbeLine(const std::string& ffprobePath, const std::string& reportPath, const std::string& source) {
  // "file:" keeps a name that looks like an option or a protocol a file.
  return Quoted(ffprobePath) + " -v error -skip_frame nokey -read_intervals " + kProbedSpan +
         " -print_format json -show_entries stream=index,codec_type,codec_name,channels,start_time:"
         "packet=stream_index,pts_time:frame=stream_index -o " +
         Quoted(reportPath) + " " + Quoted("file:" + source);
}

SourceProbe ProbeSource(Application& app, const std::string& source) {
  SourceProbe probe;
  const std::string ffprobe = app.appFolder + kSep + "FFMpeg" + kSep + "ffprobe.exe";
  if (!FileIsPresent(ffprobe)) return probe;  // nothing can be said either way
  probe.ran = true;
  const std::string report = app.stateFolder + kSep + "source_probe.json";
  DeleteFile(report);  // a leftover report must not pass for this source's
  app.runner.RunAndWait(ProbeLine(ffprobe, report, source));
  const json parsed = json::parse(ReadWhole(report), nullptr, false);
  DeleteFile(report);
  if (parsed.is_discarded() || !parsed.contains("streams") || !parsed["streams"].is_array()) return probe;
  ReadStreams(parsed, probe);
  probe.read = !probe.streams.empty();
  return probe;
}

const ProbedStream* SourceProbe::Stream(size_t index, const char* type) const {
  return index < streams.size() && streams[index].type == type ? &streams[index] : nullptr;
}

bool VideoIsConvertible(const SourceInfo& info) {
  return !info.videoKind.empty() || FindNotedVideoCodec(info.videoCodec) || info.ffmpegDecodesVideo;
}

}  // namespace parvela
