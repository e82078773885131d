// The audio tools: faad and soundstretch are Debian's own; valdec (AC-3/DTS decoding) and
// BeSweet (retiming to 25 fps) are done with ffmpeg.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "toolkit.h"

namespace parvela::toolkit {

namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
  return v;
}

// The sample rate from the "fmt " chunk of a WAV (or RF64) file.
std::optional<uint32_t> WavSampleRate(const std::string& path) {
  std::string head = ReadHead(path, 65536);
  if (head.size() < 12 || (head.compare(0, 4, "RIFF") != 0 && head.compare(0, 4, "RF64") != 0) ||
      head.compare(8, 4, "WAVE") != 0) {
    return std::nullopt;
  }
  size_t at = 12;
  while (at + 8 <= head.size()) {
    uint32_t size = Le32(head, at + 4);
    if (head.compare(at, 4, "fmt ") == 0) {
      if (at + 16 > head.size()) return std::nullopt;
      return Le32(head, at + 12);
    }
    at += 8 + size + (size & 1);
  }
  return std::nullopt;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}

std::string Number(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", value);
  return buf;
}

// The end of every chain that raises levels: nothing may clip the 16-bit output.
const char* kLimiter = "alimiter=limit=0.977:level=false";

struct ValdecRequest {
  std::string input, output;
  int speakers = 0;  // 0 keeps the source's channels
  int format = 0;
  bool drc = false;
  double gainDb = 0, drcPower = 0;
};

bool ParseNumberAfter(const std::string& arg, size_t at, double& value) {
  char* end = nullptr;
  value = std::strtod(arg.c_str() + at, &end);
  return end && *end == '\0' && end != arg.c_str() + at;
}

int ParseValdec(const Args& args, ValdecRequest& r) {
  constexpr const char* kRole = "valdec";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    double v = 0;
    if (a == "-wav" && i + 1 < args.size()) {
      r.output = args[++i];
    } else if (StartsWith(a, "-spk:") && ParseNumberAfter(a, 5, v)) {
      r.speakers = static_cast<int>(v);
    } else if (StartsWith(a, "-fmt:") && ParseNumberAfter(a, 5, v)) {
      r.format = static_cast<int>(v);
    } else if (a == "-drc+" || a == "-drc-") {
      r.drc = a == "-drc+";
    } else if (StartsWith(a, "-gain:") && ParseNumberAfter(a, 6, v)) {
      r.gainDb = v;
    } else if (StartsWith(a, "-drc_power:") && ParseNumberAfter(a, 11, v)) {
      r.drcPower = v;
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(kRole, "unsupported option " + a);
    } else if (r.input.empty()) {
      r.input = a;
    } else {
      return Fail(kRole, "unexpected argument " + a);
    }
  }
  if (r.input.empty() || r.output.empty()) return Fail(kRole, "usage: valdec <input> -wav <output.wav> [options]");
  if (r.speakers < 0 || r.speakers > 2) return Fail(kRole, "speaker setting " + std::to_string(r.speakers) + " is not supported (0, 1 or 2)");
  if (r.format < 0 || r.format > 3) return Fail(kRole, "sample format " + std::to_string(r.format) + " is not supported (0 to 3)");
  return 0;
}

std::string ValdecFilters(const ValdecRequest& r) {
  std::vector<std::string> chain;
  // Downmix first, so that the limiter sees the channels that are written.
  if (r.speakers == 1) chain.push_back("aformat=channel_layouts=mono");
  if (r.speakers == 2) chain.push_back("aformat=channel_layouts=stereo");
  if (r.drc) {
    double ratio = std::clamp(1 + r.drcPower / 4, 1.0, 20.0);
    chain.push_back("acompressor=threshold=0.1:ratio=" + Number(ratio) + ":attack=20:release=250");
  }
  if (r.gainDb != 0) chain.push_back("volume=" + Number(r.gainDb) + "dB");
  if (r.drc || r.gainDb > 0) chain.push_back(kLimiter);
  return Join(chain, ",");
}

}  // namespace

