// Measuring lengths with ffprobe through the process seam. A source's declared duration may
// lie by hours (a file cut off mid-write keeps its header), and a web clip's audio timestamps
// may span less than the sound it holds: so the source is read packet by packet (demuxed, not
// decoded), one stream only. An output's lengths are what its muxer wrote into its index.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/application.h"
#include "faithfulness/faithfulness.h"
#include "fsutil/fsutil.h"
#include "process/process.h"

namespace parvela::faithfulness {

namespace {

using nlohmann::json;

std::optional<double> Seconds(const std::string& text) {
  if (text.empty() || text == "N/A") return std::nullopt;
  try {
    size_t used = 0;
    const double value = std::stod(text, &used);
    if (used == 0 || !std::isfinite(value)) return std::nullopt;
    return value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs ffprobe with `what` on `path`; its report's text, or none when it wrote none.
std::optional<std::string> Probe(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                                 const std::string& what, const std::string& path) {
  DeleteFile(report);  // a leftover report must not pass for this file's
  // "file:" keeps a name that looks like an option or a protocol a file.
  runner.RunAndWait(Quoted(ffprobe) + " -v error " + what + " -o " + Quoted(report) + " " + Quoted("file:" + path));
  if (!FileIsPresent(report)) return std::nullopt;
  std::string text = ReadWhole(report);
  DeleteFile(report);
  return text;
}

// "pts_time,duration_time" lines: the sum of the durations (a packet without one lasts as long
// as the one before it) and the span from the first start to the last end.
void AddUpPackets(const std::string& csv, double& sum, std::optional<double>& span) {
  std::istringstream lines(csv);
  std::string line;
  double last = 0, first = 0, end = 0;
  bool any = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t comma = line.find(',');
    const std::optional<double> pts = Seconds(line.substr(0, comma));
    const std::optional<double> duration = comma == std::string::npos ? std::nullopt : Seconds(line.substr(comma + 1));
    if (duration) last = *duration;
    sum += last;
    if (!pts) continue;
    if (!any || *pts < first) first = *pts;
    if (!any || *pts + last > end) end = *pts + last;
    any = true;
  }
  if (any) span = end - first;
}

}  // namespace

bool MeasureSource(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                   const Request& request, Lengths& lengths) {
  lengths = Lengths();
  const bool silent = request.audioStream < 0;
  const std::string stream = silent ? "v:0" : "a:" + std::to_string(request.audioStream);
  const std::optional<std::string> csv =
      Probe(runner, ffprobe, report,
            "-select_streams " + stream + " -show_entries packet=pts_time,duration_time -of csv=p=0", request.source);
  if (!csv) return false;
  double sum = 0;
  std::optional<double> span;
  AddUpPackets(*csv, sum, span);
  if (silent) {
    lengths.picture = span;
  } else if (span) {
    lengths.sound = sum;
  }
  return true;
}

bool MeasureOutput(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                   const std::string& path, Lengths& lengths) {
  lengths = Lengths();
  const std::optional<std::string> text =
      Probe(runner, ffprobe, report, "-print_format json -show_entries stream=codec_type,duration:stream_disposition=attached_pic", path);
  if (!text) return false;
  const json parsed = json::parse(*text, nullptr, false);
  if (parsed.is_discarded() || !parsed.contains("streams")) return false;
  for (const json& s : parsed["streams"]) {
    const std::string type = s.value("codec_type", "");
    const bool cover = s.contains("disposition") && s["disposition"].value("attached_pic", 0) == 1;
    // A stream without a recorded length still counts as there, lasting nothing.
    const double length = Seconds(s.value("duration", "")).value_or(0);
    if (type == "video" && !cover && !lengths.picture) lengths.picture = length;
    if (type == "audio" && !lengths.sound) lengths.sound = length;
  }
  return true;
}

std::string CheckOutput(Application& app, const Request& request, const std::string& output) {
  const std::string ffprobe = app.appFolder + kSep + "FFMpeg" + kSep + "ffprobe.exe";
  if (!FileIsPresent(ffprobe)) return {};
  const std::string report = app.stateFolder + kSep + "lengths.txt";
  Lengths source, made;
  if (!MeasureOutput(app.runner, ffprobe, report, output, made)) return {};
  if (request.wholeFilm && !MeasureSource(app.runner, ffprobe, report, request, source)) return {};
  return Disagreement(request, source, made);
}

}  // namespace parvela::faithfulness
