// The Xvid road: the audio chain makes movie.ac3 (an AC-3 source is decoded and encoded again),
// mencoder's Xvid encoder writes movie.avi (subtitles burnt in on request), and avimux_gui joins
// both into the output AVI under a script written from the installation's template.
#include "analysis/analysis.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

namespace {

constexpr const char* kXvidOpts =
    ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:"
    "notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel -ofps ";
constexpr const char* kTemplateFolder = "D:\\PARVELA\\";

// The three subtitle lines differ from one another only in doubled blanks.
struct XvidBlanks {
  const char* font;
  const char* ovc;
  const char* vf;
  const char* sub;
};

XvidBlanks BlanksFor(Conversion::SubtitleSource source) {
  switch (source) {
    case Conversion::SubtitleSource::Browsed:
      return {"  -font ", "  -ovc xvid -xvidencopts bitrate=", " -vf harddup  -nosound ", " -noskip -sub "};
    case Conversion::SubtitleSource::Track:
      return {" -font ", " -ovc xvid -xvidencopts bitrate=", " -vf harddup -nosound ", "  -noskip -sub "};
    default:
      return {"  -font ", " -ovc xvid -xvidencopts bitrate=", " -vf harddup -nosound ", " -noskip -sub "};
  }
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

std::string Conversion::XvidEncodeLine(SubtitleSource source) const {
  const std::string mencoder = Quoted(f.tools.mencoderPath);
  const std::string avi = Quoted(Out("movie.avi"));
  const std::string rate = f.strH264Bitrate + kXvidOpts + f.fpsArg;
  const std::string input = Quoted(TrimBlanks(f.strFullname));
  if (source == SubtitleSource::None) {
    return WithinFrameLimit(mencoder + "  -of avi -o " + avi + " -ovc xvid -xvidencopts bitrate=" + rate +
                                " -vf harddup -nosound " + input + " -mc 0 -noskip",
                            "mpeg4");
  }
  const XvidBlanks b = BlanksFor(source);
  return WithinFrameLimit(mencoder + b.font + Quoted(f.tools.fontPath) + " -utf8 " + f.strSubOpts + " -of avi -o " +
                              avi + b.ovc + rate + b.vf + input + b.sub + Quoted(SubtitleFile(source)),
                          "mpeg4");
}

void Conversion::WriteMuxerScript(const std::string& target) {
  std::vector<std::string> templ, script;
  ReadTextLines(app.appFolder + kSep + "avimux" + kSep + "parvela.amg", templ);  // a missing one gives no line
  const bool split = f.Check1.Value() == 1;
  for (const std::string& line : templ) {
    if (Contains(line, "ENDOFFILE")) break;
    // A silent film: no audio to load or add.
    if (Silent() && (Contains(line, "movie.ac3") || Contains(line, "ADD AUDIO"))) continue;
    if (Contains(line, "MAXFILESIZE size") && split) {
      script.push_back("MAXFILESIZE 4000");
    } else if (Contains(line, "MAXFILESIZE") && !split) {
      script.push_back("MaxFileSize OFF");
    } else {
      script.push_back(ReplaceAll(line, kTemplateFolder, f.outputFolder));
    }
  }
  script.push_back("START " + Out(target));
  WriteTextLines(Out("parvela.amg"), script);
}

void Conversion::XvidRoad() {
  if (!ConvertAudioToAc3(ChainRoad::Xvid)) return;
  Progress("Encoding Xvid.");
  app.host.Repaint();
  f.fpsArg = MakeFpsArg(f.fpsText);
  // The parts of a split source share the first part's rate.
  if (!f.bSplit || f.strH264Bitrate.empty()) {
    f.strH264Bitrate = std::to_string(ReadSourceBitrate(TrimBlanks(f.strFullname)));
  }
  Progress("Encoding Xvid");
  Run(XvidEncodeLine(ChooseSubtitleSource()));
  const std::string output = f.baseName + ".avi";
  const std::string target = MuxTarget(output, "movie.avi");
  WriteMuxerScript(target);
  Run(Quoted(f.tools.avimuxPath) + " " + Quoted(Out("parvela.amg")));
  // A film above the size cap comes in pieces instead: NAME-1.avi, NAME-2.avi, ...
  const std::string firstPiece = target.substr(0, target.size() - 4) + "-1.avi";
  const bool pieces = FileSize(Out(firstPiece)) > 0;
  if (!pieces && !MuxedFilmMade(target, "avimux")) return;
  if (!PlaysOnAConsole(Out(pieces ? firstPiece : target))) return;
  // No movie.mp4 here: no stage writes one, so it can only be a finished film of the user's.
  for (const char* name : {"movie.avi", "parvela.amg", "movie.ac3", "movie.wav", "movie.srt", "movie.ass", "movie.ssa"})
    Delete(name);
  // The extracted track is named after its format's letter case ("movie.ASS"), which a file
  // system that tells case apart does not match with the names above.
  if (!f.subtitleFormat.empty()) Delete("movie." + f.subtitleFormat);
  if (target != output) RenameFile(Out(target), Out(output));
  if (FileIsPresent(Out(output))) f.outputPath = Out(output);
  Progress("Conversion done");
}

}  // namespace parvela