// faad [-d] "<in.aac>" -o "<out.wav>": Debian's faad takes these as they are.
int FaadMain(const Args& args) {
  constexpr const char* kRole = "faad";
  const std::string withValue = "oafbsl";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() == 2 && a[0] == '-' && withValue.find(a[1]) != std::string::npos) {
      ++i;
    } else if (!(a.size() > 1 && a[0] == '-') && !IsFile(a)) {
      return FailMissing(kRole, a);
    }
  }
  Args argv = {"faad"};
  argv.insert(argv.end(), args.begin(), args.end());
  OutputGuard guard;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-o") guard.outputs.push_back(args[i + 1]);
  }
  return RunProgramLeavingWholeFiles(kRole, argv, guard);
}

// soundstretch "<in.wav>" "<out.wav>" [switches]
int SoundstretchMain(const Args& args) {
  constexpr const char* kRole = "soundstretch";
  if (args.size() < 2) return Fail(kRole, "usage: soundstretch <in.wav> <out.wav> [switches]");
  if (args[0] != "stdin" && !IsFile(args[0])) return FailMissing(kRole, args[0]);
  Args argv = {"soundstretch"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgramLeavingWholeFiles(kRole, argv, {{args[1]}, {args[0]}});
}

// valdec "<in.ac3|dts>" -wav "<out.wav>" [-spk:0|1|2] [-fmt:0..3] [-drc+] [-gain:dB] [-drc_power:dB]
int ValdecMain(const Args& args) {
  constexpr const char* kRole = "valdec";
  ValdecRequest r;
  if (int bad = ParseValdec(args, r)) return bad;
  if (!IsFile(r.input)) return FailMissing(kRole, r.input);
  static const char* kFormats[] = {"pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le"};
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", r.input,
               "-map", "0:a:0"};
  std::string filters = ValdecFilters(r);
  if (!filters.empty()) {
    argv.push_back("-af");
    argv.push_back(filters);
  }
  // Long 5.1 tracks pass the 4 GB a plain WAV header can describe.
  for (const char* a : {"-c:a", kFormats[r.format], "-rf64", "auto", "-f", "wav"}) argv.push_back(a);
  argv.push_back(r.output);
  return RunProgramLeavingWholeFiles(kRole, argv, {{r.output}, {r.input}});
}

// BeSweet -core( -input "<in.wav>" [-2ch] -output "<out.wav>" ) -ota( -r <from> <to> )
// speeds the sound up by to/from (pitch and all), as playing at the new frame rate does.
int BeSweetMain(const Args& args) {
  constexpr const char* kRole = "BeSweet";
  std::string input, output;
  bool stereo = false;
  double from = 0, to = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool more = i + 1 < args.size();
    if (a == "-core(" || a == "-ota(" || a == ")") continue;
    if (a == "-input" && more) {
      input = args[++i];
    } else if (a == "-output" && more) {
      output = args[++i];
    } else if (a == "-2ch") {
      stereo = true;
    } else if (a == "-r" && i + 2 < args.size()) {
      from = std::atof(args[i + 1].c_str());
      to = std::atof(args[i + 2].c_str());
      i += 2;
    } else {
      return Fail(kRole, "unsupported argument " + a);
    }
  }
  if (input.empty() || output.empty()) return Fail(kRole, "usage: BeSweet -core( -input <in.wav> -output <out.wav> ) -ota( -r <from> <to> )");
  if (!IsFile(input)) return FailMissing(kRole, input);
  std::optional<uint32_t> rate = WavSampleRate(input);
  if (!rate || *rate == 0) return Fail(kRole, input + " is not a WAV file");
  std::vector<std::string> chain;
  if (stereo) chain.push_back("aformat=channel_layouts=stereo");
  if (from > 0 && to > 0 && from != to) {
    long faster = std::lround(*rate * to / from);
    chain.push_back("asetrate=" + std::to_string(faster));
    chain.push_back("aresample=" + std::to_string(*rate));
  }
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", input,
               "-map", "0:a:0"};
  if (!chain.empty()) {
    argv.push_back("-af");
    argv.push_back(Join(chain, ","));
  }
  for (const char* a : {"-c:a", "pcm_s16le", "-rf64", "auto", "-f", "wav"}) argv.push_back(a);
  argv.push_back(output);
  return RunProgramLeavingWholeFiles(kRole, argv, {{output}, {input}});
}

}  // namespace parvela::toolkit
