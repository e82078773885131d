// aften: AC-3 encoding of a WAV file at the bitrate asked for, channels kept, done with ffmpeg's
// own AC-3 encoder. The stream is written under a temporary name and only then takes the
// output's name, so a failed encode leaves no output behind.
#include <cstdio>
#include <cstdlib>

#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "aften";

struct AftenRequest {
  std::string input, output;
  long kbps = 0;  // 0: the encoder's choice for the channel count
};

int ParseAften(const Args& args, AftenRequest& r) {
  Args positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-b" && i + 1 < args.size()) {
      char* end = nullptr;
      r.kbps = std::strtol(args[++i].c_str(), &end, 10);
      // AC-3 knows nothing above 640 kbit/s.
      if (!end || *end != '\0' || r.kbps < 32 || r.kbps > 640) {
        return Fail(kRole, "bad bitrate " + args[i] + " (32 to 640)");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(kRole, "unsupported option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return Fail(kRole, "usage: aften [-b <kbit/s>] <input.wav> <output.ac3>");
  r.input = positional[0];
  r.output = positional[1];
  return 0;
}

}  // namespace

// aften "<in.wav>" -b 640 "<out.ac3>"
int AftenMain(const Args& args) {
  AftenRequest r;
  if (int bad = ParseAften(args, r)) return bad;
  if (!IsFile(r.input)) return FailMissing(kRole, r.input);
  const std::string part = r.output + ".part";
  Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", r.input,
               "-map", "0:a:0", "-c:a", "ac3"};
  if (r.kbps > 0) argv.insert(argv.end(), {"-b:a", std::to_string(r.kbps) + "k"});
  argv.insert(argv.end(), {"-f", "ac3", part});
  int code = RunProgram(kRole, argv);
  if (code != 0 || !MoveFile(part, r.output)) {
    std::remove(part.c_str());
    return Fail(kRole, "cannot encode " + r.input, code ? code : kUsageError);
  }
  return 0;
}

}  // namespace parvela::toolkit
