// MP4Box: MP4 files from raw H.264 and AAC, with the frame rate and pixel aspect asked for,
// and the raw video of an AVI. Raw H.264 carries no timestamps and ffmpeg cannot derive them
// from the picture order: the pictures' times are worked out here and the video is fed to
// ffmpeg through a pipe; a stream whose order this does not follow is wrapped by mkvmerge
// first. A new file of timed H.264 with square pixels and ADTS AAC, the film's usual form, is
// written here without ffmpeg, in one pass with its index in front. The result is built in a temporary file and only then takes the output's name, so a
// failed import leaves no output file and an existing output as it was.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <optional>
#include <nlohmann/json.hpp>

#include "h264_feed.h"
#include "mp4_layout.h"
#include "streams/h264_sps.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "MP4Box";

struct Rational {
  long num = 0, den = 1;
  std::string Text() const { return std::to_string(num) + "/" + std::to_string(den); }
};

// "24000/1001", "25", "25.000"; the NTSC rates written as decimals mean what MP4Box takes them for.
std::optional<Rational> ParseRate(const std::string& text) {
  if (text == "23.976" || text == "23.98") return Rational{24000, 1001};
  if (text == "29.97" || text == "29.970") return Rational{30000, 1001};
  if (text == "59.94" || text == "59.940") return Rational{60000, 1001};
  Rational r;
  size_t slash = text.find('/');
  size_t point = text.find('.');
  try {
    if (slash != std::string::npos) {
      r = {std::stol(text.substr(0, slash)), std::stol(text.substr(slash + 1))};
    } else if (point != std::string::npos) {
      std::string decimals = text.substr(point + 1);
      if (decimals.size() > 9) return std::nullopt;
      for (size_t i = 0; i < decimals.size(); ++i) r.den *= 10;
      r.num = std::stol(text.substr(0, point)) * r.den + (decimals.empty() ? 0 : std::stol(decimals));
    } else {
      r.num = std::stol(text);
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (r.num <= 0 || r.den <= 0) return std::nullopt;
  long g = std::gcd(r.num, r.den);
  return Rational{r.num / g, r.den / g};
}

// One -add input: "movie.h264:fps=24000/1001:par=1920:1440".
struct AddInput {
  std::string path;
  std::optional<Rational> fps;
  std::optional<Rational> par;  // horizontal : vertical pixel spacing
  bool raw = false;             // raw H.264, without timestamps
  long delayMs = 0;             // the track starts this late (an empty edit before it)
};

bool IsRawH264(const std::string& path) {
  for (const char* ext : {".h264", ".264", ".h26l", ".26l", ".avc", ".jsv"}) {
    if (EndsWithNoCase(path, ext)) return true;
  }
  return false;
}

// The path ends where the first ":fps=", ":par=" or ":delay=" begins (a Linux path may hold colons).
std::string SplitOptions(const std::string& argument, std::string& options) {
  if (IsFile(argument)) return argument;
  size_t cut = std::string::npos;
  for (const char* key : {":fps=", ":par=", ":delay="}) cut = std::min(cut, argument.find(key));
  options = cut == std::string::npos ? "" : argument.substr(cut + 1);
  return argument.substr(0, cut);
}

int ParseAddInput(const std::string& argument, AddInput& in) {
  std::string options;
  in.path = SplitOptions(argument, options);
  in.raw = IsRawH264(in.path);
  // "fps=25:par=4:3" -> fps=25, par=4:3: a piece without '=' continues the one before.
  std::vector<std::string> pieces;
  size_t start = 0;
  while (!options.empty() && start <= options.size()) {
    size_t colon = std::min(options.find(':', start), options.size());
    std::string piece = options.substr(start, colon - start);
    if (piece.find('=') == std::string::npos && !pieces.empty()) {
      pieces.back() += ":" + piece;
    } else {
      pieces.push_back(piece);
    }
    start = colon + 1;
  }
  for (const auto& piece : pieces) {
    if (StartsWith(piece, "fps=")) {
      in.fps = ParseRate(piece.substr(4));
      if (!in.fps) return Fail(kRole, "bad frame rate in " + argument);
    } else if (StartsWith(piece, "par=")) {
      std::string value = piece.substr(4);
      size_t colon = value.find(':');
      in.par = colon == std::string::npos ? std::nullopt : ParseRate(value.substr(0, colon) + "/" + value.substr(colon + 1));
      if (!in.par) return Fail(kRole, "bad pixel aspect ratio in " + argument);
    } else if (StartsWith(piece, "delay=")) {
      // Whole milliseconds; a negative delay (cutting the track's start) is not supported.
      const std::string ms = piece.substr(6);
      if (ms.empty() || ms.size() > 9 || ms.find_first_not_of("0123456789") != std::string::npos) {
        return Fail(kRole, "bad delay in " + argument);
      }
      in.delayMs = std::stol(ms);
    } else {
      return Fail(kRole, "unsupported import option " + piece);
    }
  }
  return 0;
}

struct Request {
  std::vector<AddInput> inputs;
  std::optional<Rational> fps;
  std::string output, tmpFolder, aviType, aviFile;
  bool replace = false;
};

int ParseArgs(const Args& args, Request& r) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool more = i + 1 < args.size();
    if (a == "-add" && more) {
      AddInput in;
      if (int bad = ParseAddInput(args[++i], in)) return bad;
      r.inputs.push_back(in);
    } else if (a == "-fps" && more) {
      r.fps = ParseRate(args[++i]);
      if (!r.fps) return Fail(kRole, "bad frame rate " + args[i]);
    } else if (a == "-tmp" && more) {
      r.tmpFolder = args[++i];
    } else if (a == "-aviraw" && i + 2 < args.size()) {
      r.aviType = args[++i];
      r.aviFile = args[++i];
    } else if (a == "-new") {
      r.replace = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(kRole, "unsupported option " + a);
    } else {
      r.output = a;
    }
  }
  for (auto& in : r.inputs) {
    if (in.raw && !in.fps) in.fps = r.fps ? r.fps : Rational{25, 1};
  }
  return 0;
}

