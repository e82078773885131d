// The MPEG-2 road: the audio chain makes movie.ac3, mencoder's lavc encodes the source's video
// to MPEG-2 in movie.mpg (subtitles burnt in on request), and mencoder muxes both into a
// program stream named after the source, dots kept.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

namespace {

// "threads=auto" only with an SRT beside the source; "threads=4" otherwise.
constexpr const char* kLavcSrtBeside =
    " -of mpeg -ovc lavc -lavcopts threads=auto:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:"
    "vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
constexpr const char* kLavcOtherSubs =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:"
    "vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
constexpr const char* kLavcNoSubs =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:"
    "vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps ";

// The rates an MPEG-2 sequence header has a code for, as MakeFpsArg writes them.
struct Mpeg2Rate {
  double value;
  const char* arg;
};
constexpr Mpeg2Rate kMpeg2Rates[] = {{24000.0 / 1001, "24000/1001"}, {24, "24"},
                                     {25, "25"},                     {30000.0 / 1001, "30000/1001"},
                                     {30, "30"},                     {50, "50"},
                                     {60000.0 / 1001, "60000/1001"}, {60, "60"}};

// "30000/1001", "25" or "29.833" as a number; 0 when it is none.
double RateOf(const std::string& arg) {
  char* end = nullptr;
  double value = std::strtod(arg.c_str(), &end);
  if (*end == '/') value /= std::strtod(end + 1, nullptr);
  return std::isfinite(value) ? value : 0;
}

}  // namespace

std::string Mpeg2FpsArg(const std::string& fpsArg) {
  const double rate = RateOf(fpsArg);
  const Mpeg2Rate* nearest = &kMpeg2Rates[0];
  for (const Mpeg2Rate& legal : kMpeg2Rates) {
    if (fpsArg == legal.arg) return fpsArg;
    if (std::fabs(legal.value - rate) < std::fabs(nearest->value - rate)) nearest = &legal;
  }
  return nearest->arg;
}

std::string Conversion::Mpeg2EncodeLine(SubtitleSource source) const {
  const std::string mencoder = Quoted(f.tools.mencoderPath);
  const std::string video = Quoted(Out("movie.mpg"));
  const std::string input = " -vf harddup " + Quoted(TrimBlanks(f.strFullname));
  if (source == SubtitleSource::None) {
    return WithinFrameLimit(mencoder + " -nosound -o " + video + kLavcNoSubs + f.fpsArg + input + " -mc 0 -noskip",
                            "mpeg2video");
  }
  const char* lavc = source == SubtitleSource::SrtBesideSource ? kLavcSrtBeside : kLavcOtherSubs;
  return WithinFrameLimit(mencoder + " -nosound  -font " + Quoted(f.tools.fontPath) + " -utf8 " + f.strSubOpts +
                              " -o " + video + lavc + f.fpsArg + input + " -mc 0 -noskip -sub " +
                              Quoted(SubtitleFile(source)),
                          "mpeg2video");
}

std::string Conversion::Mpeg2MuxLine(const std::string& target) const {
  if (Silent()) {
    return Quoted(f.tools.mencoderPath) + " " + Quoted(Out("movie.mpg")) + " -nosound -ovc copy -of mpeg -o " +
           Quoted(Out(target));
  }
  return Quoted(f.tools.mencoderPath) + " " + Quoted(Out("movie.mpg")) + " -audiofile " + Quoted(Out("movie.ac3")) +
         " -oac copy -ovc copy -of mpeg -o " + Quoted(Out(target));
}

void Conversion::Mpeg2RecodeRoad() {
  if (!ConvertAudioToAc3(ChainRoad::Mpeg2)) return;
  if (f.audioExt != "ac3") Progress("Encoding mpeg2.");  // the chain returned early for AC-3
  // MPEG-2 has codes for eight rates only: any other is encoded at the nearest of them, the
  // encoder repeating or dropping pictures so that the film keeps its length.
  f.fpsArg = Mpeg2FpsArg(MakeFpsArg(f.fpsText));
  Progress("Encoding Mpeg2");
  app.host.Repaint();
  Run(Mpeg2EncodeLine(ChooseSubtitleSource()));
  const std::string output = f.baseName + ".mpg";
  const std::string target = MuxTarget(output, "movie.mpg");
  Run(Mpeg2MuxLine(target));
  if (!MuxedFilmMade(target, "Mencoder") || !PlaysOnAConsole(Out(target))) return;
  // No movie.mp4 here: no stage writes one, so it can only be a finished film of the user's.
  for (const char* name : {"movie.mpg", "movie.h264", "movie.ac3", "movie.wav", "movie.srt", "movie.ass", "movie.ssa"})
    Delete(name);
  // The extracted track is named after its format's letter case ("movie.ASS"), which a file
  // system that tells case apart does not match with the names above.
  if (!f.subtitleFormat.empty()) Delete("movie." + f.subtitleFormat);
  if (target != output) RenameFile(Out(target), Out(output));
  if (FileIsPresent(Out(output))) f.outputPath = Out(output);
  Progress("Conversion done");
}

std::string Conversion::MuxTarget(const std::string& output, const std::string& tempVideo) const {
  // A source named movie.mkv: its output would be the very file the muxer reads, and the
  // clean-up would delete it. The muxer then writes beside it and the result is renamed last.
  // Compared in any letter case, as a Windows file system would.
  std::string lower = output;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != tempVideo) return output;
  return "movie_muxed" + tempVideo.substr(tempVideo.size() - 4);
}

}  // namespace parvela
