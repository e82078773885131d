// The audio conversion chain: the source's audio to movie.ac3 at 640 kbit/s for the roads that
// mux AC-3 (MPEG-2, Xvid; the transport-stream road reuses the line composers). It judges only
// by the movie.ac3 it finds at the end.
#include <filesystem>

#include "dshow/dshow.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

std::string Conversion::ValdecLine(const std::string& input, const std::string& options) const {
  return Quoted(f.tools.valdecPath) + " " + Quoted(Out(input)) + " -wav " + Quoted(Out("movie.wav")) + options;
}

std::string Conversion::AacToPcmLine() const {
  return Quoted(f.tools.strFF) + " -i " + Quoted(Out("movie.aac")) + " -acodec pcm_s16le " + Quoted(Out("movie.wav"));
}

std::string Conversion::AftenLine() const {
  return Quoted(f.tools.aftenPath) + " " + Quoted(Out("movie.wav")) + " -b 640 " + Quoted(Out("movie.ac3"));
}

void Conversion::PrepareSubtitleArg() {
  if (!f.chkSubs.Checked() || f.lblSRTFound.Visible()) return;
  const int r = f.cmbSubs.ListIndex();
  if (r < 0 || r >= kTrackRows) return;
  const SubtitleTrackRow& row = app.sourceInfo.subtitleTracks[static_cast<size_t>(r)];
  // A row the inspection left empty names no track: an argument for it would only make
  // mkvextract refuse the audio along with it.
  if (row.trackNumber.empty()) return;
  f.subtitleFormat = row.format;
  f.subtitleArg = " " + row.trackNumber + ":" + Quoted(Out("movie." + f.subtitleFormat));
}

bool Conversion::ConvertAudioToAc3(ChainRoad road) {
  PrepareSubtitleArg();
  if (Silent()) {
    if (!f.subtitleArg.empty()) Run(MkvextractLine(f.tools.strMKV, f.strFullname, {}) + " " + f.subtitleArg);
    return true;
  }
  const std::string& ext = f.audioExt;
  if (ext == "dts" || ext == "ac3" || ext == "aac") {
    // The subtitle track comes out in the same pass; its argument brings its own leading blank.
    Run(MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(f.txtS2.Text(), ExtractedAudio())}) + " " +
        f.subtitleArg);
    // The MPEG-2 road keeps an AC-3 track as it is; the AVI muxer wants it re-encoded.
    if (ext == "ac3" && road == ChainRoad::Mpeg2) return Ac3Produced();
    Run(ext == "aac" ? AacToPcmLine() : ValdecLine("movie." + ext, " -spk:0 -fmt:0"));
    Delete("movie." + ext);
    Run(AftenLine());
    Delete("movie.wav");
    return Ac3Produced();
  }
  if (!f.subtitleArg.empty()) Run(MkvextractLine(f.tools.strMKV, f.strFullname, {}) + " " + f.subtitleArg);
  GraphOrFfmpegToWav(false);
  Run(AftenLine());
  return Ac3Produced();
}

void Conversion::GraphOrFfmpegToWav(bool trackExtracted) {
  if (GraphDecodesChosenTrack()) DecodeAudioToWav(app, f.txtProgress, f.strFullname, f.outputFolder, f.baseName);
  const bool buttonless = f.audioCodec && f.audioCodec->button < 0;
  if (FileIsPresent(Out("movie.wav"))) {
    if (trackExtracted && buttonless) Delete("movie." + f.audioExt);
    return;
  }
  // The graph has no Vorbis decoder (nor, on some systems, any at all): FFmpeg decodes the
  // track itself.
  if (!trackExtracted) Run(AudioExtractLine());
  // AC-3 carries at most 5.1: a 7.1 track is folded down as it is decoded.
  const std::string fold = buttonless && ChosenChannels() > 6 ? " -ac 6" : "";
  Run(Quoted(f.tools.strFF) + " -i " + Quoted(ExtractedAudio()) + " -acodec pcm_s16le" + fold + " " +
      Quoted(Out("movie.wav")));
  Delete("movie." + f.audioExt);
}

bool Conversion::Ac3Produced() {
  // Checked on every path, the kept AC-3 track and the decoding graph's included: a missing
  // track would otherwise give a silent film announced as a finished conversion.
  app.sleeper.Sleep(100);
  std::error_code error;
  const auto size = std::filesystem::file_size(Out("movie.ac3"), error);
  if (!error && size > 0) return true;
  app.host.MessageBox("Error during audio extraction. Temp files not deleted.", "Audio error", MsgIcon::Critical,
                      MsgButtons::Ok);
  Progress("Conversion error.");
  return false;
}

bool Conversion::MuxedFilmMade(const std::string& target, const std::string& tool) {
  // The encoders end without an error when their writes fail (a full disk); the film left is
  // what counts.
  if (FileSize(Out(target)) > 0) return true;
  Progress("Conversion Error");
  app.host.MessageBox("Error creating " + Out(target) + ", quitting attempt. Temp files not deleted.", tool + " error",
                      MsgIcon::Critical, MsgButtons::Ok);
  return false;
}

}  // namespace parvela
