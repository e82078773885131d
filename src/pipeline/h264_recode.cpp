// H.264 re-encoding: mencoder's x264 turns the source's video into a new movie.h264 within the
// consoles' limits (the default options carry level 4.1 and two reference frames; a frame too
// large or too fast for level 4.1 is scaled), optionally with subtitles burnt in. The MP4 or
// transport-stream road then takes the stream as it would an extracted one; for the MP4 road
// mencoder runs beside the audio work. The subtitle choice below is shared by the three
// re-encoding roads.
#include <stdexcept>

#include "analysis/analysis.h"
#include "analysis/codecs.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

Conversion::SubtitleSource Conversion::ChooseSubtitleSource() const {
  if (!f.chkSubs.Checked()) return SubtitleSource::None;
  if (f.lblSRTFound.Visible()) return SubtitleSource::SrtBesideSource;
  if (!f.strSubBrowse.empty()) return SubtitleSource::Browsed;
  return SubtitleSource::Track;
}

std::string Conversion::SubtitleFile(SubtitleSource source) const {
  switch (source) {
    case SubtitleSource::SrtBesideSource:
      // The source path as typed, "mkv" swapped for "srt".
      return f.strFullname.substr(0, f.strFullname.size() < 3 ? 0 : f.strFullname.size() - 3) + "srt";
    case SubtitleSource::Browsed:
      return f.strSubBrowse;
    case SubtitleSource::Track:
      return Out("movie." + f.subtitleFormat);
    case SubtitleSource::None:
      break;
  }
  return {};
}

void Conversion::ExtractSubtitleTrack() {
  // Without a subtitle row there is no track to ask mkvextract for.
  if (f.subtitleArg.empty()) return;
  // The track follows the source after two blanks: PrepareSubtitleArg's text starts with one.
  Run(MkvextractLine(f.tools.strMKV, f.strFullname, {}) + " " + f.subtitleArg);
}

std::string Conversion::X264Line(SubtitleSource source) const {
  const std::string encode = " -nosound -noskip -mc 0 -of rawvideo -o " + Quoted(Out("movie.h264")) +
                             " -ovc x264 -x264encopts bitrate=" + f.strH264Bitrate + f.strH264Opts + " -ofps " +
                             f.fpsArg + " -vf harddup " + Quoted(TrimBlanks(f.strFullname));
  const std::string mencoder = Quoted(f.tools.mencoderPath);
  if (source == SubtitleSource::None) return WithinFrameLimit(mencoder + encode + " -mc 0 -noskip", "h264");
  const std::string subSwitch = source == SubtitleSource::Track ? " -mc 0 -noskip -ass -sub " : " -mc 0 -noskip -sub ";
  return WithinFrameLimit(mencoder + " -oac copy -font " + Quoted(f.tools.fontPath) + " -utf8 " + f.strSubOpts +
                              encode + subSwitch + Quoted(SubtitleFile(source)),
                          "h264");
}

std::string Conversion::WithinFrameLimit(std::string line, const char* target) const {
  const SourceInfo& info = app.sourceInfo;
  double fps = 0;
  try {
    fps = std::stod(f.fpsText);
  } catch (const std::exception&) {
    // An unknown rate: only the frame size is kept within the limit.
  }
  const FrameSize size = ReencodedFrame(info.videoWidth, info.videoHeight, fps, target);
  if (size == FrameSize{info.videoWidth, info.videoHeight}) return line;
  // mencoder's scale filter keeps the display aspect for the encoders' aspect flags.
  const std::string filter = " -vf harddup";
  const size_t at = line.find(filter);
  if (at != std::string::npos) {
    line.replace(at, filter.size(),
                 " -vf scale=" + std::to_string(size.width) + ":" + std::to_string(size.height) + ",harddup");
  }
  return line;
}

void Conversion::ReencodeH264() {
  if (f.chkSubs.Checked() && !f.lblSRTFound.Visible()) {
    PrepareSubtitleArg();
    ExtractSubtitleTrack();
  }
  f.fpsArg = MakeFpsArg(f.fpsText);
  Progress("Encoding H264");
  // The parts of a split source share the first part's rate.
  if (!f.bSplit || f.strH264Bitrate.empty()) {
    f.strH264Bitrate = std::to_string(ReadSourceBitrate(TrimBlanks(f.strFullname)));
  }
  f.lastCommand = X264Line(ChooseSubtitleSource());
  if (f.chkVob.Checked()) {
    Run(f.lastCommand);
  } else {
    // The MP4 road's audio needs nothing of the new stream: it is made while mencoder encodes,
    // and the muxer waits for the video (WaitForVideo).
    StartVideoBeside(f.lastCommand);
  }
  if (f.chkVob.Checked()) RenameFile(Out("movie.h264"), Out("movie_raw.h264"));
  Delete("movie_video.h264");
  // The re-encoding skipped the extraction, yet the transport-stream road and the MP4 road's
  // Vorbis path take the audio track the combined extraction would have left; so do the other
  // formats FFmpeg decodes from the extracted file (PCM, FLAC, Opus, ...).
  if (f.audioExt == "ogg" || f.chkFF.Checked() || f.chkVob.Checked()) {
    Run(MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(f.txtS2.Text(), ExtractedAudio())}));
  } else if (FfmpegDecodes() && !Silent()) {
    Run(AudioExtractLine());
  }
  f.fpsArg = f.fpsText;
}

void Conversion::WaitForVideo() {
  if (!videoBeside) return;
  videoBeside = false;
  EndBeside();
}

}  // namespace parvela
