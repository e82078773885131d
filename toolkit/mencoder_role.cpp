// mencoder: Debian's mencoder with the same arguments. The encoder suboptions of the classic
// command lines that today's mencoder refuses are translated, and each translation is named on
// standard error, so that a reader of the log knows which line really ran.
#include <cstdio>
#include <iostream>
#include <thread>

#include "mencoder_ffmpeg.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "mencoder";
// libavcodec counts lmin in lambda units today: one quantiser step is 118 of them.
constexpr int kQpToLambda = 118;

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string JoinWith(const std::vector<std::string>& parts, char separator) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

struct Notes {
  std::vector<std::string> lines;
  void Add(const std::string& line) { lines.push_back(line); }
};

// x264 lost "bime" (always on now) and wants a mode for "b_pyramid".
std::string TranslateX264(const std::string& value, Notes& notes) {
  std::vector<std::string> kept;
  for (const auto& option : SplitAt(value, ':')) {
    if (option == "bime") {
      notes.Add("-x264encopts: dropped bime, which x264 no longer has");
    } else if (option == "b_pyramid") {
      notes.Add("-x264encopts: b_pyramid -> b_pyramid=normal");
      kept.push_back("b_pyramid=normal");
    } else {
      kept.push_back(option);
    }
  }
  return JoinWith(kept, ':');
}

std::string ProcessorCount() {
  unsigned count = std::thread::hardware_concurrency();
  return std::to_string(count == 0 ? 1 : count);
}

// libavcodec's mv0 flag and lmin now travel as generic codec options ("o="), and threads
// wants a number.
std::string TranslateLavc(const std::string& value, Notes& notes) {
  std::vector<std::string> kept, generic;
  for (const auto& option : SplitAt(value, ':')) {
    if (option == "mv0") {
      notes.Add("-lavcopts: mv0 -> o=mpv_flags=+mv0");
      generic.push_back("mpv_flags=+mv0");
    } else if (StartsWith(option, "lmin=")) {
      const std::string qp = option.substr(5);
      try {
        const std::string lambda = std::to_string(std::stoi(qp) * kQpToLambda);
        notes.Add("-lavcopts: " + option + " -> o=lmin=" + lambda);
        generic.push_back("lmin=" + lambda);
      } catch (const std::exception&) {
        kept.push_back(option);  // mencoder names a value it cannot read better than we could
      }
    } else if (option == "threads=auto") {
      const std::string threads = "threads=" + ProcessorCount();
      notes.Add("-lavcopts: threads=auto -> " + threads);
      kept.push_back(threads);
    } else if (StartsWith(option, "o=")) {
      generic.push_back(option.substr(2));
    } else {
      kept.push_back(option);
    }
  }
  if (!generic.empty()) kept.push_back("o=" + JoinWith(generic, ','));
  return JoinWith(kept, ':');
}

bool Has(const Args& args, const std::string& option) {
  for (const auto& a : args) {
    if (a == option) return true;
  }
  return false;
}

// The arguments with the suboptions today's mencoder refuses translated.
Args Translated(const Args& args, Notes& notes) {
  Args argv = {"mencoder"};
  // The classic text renderer draws nothing into x264 or Xvid pictures today; libass renders
  // SRT files as well, into every encoder's picture.
  const bool addAss = Has(args, "-sub") && !Has(args, "-ass");
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-x264encopts" && hasValue) {
      argv.insert(argv.end(), {a, TranslateX264(args[++i], notes)});
    } else if (a == "-lavcopts" && hasValue) {
      argv.insert(argv.end(), {a, TranslateLavc(args[++i], notes)});
    } else {
      if (a == "-sub" && addAss) {
        notes.Add("-sub: added -ass, so that the subtitles are drawn into the picture");
        argv.push_back("-ass");
      }
      argv.push_back(a);
    }
  }
  return argv;
}

void Tell(const Notes& notes) {
  for (const auto& line : notes.lines) std::cerr << kRole << ": translated " << line << std::endl;
}

// An encode whose source mencoder decodes itself; "" when that went well, else why FFmpeg
// decodes it instead (mencoder failed, or wrote a film well short of its source).
std::string EncodeDecodingItself(Args argv, const Notes& notes, const std::string& source, const OutputGuard& guard,
                                 int& code) {
  Notes told = notes;
  // Today's mencoder decodes on one thread unless told otherwise; libavcodec's threaded decoding
  // gives the same pictures, and the encoder then waits for none of them.
  if (!Has(argv, "-lavdopts")) {
    argv.insert(argv.end(), {"-lavdopts", "threads=" + ProcessorCount()});
    told.Add("-lavdopts: none given -> threads=" + ProcessorCount() + ", the source decoded on every core");
  }
  Tell(told);
  code = RunProgramLeavingWholeFiles(kRole, argv, guard);
  if (source.empty() || guard.outputs.size() != 1) return {};
  // Not a program that is missing, nor one stopped by a signal (the user's Stop).
  if (code != 0) return code < 128 && code != kNotInstalled ? "mencoder ended with status " + std::to_string(code) : "";
  const std::string& output = guard.outputs.front();
  const double expected = MediaDuration(kRole, source), made = MediaDuration(kRole, output);
  if (!EndsEarly(made, expected) || NoRoomLeft(output)) return {};
  char lengths[64];
  std::snprintf(lengths, sizeof lengths, "%.2f s of %.2f s", made, expected);
  return "mencoder's own decoding made " + std::string(lengths);
}

}  // namespace

int MencoderMain(const Args& args) {
  OutputGuard guard;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      guard.outputs.push_back(args[++i]);
    } else if (IsFile(args[i])) {
      guard.inputs.push_back(args[i]);
    }
  }
  Notes notes;
  const Args argv = Translated(args, notes);
  int code = 0;
  if (IsProgramStreamMux(args)) {
    code = MuxProgramStreamWithFfmpeg(kRole, args, guard);
  } else {
    const size_t inputAt = MencoderInputAt(argv, 1);
    const bool encodes = !MencoderOption(args, "-ovc").empty() && MencoderOption(args, "-ovc") != "copy";
    const std::string source = encodes && inputAt < argv.size() && IsFile(argv[inputAt]) ? argv[inputAt] : "";
    const std::string ofps = MencoderOption(args, "-ofps");
    const VideoStream video = source.empty() ? VideoStream{} : ProbeVideo(kRole, source);
    std::string why = source.empty() ? "" : WhyFfmpegDecodes(video, ofps);
    if (!why.empty()) {
      Tell(notes);
    } else {
      why = EncodeDecodingItself(argv, notes, source, guard, code);
    }
    if (!why.empty()) {
      std::cerr << kRole << ": FFmpeg decodes " << source << " for mencoder: " << why << std::endl;
      code = RunFedByFfmpeg(kRole, argv, inputAt, ofps, TimestampsGivePictureRate(video), guard);
    }
  }
  if (code != 0 || guard.outputs.size() != 1 || Has(args, "-endpos")) return code;
  // mencoder ends with status 0 when its writes fail (a full disk, a file-size limit).
  if (!CutShort(kRole, guard.outputs.front(), guard.inputs)) return 0;
  std::remove(guard.outputs.front().c_str());
  return 1;
}

}  // namespace parvela::toolkit
