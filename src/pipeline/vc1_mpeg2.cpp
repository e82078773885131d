// The two kinds of source that skip the common start. A VC-1 source is not made into one
// output: its video stream is taken out as it is and its audio becomes a stereo WMA file beside
// it. An MPEG-2 source is not re-encoded: its streams are copied into an MPEG program stream.
// Both roads judge the tools by the files they leave, so that a failure is never announced as
// a finished conversion.
#include "dshow/dshow.h"
#include "fsutil/cleanup.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

namespace {

bool NotEmpty(const std::string& path) {
  FileHandle handle = kInvalidHandle;
  uint64_t size = 0;
  OpenFileAndGetSize(path, handle, size);
  CloseFileHandle(handle);
  return size > 0;
}

}  // namespace

void Conversion::ConvertVc1() {
  // Results of an earlier VC-1 run must not pass for this one's.
  Delete("movie.wma");
  if (!ExtractVc1Video()) return;
  if (Silent()) {
    Progress("No audio track: the output is silent");
    DeleteVc1TempFiles(f.txtTMP);
    Progress("Conversion Done");
    app.host.Repaint();
    return;
  }
  if (FfmpegDecodes()) {
    GraphOrFfmpegToWav(false);
  } else {
    DecodeAudioToWav(app, f.txtProgress, f.strFullname, f.outputFolder, f.baseName);
    // A track in VfW mode lists no audio; a first audio track the graph does not decode
    // (TrueHD, FLAC, ...) is decoded by FFmpeg straight from the source.
    if (!FileIsPresent(Out("movie.wav")) && FirstAudioNeedsFfmpeg()) {
      Run(Quoted(f.tools.strFF) + " -i " + Quoted(TrimBlanks(f.strFullname)) + " -map 0:a:0 -acodec pcm_s16le " +
          Quoted(Out("movie.wav")));
    }
  }
  Run(Quoted(f.tools.strFF) + " -i " + Quoted(Out("movie.wav")) + " -acodec wmav2 -ab 192000 -ac 2 " +
      Quoted(Out("movie.wma")));
  if (!NotEmpty(Out("movie.wma"))) {
    SourceRoadFailed("Error creating " + Out("movie.wma") + " from the audio of " + f.strFullname +
                         ". Temp files not deleted.",
                     "Audio error");
    return;
  }
  DeleteVc1TempFiles(f.txtTMP);
  Progress("Conversion Done");
  app.host.Repaint();
}

// A track stored in VfW mode comes out as an AVI, from which MP4Box takes the raw stream and
// names it after the AVI ("movie_video." and the stream's own extension).
bool Conversion::ExtractVc1Video() {
  const bool vfw = app.sourceInfo.vfwVideo;
  const std::string target = Out(vfw ? "movie.avi" : "movie.wvc1");
  DeleteFile(target);
  Run(MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(f.videoTrack, target)}));
  bool extracted = NotEmpty(target);
  if (extracted && vfw) {
    for (const std::string& name : FindFiles(Out("movie_video.*"))) DeleteFile(Out(name));
    Run(Quoted(f.tools.strMP4) + " -aviraw video " + Quoted(target));
    const std::string raw = FindFiles(Out("movie_video.*")).front();
    extracted = !raw.empty() && NotEmpty(Out(raw));
  }
  if (!extracted) {
    SourceRoadFailed("Error extracting the video of " + f.strFullname + " to " + f.outputFolder +
                         ". Temp files not deleted.",
                     "Video error");
  }
  return extracted;
}

bool Conversion::FirstAudioNeedsFfmpeg() const {
  const std::string& id = app.sourceInfo.firstAudioCodecId;
  const CodecInfo* codec = FindCodecByMatroskaId(id);
  return !id.empty() && (!codec || codec->decoder == AudioDecoder::Ffmpeg);
}

void Conversion::RepackMpeg2() {
  Progress("Repacking to mpeg2 container");
  const std::string output = Out(f.baseName + ".mpg");
  // FFmpeg overwrites it anyway ("-y"); gone beforehand, a failed repack cannot pass for one.
  DeleteFile(output);
  // A program stream holds AC-3, MPEG and DVD audio only: the first audio track, when it is of a
  // format without a button (FLAC, Opus, ...), becomes AC-3.
  const std::string& firstAudio = app.sourceInfo.firstAudioCodecId;
  const CodecInfo* codec = firstAudio.empty() ? nullptr : FindCodecByMatroskaId(firstAudio);
  const bool copy = firstAudio.empty() || (codec && (codec->button >= 0 || std::string(codec->extension) == "mp2"));
  Run(Quoted(f.tools.strFF) + " -threads 4 -i " + Quoted(f.strFullname) +
      (copy ? " -vcodec copy -acodec copy" : " -map 0:v:0 -map 0:a:0 -vcodec copy -acodec ac3 -ab 640k") +
      " -f vob -copyts -y " + Quoted(output) + " -bug ms");
  if (!NotEmpty(output)) {
    SourceRoadFailed("Error creating " + output + ", quitting attempt.", "FFmpeg error");
    return;
  }
  if (!PlaysOnAConsole(output)) return;
  f.outputPath = output;
  Progress("Conversion done");
  // Left by an earlier VC-1 run in the same folder.
  Delete("movie.wav");
  Delete("movie.avi");
  Delete("movie.wma");
}

void Conversion::SourceRoadFailed(const std::string& text, const std::string& title) {
  Progress("Conversion error.");
  app.host.MessageBox(text, title, MsgIcon::Critical, MsgButtons::Ok);
}

}  // namespace parvela
