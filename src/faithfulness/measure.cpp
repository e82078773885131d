// Measuring lengths with ffprobe through the process seam. A source's declared duration may
// lie by hours (a file cut off mid-write keeps its header), and a web clip's audio timestamps
// may span less than the sound it holds: so the source is read packet by packet, demuxed and
// never decoded, in one pass. An output's lengths are what its muxer wrote into its index.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>
#include <string_view>

#include <nlohmann/json.hpp>

#include "app/application.h"
#include "faithfulness/faithfulness.h"
#include "fsutil/fsutil.h"
#include "process/process.h"

namespace parvela::faithfulness {

namespace {

using nlohmann::json;

// A number as ffprobe writes it ("12.345000"), whatever the locale; none for "N/A" or nothing.
std::optional<double> Seconds(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ProbeLine(const std::string& ffprobe, const std::string& report, const std::string& what,
                      const std::string& path) {
  // "file:" keeps a name that looks like an option or a protocol a file.
  return Quoted(ffprobe) + " -v error " + what + " -o " + Quoted(report) + " " + Quoted("file:" + path);
}

// A report's text, taken: none when the probe wrote none.
std::optional<std::string> TakeReport(const std::string& report) {
  if (!FileIsPresent(report)) return std::nullopt;
  std::string text = ReadWhole(report);
  DeleteFile(report);
  return text;
}

// Runs ffprobe with `what` on `path`; its report's text, or none when it wrote none.
std::optional<std::string> Probe(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                                 const std::string& what, const std::string& path) {
  DeleteFile(report);  // a leftover report must not pass for this file's
  runner.RunAndWait(ProbeLine(ffprobe, report, what, path));
  return TakeReport(report);
}

// Lines "packet,INDEX,PTS,DURATION,SIZE" and "stream,INDEX,CODEC,TYPE[,RATE,CHANNELS,BITS],COVER"
// (the audio fields for audio streams only), in one pass over the file.
constexpr const char* kSourceEntries =
    "-show_entries stream=index,codec_name,codec_type,sample_rate,channels,bits_per_sample:"
    "stream_disposition=attached_pic:packet=stream_index,pts_time,duration_time,size -of csv=p=1";

std::string FfprobePath(const Application& app) { return app.appFolder + kSep + "FFMpeg" + kSep + "ffprobe.exe"; }

bool TakeSourceReport(const std::string& report, const Request& request, Lengths& lengths);

// A report of tens of thousands of lines is split in place, without a copy of each field.
void Fields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  for (size_t at = 0;;) {
    const size_t comma = line.find(',', at);
    fields.push_back(line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
    if (comma == std::string_view::npos) return;
    at = comma + 1;
  }
}

double Number(std::string_view text) { return Seconds(text).value_or(0); }

// One stream's packets. The sound is the sum of their durations: a packet without one (TrueHD's,
// often the last of a stream) lasts until the next starts, or as long as the one before it when
// none follows. The picture is the longer of its frames' durations and its timestamps' span: a
// web clip's timestamps may be squeezed while its frames keep their rate, and a variable-rate
// recording's frames may carry a nominal duration while its timestamps are true. (Frames come
// in decode order, so their timestamps' gaps say nothing.)
struct PacketTally {
  double stated = 0;  // the durations the packets carry
  double filled = 0;  // the same with the gaps of those that carry none
  double last = 0, first = 0, end = 0;
  double bytes = 0;  // PCM's length is its size: Matroska rounds its blocks' timestamps
  bool any = false;
  std::optional<double> open;  // the start of a packet without a duration, still to be closed
  void Add(const std::optional<double>& pts, const std::optional<double>& duration) {
    if (open && pts && *pts > *open) last = *pts - *open;
    if (open) filled += last;
    open.reset();
    if (duration) {
      last = *duration;
      stated += last;
      filled += last;
    } else if (pts) {
      open = pts;
    } else {
      filled += last;
    }
    if (!pts) return;
    if (!any || *pts < first) first = *pts;
    if (!any || *pts + duration.value_or(0) > end) end = *pts + duration.value_or(0);
    any = true;
  }
  double Sound() const { return filled + (open ? last : 0); }
  std::optional<double> Picture() const {
    if (!any) return stated > 0 ? std::optional<double>(stated) : std::nullopt;
    return std::max(end - first, stated);
  }
};

}  // namespace

bool MeasureSource(ProcessRunner& runner, const std::string& ffprobe, const std::string& report,
                   const Request& request, Lengths& lengths) {
  lengths = Lengths();
  DeleteFile(report);  // a leftover report must not pass for this file's
  runner.RunAndWait(ProbeLine(ffprobe, report, kSourceEntries, request.source));
  return TakeSourceReport(report, request, lengths);
}

namespace {

// Read line by line as ffprobe wrote it: a two-hour film's report (some 15 MB) never sits in memory.
bool TakeSourceReport(const std::string& report, const Request& request, Lengths& lengths) {
  std::ifstream in(report, std::ios::binary);
  if (!in) return false;
  std::map<int, PacketTally> tallies;
  std::vector<std::string_view> f;
  std::string text;
  int picture = -1, sound = -1, audioSeen = 0;
  double pcmBytesPerSecond = 0;
  while (std::getline(in, text)) {
    std::string_view line(text);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Fields(line, f);
    if (f.size() < 3) continue;
    int index = 0;
    std::from_chars(f[1].data(), f[1].data() + f[1].size(), index);
    if (f[0] == "packet") {
      PacketTally& tally = tallies[index];
      tally.Add(Seconds(f[2]), f.size() > 3 ? Seconds(f[3]) : std::nullopt);
      if (f.size() > 4) tally.bytes += Number(f[4]);
      continue;
    }
    if (f[0] != "stream" || f.size() < 5) continue;
    const std::string_view codec = f[2], type = f[3];
    if (type == "video" && picture < 0 && f.back() != "1") {
      picture = index;
    } else if (type == "audio" && audioSeen++ == request.audioStream) {
      sound = index;
      if (codec.starts_with("pcm_") && f.size() >= 8) pcmBytesPerSecond = Number(f[4]) * Number(f[5]) * Number(f[6]) / 8;
    }
  }
  in.close();
  DeleteFile(report);
  lengths = Lengths();
  if (picture >= 0) lengths.picture = tallies[picture].Picture();
  if (sound >= 0 && tallies[sound].any) {
    lengths.sound = pcmBytesPerSecond > 0 ? tallies[sound].bytes / pcmBytesPerSecond : tallies[sound].Sound();
  }
  return true;
}

}  // namespace

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

std::string MeasureSourceBeside(Application& app, const std::string& source) {
  const std::string ffprobe = FfprobePath(app);
  if (!FileIsPresent(ffprobe)) return {};
  const std::string report = app.stateFolder + kSep + "source-lengths.txt";
  DeleteFile(report);
  app.runner.StartBeside(ProbeLine(ffprobe, report, kSourceEntries, source));
  return report;
}

std::string CheckOutput(Application& app, const Request& request, const std::string& output) {
  // A report of the source measured beside is taken, whatever comes of the check.
  Lengths source, made;
  const bool measured = !request.sourceReport.empty() && TakeSourceReport(request.sourceReport, request, source);
  const std::string ffprobe = FfprobePath(app);
  if (!FileIsPresent(ffprobe)) return {};
  const std::string report = app.stateFolder + kSep + "lengths.txt";
  if (!MeasureOutput(app.runner, ffprobe, report, output, made)) return {};
  if (request.wholeFilm) {
    const bool read = request.sourceReport.empty() ? MeasureSource(app.runner, ffprobe, report, request, source)
                                                   : measured;
    if (!read) return {};
  }
  return Disagreement(request, source, made);
}

}  // namespace parvela::faithfulness