// Removes a temporary file when it goes out of scope, unless it was moved into place.
struct TempFile {
  std::string path;
  ~TempFile() {
    if (!path.empty()) std::remove(path.c_str());
  }
};

std::string TempFolder(const Request& r) {
  if (!r.tmpFolder.empty() && IsFolder(r.tmpFolder) && access(r.tmpFolder.c_str(), W_OK) == 0) return r.tmpFolder;
  return FolderOf(r.output);
}

// The display size that gives the stream's pixels the aspect asked for, in whole numbers.
std::optional<std::string> DisplayDimensions(const std::string& rawPath, const Rational& par) {
  std::optional<Sps> sps = SpsFromByteStream(ReadHead(rawPath, 1 << 20));
  if (!sps || sps->Width() == 0 || sps->Height() == 0) return std::nullopt;
  long w = static_cast<long>(sps->Width()) * par.num;
  long h = static_cast<long>(sps->Height()) * par.den;
  long g = std::gcd(w, h);
  return std::to_string(w / g) + "x" + std::to_string(h / g);
}

// Wraps every raw H.264 input, in order, into one Matroska file with real timestamps.
int WrapRawInputs(const Request& r, const std::string& mkvPath) {
  // Microsecond timestamps, so that 1001/24000 s frames come out exact at the MP4's timescale.
  Args argv = {"mkvmerge", "-q", "-o", mkvPath, "--timestamp-scale", "1000"};
  for (const auto& in : r.inputs) {
    if (!in.raw) continue;
    // An H.264 name is imported as H.264 or not at all, whatever else the file may hold.
    if (!SpsFromByteStream(ReadHead(in.path, 1 << 20))) {
      return Fail(kRole, "no H.264 sequence parameter set in " + in.path, kUsageError);
    }
    argv.push_back("--default-duration");
    argv.push_back("0:" + in.fps->Text() + "p");
    if (in.par) {
      std::optional<std::string> display = DisplayDimensions(in.path, *in.par);
      if (!display) return Fail(kRole, "no H.264 sequence parameter set in " + in.path);
      argv.push_back("--display-dimensions");
      argv.push_back("0:" + *display);
    }
    if (in.delayMs > 0) {
      argv.push_back("--sync");
      argv.push_back("0:" + std::to_string(in.delayMs));
    }
    argv.push_back(in.path);
  }
  int code = RunProgram(kRole, argv);
  // mkvmerge exits 1 for warnings, with its output written.
  if (code >= 2 || !IsFile(mkvPath)) return Fail(kRole, "cannot import the H.264 input", code ? code : kUsageError);
  return 0;
}

