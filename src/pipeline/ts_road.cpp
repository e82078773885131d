// The transport-stream road ("Mux to Vob (PS3)"): h264info rewrites the headers of the
// extracted video, the audio becomes AC-3 at 640 kbit/s, and tsMuxeR muxes both into an M2TS
// that is delivered under the ".mpg" name. The audio was extracted with the video, so the
// chain's extraction and its check are not run here: the muxer refuses a missing or empty
// track, and the output test below is the road's one judgement.
#include "dshow/dshow.h"
#include "fsutil/cleanup.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "process/process.h"
#include "streams/streams.h"

namespace parvela {

void Conversion::TransportStreamRoad() {
  Progress("Adjusting Header");
  app.host.DoEvents();
  RewriteH264Header(app.runner, app.stateFolder, f.outputFolder);
  Progress("Muxing MPEG PS");
  app.host.DoEvents();
  TsAudioToAc3();
  WriteTsMeta();
  // A stream left by an interrupted run would otherwise pass for this run's output.
  DeleteFile(Out(f.baseName + ".m2ts"));
  f.lastCommand = TsMuxerLine();
  Run(f.lastCommand);
  LogLine(f.lastCommand);
  const std::string mpg = Out(f.baseName + ".mpg");
  // Only a stream this run made counts: an older NAME.mpg stays, but does not pass for it.
  const bool renamed = RenameFile(Out(f.baseName + ".m2ts"), mpg);
  app.sleeper.Sleep(100);
  FileHandle handle = kInvalidHandle;
  uint64_t size = 0;
  if (renamed) OpenFileAndGetSize(mpg, handle, size);
  CloseFileHandle(handle);
  if (size > 0 && !PlaysOnAConsole(mpg)) {
    CommonEnd();
    return;
  }
  if (size > 0) {
    DeleteMpegTempFiles(f.txtTMP);
    f.outputPath = mpg;
  } else {
    app.host.MessageBox("Error: " + mpg + " was not created.", "info", MsgIcon::None, MsgButtons::Ok);
  }
  Progress("Conversion done");
  f.cmbSubs.SetVisible(false);
  f.lblSRTFound.SetVisible(false);
  app.host.Repaint();
  CommonEnd();
}

void Conversion::TsAudioToAc3() {
  const std::string& ext = f.audioExt;
  if (Silent() || ext == "ac3") return;
  if (ext == "dts") {
    // No speaker option: the 5.1 of a DTS track survives into the AC-3.
    Run(ValdecLine("movie.dts", " -fmt:0"));
    Delete("movie.dts");
  } else if (ext == "aac") {
    Run(AacToPcmLine());
    Delete("movie.aac");
  } else {
    GraphOrFfmpegToWav(true);
  }
  Run(AftenLine());
  Delete("movie.wav");
}

void Conversion::WriteTsMeta() {
  std::vector<std::string> meta = {"V_MPEG4/ISO/AVC, " + Quoted(Out("movie.h264")) + ", fps=" + f.fpsArg};
  if (!Silent()) meta.push_back("A_AC3, " + Quoted(Out("movie.ac3")));
  WriteTextLines(Out("movie.meta"), meta);
}

std::string Conversion::TsMuxerLine() const {
  return Quoted(f.tools.tsmuxerPath) + " " + Quoted(Out("movie.meta")) + " " + Quoted(Out(f.baseName + ".m2ts"));
}

}  // namespace parvela
