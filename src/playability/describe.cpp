// Describing a finished file for the rules: ffprobe (run through the process seam) names the
// container and the streams; the level, the reference frames and the MPEG-4 Visual motion flags
// come from the stream headers ffprobe hands over; an MP4's box order from the file itself.
#include <fstream>
#include <stdexcept>
#include <iterator>

#include <nlohmann/json.hpp>

#include "app/application.h"
#include "fsutil/fsutil.h"
#include "playability/playability.h"
#include "playability/stream_headers.h"
#include "process/process.h"
#include "streams/h264_sps.h"

namespace parvela::playability {

namespace {

using nlohmann::json;

Container ContainerOf(const std::string& formatName) {
  // ffprobe names a format by every demuxer alias: "mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm".
  if (Contains(formatName, "mp4")) return Container::Mp4;
  if (Contains(formatName, "matroska")) return Container::Matroska;
  if (formatName == "mpegts") return Container::TransportStream;
  if (formatName == "mpeg" || formatName == "vob") return Container::ProgramStream;
  if (formatName == "avi") return Container::Avi;
  return Container::Unknown;
}

std::string Text(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int Number(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_number_integer() ? it->get<int>() : 0;
}

// The level, the reference frames and the coded picture size, as the encoder wrote them.
void ReadH264Header(const std::string& extradata, Stream& s) {
  std::optional<Sps> sps = !extradata.empty() && extradata[0] == 1 ? SpsFromAvcC(extradata)
                                                                    : SpsFromByteStream(extradata);
  if (!sps) return;
  s.level = sps->levelIdc;
  s.refFrames = static_cast<int>(sps->maxNumRefFrames);
  s.width = static_cast<int>(sps->Width());
  s.height = static_cast<int>(sps->Height());
  s.interlaced = !sps->frameMbsOnly;
}

// "60000/1001" as a number; 0 for "0/0" or anything else.
double Rate(const std::string& text) {
  const size_t slash = text.find('/');
  try {
    const double num = std::stod(text.substr(0, slash));
    const double den = slash == std::string::npos ? 1 : std::stod(text.substr(slash + 1));
    return den > 0 ? num / den : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

Stream StreamOf(const json& j) {
  Stream s;
  const std::string type = Text(j, "codec_type");
  const bool picture = j.contains("disposition") && Number(j["disposition"], "attached_pic") == 1;
  if (type == "video" && !picture) s.kind = Stream::Kind::Video;
  if (type == "audio") s.kind = Stream::Kind::Audio;
  s.codec = Text(j, "codec_name");
  if (s.codec.rfind("pcm_", 0) == 0) s.codec = "pcm";
  s.profile = Text(j, "profile");
  s.width = Number(j, "width");
  s.height = Number(j, "height");
  s.channels = Number(j, "channels");
  if (s.kind == Stream::Kind::Video) s.fps = Rate(Text(j, "avg_frame_rate"));
  const std::string extradata = BytesFromHexDump(Text(j, "extradata"));
  if (s.codec == "h264") ReadH264Header(extradata, s);
  if (s.codec == "mpeg4") {
    if (auto flags = ReadVolFlags(extradata)) {
      s.gmc = flags->gmc;
      s.qpel = flags->qpel;
    }
  }
  return s;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

bool DescribeFile(ProcessRunner& runner, const std::string& ffprobePath, const std::string& reportPath,
                  const std::string& path, MediaFile& file, std::string& error) {
  if (!FileIsPresent(path)) {
    error = "file not found";
    return false;
  }
  DeleteFile(reportPath);  // a leftover report must not pass for this file's
  // "file:" keeps a name that looks like an option or a protocol ("-x.mp4", "concat:a") a file.
  runner.RunAndWait(Quoted(ffprobePath) + " -v error -print_format json -show_format -show_streams -show_data -o " +
                    Quoted(reportPath) + " " + Quoted("file:" + path));
  const json report = json::parse(ReadWhole(reportPath), nullptr, false);
  DeleteFile(reportPath);
  if (report.is_discarded() || !report.contains("format") || !report.contains("streams")) {
    error = "not a media file ffprobe can read";
    return false;
  }
  file = MediaFile();
  file.formatName = Text(report["format"], "format_name");
  file.container = ContainerOf(file.formatName);
  for (const json& stream : report["streams"]) file.streams.push_back(StreamOf(stream));
  if (file.container == Container::Mp4) file.indexFirst = Mp4IndexFirst(path).value_or(true);
  return true;
}

Verdict CheckFile(Application& app, const std::string& path, const std::string& reportPath) {
  const std::string ffprobe = app.appFolder + kSep + "FFMpeg" + kSep + "ffprobe.exe";
  if (!FileIsPresent(ffprobe)) {
    // Without the reader nothing can be said either way; "none" would be a false verdict.
    Verdict verdict;
    verdict.unknownBecause = "no ffprobe in the application folder";
    return verdict;
  }
  MediaFile file;
  std::string error;
  const std::string report = reportPath.empty() ? app.stateFolder + kSep + "probe.json" : reportPath;
  if (!DescribeFile(app.runner, ffprobe, report, path, file, error)) {
    return Refused(error);
  }
  return Judge(file);
}

}  // namespace parvela::playability

namespace parvela::playability {

const Verdict& VerdictMemo::Of(const std::string& path) {
  auto found = verdicts_.find(path);
  if (found == verdicts_.end()) found = verdicts_.emplace(path, CheckFile(app_, path)).first;
  return found->second;
}

Verdict VerdictMemo::Take(const std::string& path) {
  Verdict verdict = Of(path);
  verdicts_.erase(path);
  return verdict;
}

}  // namespace parvela::playability