int CountVideoStreams(const std::string& path) {
  nlohmann::json info;
  int code = 0;
  if (!IdentifyFile(kRole, path, info, code)) return 0;
  int count = 0;
  for (const auto& track : info.value("tracks", nlohmann::json::array())) count += track.value("type", "") == "video";
  return count;
}

bool IsAudioOnly(const std::string& path) {
  for (const char* ext : {".aac", ".ac3", ".mp3", ".m4a", ".wav", ".dts", ".mp2"}) {
    if (EndsWithNoCase(path, ext)) return true;
  }
  return false;
}

// ffmpeg's input option that starts an input's streams `ms` late; nothing for no delay.
Args StartOffset(long ms) {
  if (ms <= 0) return {};
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%ld.%03ld", ms / 1000, ms % 1000);
  return {"-itsoffset", seconds};
}

struct MuxPlan {
  Args inputs, maps, streamOptions;
  int videoStreams = 0;  // video streams mapped so far, to address the next one
};

void MapRaw(const AddInput& in, int mkvIndex, int rawIndex, MuxPlan& plan) {
  plan.maps.insert(plan.maps.end(), {"-map", std::to_string(mkvIndex) + ":" + std::to_string(rawIndex)});
  if (in.par) {
    // The aspect goes into the stream's own header too, where the consoles look for it.
    plan.streamOptions.push_back("-bsf:v:" + std::to_string(plan.videoStreams));
    plan.streamOptions.push_back("h264_metadata=sample_aspect_ratio=" + std::to_string(in.par->num) + "/" +
                                 std::to_string(in.par->den));
  }
  ++plan.videoStreams;
}

// Inputs: the existing output, the other files, then the wrapped raw streams; tracks in the
// order of the -add options, after those the existing output already has.
MuxPlan PlanMux(const Request& r, bool keepExisting, const Args& videoInput) {
  MuxPlan plan;
  bool anyPar = false;
  int nonRaw = 0;
  for (const auto& in : r.inputs) {
    anyPar = anyPar || in.par.has_value();
    nonRaw += in.raw ? 0 : 1;
  }
  int nextInput = 0;
  auto mapWhole = [&](const std::string& path, long delayMs) {
    const Args offset = StartOffset(delayMs);
    plan.inputs.insert(plan.inputs.end(), offset.begin(), offset.end());
    plan.inputs.insert(plan.inputs.end(), {"-i", path});
    plan.maps.insert(plan.maps.end(), {"-map", std::to_string(nextInput++)});
    if (anyPar && !IsAudioOnly(path)) plan.videoStreams += CountVideoStreams(path);
  };
  if (keepExisting) mapWhole(r.output, 0);
  int mkvIndex = (keepExisting ? 1 : 0) + nonRaw;
  int rawIndex = 0;
  for (const auto& in : r.inputs) {
    if (in.raw) {
      MapRaw(in, mkvIndex, rawIndex++, plan);
    } else {
      mapWhole(in.path, in.delayMs);
    }
  }
  if (rawIndex > 0) plan.inputs.insert(plan.inputs.end(), videoInput.begin(), videoInput.end());
  return plan;
}

// Temporary files are named after the output, in the folder given with -tmp.
std::string TempPath(const Request& r, const char* suffix) {
  std::string folder = TempFolder(r);
  if (folder.back() != '/') folder += '/';
  std::string name = r.output.substr(r.output.rfind('/') == std::string::npos ? 0 : r.output.rfind('/') + 1);
  return folder + name + suffix;
}

// The one raw input, timed here for ffmpeg to read from a pipe; false: wrap it instead.
bool TimeRawInput(const Request& r, PipedVideo& v) {
  const AddInput* raw = nullptr;
  for (const auto& in : r.inputs) {
    if (!in.raw) continue;
    if (raw) return false;
    raw = &in;
  }
  if (!raw) return false;
  return v.Open(kRole, raw->path, {raw->fps->num, raw->fps->den},
                raw->par ? std::pair{raw->par->num, raw->par->den} : std::pair{1L, 1L});
}

// Room for the index at the front when every input's samples can be counted; otherwise
// nothing, and ffmpeg moves the index to the front after writing the film.
std::optional<uint64_t> FrontIndexRoom(const Request& r, bool keepExisting, bool usePipe, const PipedVideo& piped) {
  if (keepExisting || !usePipe) return std::nullopt;
  std::vector<TrackCounts> tracks;
  for (const auto& in : r.inputs) {
    std::optional<TrackCounts> counts = in.raw ? piped.Counts() : AdtsCounts(in.path);
    if (!counts) return std::nullopt;
    tracks.push_back(*counts);
  }
  return IndexRoom(tracks);
}

