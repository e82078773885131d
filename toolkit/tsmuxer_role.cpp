// tsMuxeR: a Blu-ray-style M2TS (192-byte packets) from a meta file, one track per line:
//   V_MPEG4/ISO/AVC, "<stream.h264>", fps=23.976
//   A_AC3, "<stream.ac3>"
// Raw H.264 carries no timestamps, so mkvmerge first wraps it at the frame rate given; ffmpeg
// then writes the transport stream with every track copied untouched. As the real muxer does,
// it refuses a track it cannot read and then writes nothing at all.
#include <cstdio>

#include "streams/h264_sps.h"
#include "role_files.h"
#include "drive_paths.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "tsMuxeR";

int ReadMeta(const std::string& path, std::vector<MetaTrack>& tracks) {
  if (!IsFile(path)) return FailMissing(kRole, path);
  std::string error;
  if (!ParseMeta(LinuxPaths(ReadHead(path, kOrderFileLimit)), tracks, error)) return Fail(kRole, path + ": " + error);
  return 0;
}

bool IsAc3(const std::string& path) {
  std::string head = ReadHead(path, 2);
  return head.size() == 2 && head[0] == '\x0B' && head[1] == '\x77';
}

int CheckTrack(const MetaTrack& track) {
  if (!IsFile(track.path)) return FailMissing(kRole, track.path);
  if (track.codec == "A_AC3") {
    return IsAc3(track.path) ? 0 : Fail(kRole, track.path + " holds no AC-3 stream");
  }
  if (!SpsFromByteStream(ReadHead(track.path, 1 << 20))) {
    return Fail(kRole, "no H.264 sequence parameter set in " + track.path);
  }
  if (!track.fps.empty() && RateFraction(track.fps).empty()) return Fail(kRole, "bad frame rate " + track.fps);
  return 0;
}

// Removes a temporary file when it goes out of scope, unless it was moved into place.
struct TempFile {
  std::string path;
  ~TempFile() {
    if (!path.empty()) std::remove(path.c_str());
  }
};

int WrapVideo(const MetaTrack& track, const std::string& mkvPath) {
  // Microsecond timestamps keep 1001/24000 s frames exact.
  Args argv = {"mkvmerge", "-q", "-o", mkvPath, "--timestamp-scale", "1000"};
  if (!track.fps.empty()) argv.insert(argv.end(), {"--default-duration", "0:" + RateFraction(track.fps) + "p"});
  argv.push_back(track.path);
  int code = RunProgram(kRole, argv);
  // mkvmerge exits 1 for warnings, with its output written.
  if (code >= 2 || !IsFile(mkvPath)) {
    return Fail(kRole, "cannot read the H.264 stream " + track.path, code ? code : kUsageError);
  }
  return 0;
}

int Mux(const std::vector<MetaTrack>& tracks, const std::string& output) {
  std::vector<TempFile> wrapped(tracks.size());
  TempFile part{output + ".part"};
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
  Args maps;
  for (size_t i = 0; i < tracks.size(); ++i) {
    std::string input = tracks[i].path;
    if (tracks[i].codec == "V_MPEG4/ISO/AVC") {
      wrapped[i].path = output + ".track" + std::to_string(i + 1) + ".mkv";
      if (int failed = WrapVideo(tracks[i], wrapped[i].path)) return failed;
      input = wrapped[i].path;
    } else {
      argv.insert(argv.end(), {"-f", "ac3"});
    }
    argv.insert(argv.end(), {"-i", input});
    maps.insert(maps.end(), {"-map", std::to_string(i) + ":" + (tracks[i].codec[0] == 'V' ? "v:0" : "a:0")});
  }
  argv.insert(argv.end(), maps.begin(), maps.end());
  argv.insert(argv.end(), {"-c", "copy", "-f", "mpegts", "-mpegts_m2ts_mode", "1", part.path});
  int code = RunProgram(kRole, argv);
  if (code != 0) return Fail(kRole, "cannot build " + output, code);
  // ffmpeg's transport-stream muxer ends with status 0 when its writes fail.
  std::vector<std::string> inputs;
  for (size_t i = 0; i < tracks.size(); ++i) inputs.push_back(wrapped[i].path.empty() ? tracks[i].path : wrapped[i].path);
  if (CutShort(kRole, part.path, inputs)) return 1;
  if (!MoveFile(part.path, output)) return Fail(kRole, "cannot write " + output);
  part.path.clear();
  return 0;
}

}  // namespace

// tsMuxeR "<movie.meta>" "<out.m2ts>"
int TsMuxerMain(const Args& args) {
  if (args.size() != 2) return Fail(kRole, "usage: tsMuxeR <file.meta> <output.m2ts>");
  std::vector<MetaTrack> tracks;
  if (int bad = ReadMeta(args[0], tracks)) return bad;
  for (const auto& track : tracks) {
    if (int bad = CheckTrack(track)) return bad;
  }
  return Mux(tracks, args[1]);
}

}  // namespace parvela::toolkit