Args MuxLine(const Request& r, const MuxPlan& plan, std::optional<uint64_t> indexRoom, const std::string& target) {
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
  argv.insert(argv.end(), plan.inputs.begin(), plan.inputs.end());
  argv.insert(argv.end(), plan.maps.begin(), plan.maps.end());
  argv.insert(argv.end(), {"-c", "copy"});
  argv.insert(argv.end(), plan.streamOptions.begin(), plan.streamOptions.end());
  for (const auto& in : r.inputs) {
    if (!in.raw) continue;
    long timescale = in.fps->den > 1 ? in.fps->num : in.fps->num * 1000;
    argv.insert(argv.end(), {"-video_track_timescale", std::to_string(timescale)});
    break;
  }
  if (indexRoom) {
    argv.insert(argv.end(), {"-moov_size", std::to_string(*indexRoom)});
  } else {
    argv.insert(argv.end(), {"-movflags", "+faststart"});
  }
  argv.insert(argv.end(), {"-f", "mp4", target});
  return argv;
}

// The timed raw input read from the pipe, started as late as its -add path asks.
Args PipeInput(const Request& r) {
  Args input;
  for (const auto& in : r.inputs) {
    if (in.raw) input = StartOffset(in.delayMs);
  }
  input.insert(input.end(), {"-f", "matroska", "-i", "pipe:0"});
  return input;
}

// The finished file takes the output's name, once it is whole.
int PutInPlace(const Request& r, TempFile& mp4) {
  if (!Mp4IsComplete(mp4.path)) return Fail(kRole, "cannot build " + r.output + ": the file was not written whole");
  if (!MoveFile(mp4.path, r.output)) return Fail(kRole, "cannot write " + r.output);
  mp4.path.clear();
  return 0;
}

// MP4Box's own progress line, redrawn in place: "ISO File Writing: |=====     | (50/100)".
void ShowWriting(double share) {
  static int shown = -1;
  const int percent = static_cast<int>(share * 100);
  if (percent == shown) return;
  shown = percent;
  std::string bar(20, ' ');
  std::fill(bar.begin(), bar.begin() + percent / 5, '=');
  std::cerr << "ISO File Writing: |" << bar << "| (" << percent << "/100)\r" << std::flush;
}

// The tracks of a new file in the order of the -add options; false when one is not the timed
// raw video or ADTS AAC, which ffmpeg then muxes.
bool OwnTracks(const Request& r, PipedVideo& piped, std::deque<MappedFile>& audio, std::vector<Mp4Track>& tracks) {
  for (const auto& in : r.inputs) {
    Mp4Track track;
    if (in.raw) {
      if (!piped.Track(track)) return false;
    } else {
      if (!EndsWithNoCase(in.path, ".aac") || !audio.emplace_back().Open(in.path)) return false;
      if (!AdtsTrack(audio.back().bytes(), static_cast<uint32_t>(tracks.size() + 1), track)) return false;
    }
    track.delayMs = static_cast<uint32_t>(in.delayMs);
    tracks.push_back(std::move(track));
  }
  return true;
}

// 0 when written, -1 when the inputs are not for this writer, else the failure's code.
int WriteOwnMp4(const Request& r, PipedVideo& piped, const std::string& part) {
  std::deque<MappedFile> audio;
  std::vector<Mp4Track> tracks;
  if (!OwnTracks(r, piped, audio, tracks)) return -1;
  int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(kRole, "cannot write " + part + ": " + std::strerror(errno));
  bool whole = WriteMp4(fd, tracks, ShowWriting);
  const int error = errno;
  whole = close(fd) == 0 && whole;
  std::cerr << std::endl;
  if (!whole) return Fail(kRole, "cannot write " + r.output + ": " + std::strerror(error ? error : errno));
  return 0;
}

int Mux(const Request& r) {
  bool anyRaw = false;
  for (const auto& in : r.inputs) anyRaw = anyRaw || in.raw;
  TempFile mkv, mp4;
  PipedVideo piped;
  bool usePipe = anyRaw && TimeRawInput(r, piped);
  if (anyRaw && !usePipe) {
    mkv.path = TempPath(r, ".video.mkv");
    if (int failed = WrapRawInputs(r, mkv.path)) return failed;
  }
  mp4.path = TempPath(r, ".part");
  bool keepExisting = !r.replace && IsFile(r.output);
  if (usePipe && !keepExisting) {
    if (int code = WriteOwnMp4(r, piped, mp4.path); code >= 0) return code ? code : PutInPlace(r, mp4);
  }
  MuxPlan plan = PlanMux(r, keepExisting, usePipe ? PipeInput(r) : Args{"-i", mkv.path});
  std::optional<uint64_t> room = FrontIndexRoom(r, keepExisting, usePipe, piped);
  int code = 0;
  for (bool again = true; again;) {
    Args argv = MuxLine(r, plan, room, mp4.path);
    code = usePipe ? piped.Run(kRole, argv) : RunProgram(kRole, argv);
    // Counted room is never too small; should it be all the same, the index goes after the film.
    again = code != 0 && room.has_value();
    if (again) std::cerr << kRole << ": the index did not fit the room kept for it; moving it to the front" << std::endl;
    room.reset();
  }
  if (code != 0) return Fail(kRole, "cannot build " + r.output, code);
  return PutInPlace(r, mp4);
}

// The codec of an AVI's video stream: the compression field of its stream format.
std::string AviVideoFourCc(const std::string& path) {
  std::string head = ReadHead(path, 1 << 20);
  for (size_t at = head.find("strh"); at != std::string::npos; at = head.find("strh", at + 4)) {
    if (head.compare(at + 8, 4, "vids") != 0) continue;
    size_t format = head.find("strf", at);
    if (format == std::string::npos || format + 28 > head.size()) return {};
    return head.substr(format + 24, 4);
  }
  return {};
}

// -aviraw video "movie.avi" -> movie_video.h264 (or .vc1, .cmp, .m2v) beside it.
int AviRaw(const Request& r) {
  if (ToLower(r.aviType) != "video") return Fail(kRole, "-aviraw " + r.aviType + " is not supported");
  if (!IsFile(r.aviFile)) return FailMissing(kRole, r.aviFile);
  std::string fourcc = ToLower(AviVideoFourCc(r.aviFile));
  std::string ext, muxer;
  if (fourcc == "h264" || fourcc == "x264" || fourcc == "avc1" || fourcc == "davc" || fourcc == "vssh") {
    ext = "h264", muxer = "h264";
  } else if (fourcc == "wvc1") {
    ext = "vc1", muxer = "vc1";
  } else if (fourcc == "xvid" || fourcc == "divx" || fourcc == "dx50" || fourcc == "fmp4" || fourcc == "mp4v") {
    ext = "cmp", muxer = "m4v";
  } else if (fourcc == "mpg2" || fourcc == "mpeg") {
    ext = "m2v", muxer = "mpeg2video";
  } else {
    return Fail(kRole, "no raw form known for the video of " + r.aviFile + " (FourCC \"" + fourcc + "\")");
  }
  std::string stem = r.aviFile;
  size_t dot = stem.rfind('.');
  if (dot != std::string::npos && stem.find('/', dot) == std::string::npos) stem.resize(dot);
  TempFile raw{stem + "_video." + ext};
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", r.aviFile, "-map", "0:v:0",
               "-c:v", "copy"};
  // An AVI keeps VC-1's sequence header in the stream format, not in the frames; a raw stream
  // without it cannot be decoded, so it goes in front of every key frame.
  if (muxer == "vc1") argv.insert(argv.end(), {"-bsf:v", "dump_extra"});
  argv.insert(argv.end(), {"-f", muxer, raw.path});
  int code = RunProgram(kRole, argv);
  if (code != 0) return Fail(kRole, "cannot take the video out of " + r.aviFile, code);
  raw.path.clear();
  return 0;
}

}  // namespace

int Mp4BoxMain(const Args& args) {
  Request r;
  if (int bad = ParseArgs(args, r)) return bad;
  if (!r.aviFile.empty()) return AviRaw(r);
  if (r.output.empty()) return Fail(kRole, "no output file given");
  if (r.inputs.empty()) return Fail(kRole, "nothing to add (-add <file>)");
  for (const auto& in : r.inputs) {
    if (!IsFile(in.path)) return FailMissing(kRole, in.path);
  }
  return Mux(r);
}

}  // namespace parvela::toolkit
