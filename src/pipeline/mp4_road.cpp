#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "dshow/dshow.h"
#include "fsutil/cleanup.h"
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"
#include "streams/streams.h"

namespace parvela {

namespace {

bool IsOneOf(const std::string& value, std::initializer_list<const char*> set) {
  for (const char* s : set) {
    if (value == s) return true;
  }
  return false;
}

// Stereo AAC at 224 kbit/s. The down-mix of 5.1 adds the centre and the surround channels to
// each side; without scaling back (the resampler's largest matrix sum held to 1) a loud film
// clips. A stereo source passes through the same matrix unchanged.
constexpr const char* kStereoAac = " -acodec libfaac -ac 2 -rematrix_maxval 1.0 -ab 224kb ";

// "23.976" -> "23976": the rate in thousandths, printed as a plain whole number.
std::string RateNumber(const std::string& fpsText) {
  std::string digits;
  for (char c : fpsText) {
    if (c != '.') digits.push_back(c);
  }
  size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string("0") : digits.substr(first);
}

}  // namespace

void Conversion::Mp4Road() {
  // The muxer gets the exact rate ("24000/1001", not "23.976"); the 25 fps step may replace it.
  f.fpsArg = MakeFpsArg(f.fpsText);
  DecodeOrBackup();
  RetimeTo25Fps();
  EncodeAac();
  WaitForVideo();
  PatchExtractedVideo();
  AssembleMp4();
  FinishMp4();
}

void Conversion::StartVideoBeside(const std::string& commandLine) {
  RunBeside(commandLine);
  videoBeside = true;
}

void Conversion::PatchWhenExtracted(const std::string& video) {
  if (videoBeside) {
    patchAfterVideo = video;
  } else {
    PatchH264Level(video);
  }
}

void Conversion::PatchExtractedVideo() {
  if (patchAfterVideo.empty()) return;
  PatchH264Level(patchAfterVideo);
  patchAfterVideo.clear();
}

void Conversion::DecodeOrBackup() {
  if (Silent() || f.chkFF.Checked()) return;
  if (FfmpegDecodes()) {
    // Retiming works on a WAV: FFmpeg decodes the track first.
    if (RetimesDecodedTrack()) {
      Run(Quoted(f.tools.strFF) + " -f " + f.audioCodec->ffmpegFormat + " -i " + Quoted(ExtractedAudio()) +
          " -acodec pcm_s16le " + Quoted(Out("movie.wav")));
      DeleteFile(ExtractedAudio());
    }
    return;
  }
  if (GraphDecodesChosenTrack()) DecodeAudioToWav(app, f.txtProgress, f.strFullname, f.outputFolder, f.baseName);
  if (!FileIsPresent(Out("movie.wav"))) BackupDecode();
}

bool Conversion::RetimesDecodedTrack() const {
  return f.chk25.Checked() && f.txtSFPS.Text() != "25.000" && f.audioCodec->button < 0;
}

void Conversion::BackupDecode() {
  Progress("Extracting audio with backup method.");
  Run(Quoted(f.tools.strMKV) + " tracks " + Quoted(TrimBlanks(f.strFullname)) + " " + f.txtS2.Text() + ":" +
      Quoted(ExtractedAudio()));
  const std::string wav = Quoted(Out("movie.wav"));
  if (f.audioExt == "aac") {
    Run(Quoted(f.tools.faadPath) + " -d " + Quoted(Out("movie.aac")) + " -o " + wav);
  } else if (f.audioExt == "mp3") {
    Run(Quoted(f.tools.strFF) + " -i " + Quoted(Out("movie.mp3")) + " -acodec pcm_s16le " + wav);
  } else {
    Run(Quoted(f.tools.valdecPath) + " " + Quoted(ExtractedAudio()) + " -wav " + wav +
        " -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8 ");
  }
  DeleteFile(ExtractedAudio());
}

void Conversion::RetimeTo25Fps() {
  const std::string rateText = f.txtSFPS.Text();
  if (!f.chk25.Checked() || rateText == "25.000") return;
  f.fpsArg = "25.000";
  if (Silent()) return;
  Run(Quoted(f.tools.soundstretchPath) + " " + Quoted(Out("movie.wav")) + " " + Quoted(Out("movie2.wav")) +
      " -pitch=-1 ");
  Delete("movie.wav");
  Run(Quoted(f.tools.besweetPath) + " -core( -input " + Quoted(Out("movie2.wav")) + " -2ch -output " +
      Quoted(Out("movie.wav")) + " ) -ota( -r " + RateNumber(rateText) + " 25000 ) ");
  Delete("movie2.wav");
}

void Conversion::EncodeAac() {
  if (Silent()) {
    DeleteFile(Mp4OutputPath());  // an older output must not pass for this run's
    return;
  }
  Progress("Encoding Audio");
  app.host.DoEvents();
  // Adding to an existing MP4 would give it a second pair of tracks: start from a fresh file.
  DeleteFile(Mp4OutputPath());
  if ((FfmpegDecodes() && !RetimesDecodedTrack()) || f.chkFF.Checked()) {
    Run(Quoted(f.tools.strFF) + " -f " + AudioFormat() + " -i " + Quoted(ExtractedAudio()) +
        kStereoAac + Quoted(Out("movie.aac")));
    DeleteFile(ExtractedAudio());
  } else if (f.neroFound) {
    Run(Quoted(f.neroPath) + " -lc -br 256000 -if " + Quoted(Out("movie.wav")) + " -of  " +
        Quoted(Mp4OutputPath()));
    Delete("movie.wav");
  } else {
    Run(Quoted(f.tools.strFF) + " -f wav -i " + Quoted(Out("movie.wav")) + kStereoAac + Quoted(Out("movie.aac")));
    Delete("movie.wav");
  }
}

// ":delay=1980" on the track that starts later than the other by more than a frame; raw H.264
// and the extracted sound both begin at zero, so without it the later one would start early.
std::string Conversion::StartDelay(bool ofVideo) const {
  if (Silent()) return {};
  // The row of the track being converted: the one whose number the track field holds.
  std::optional<double> audio;
  for (const AudioTrackRow& row : app.sourceInfo.audioTracks) {
    if (!row.trackNumber.empty() && TrimBlanks(row.trackNumber) == TrimBlanks(f.audioTrack)) audio = row.start;
  }
  const std::optional<double>& video = app.sourceInfo.videoStart;
  if (!audio || !video) return {};
  // A time before zero is the encoder's priming, which decoding drops: that sound starts at zero.
  const double picture = std::max(0.0, *video), sound = std::max(0.0, *audio);
  double late = ofVideo ? picture - sound : sound - picture;
  // Retimed to 25 fps, the whole film plays faster, its start offset too.
  if (f.chk25.Checked() && f.txtSFPS.Text() != "25.000") late *= std::atof(f.txtSFPS.Text().c_str()) / 25.0;
  constexpr double kFrame = 0.040;
  return late > kFrame ? ":delay=" + std::to_string(std::lround(late * 1000)) : std::string();
}

std::string Conversion::Mp4BoxLine() const {
  std::string tmp = f.outputFolder.substr(0, f.outputFolder.size() - 1);
  if (tmp.empty()) tmp = std::string(1, kSep);  // the root folder has no shorter form
  const std::string& par = app.sourceInfo.parSuffix;
  const std::string tail = " " + Quoted(Mp4OutputPath()) + " -tmp " + Quoted(tmp);
  const std::string mp4box = Quoted(f.tools.strMP4);
  // A re-encoded VfW track is an ordinary stream now: there is no movie_video.h264.
  if (app.sourceInfo.vfwVideo && !f.recodeH264) {
    return mp4box + " -fps " + f.fpsArg + " -add " + Quoted(Out("movie_video.h264" + par + StartDelay(true))) + tail;
  }
  if (Silent()) return mp4box + " -add " + Quoted(Out("movie.h264:fps=" + f.fpsArg + par)) + tail;
  const bool audioInOutput = (IsOneOf(f.audioExt, {"mp3", "aac", "ac3", "dts"}) || f.chk25.Checked()) &&
                             !f.chkFF.Checked() && f.neroFound;
  if (audioInOutput) {
    return mp4box + "  -fps " + f.fpsArg + " -add " + Quoted(Out("movie.h264" + par + StartDelay(true))) + tail;
  }
  return mp4box + " -add " + Quoted(Out("movie.aac" + StartDelay(false))) + " -add " +
         Quoted(Out("movie.h264:fps=" + f.fpsArg + par + StartDelay(true))) + tail;
}

void Conversion::AssembleMp4() {
  Progress("Creating MP4");
  app.host.Repaint();
  app.host.DoEvents();
  const std::string line = Mp4BoxLine();
  StartSourceMeasure();
  Run(line);
  LogLine(line);
}

void Conversion::FinishMp4() {
  Progress("Cleaning temporary files");
  // The size is read a second after the muxer ended; the film is judged within that second.
  const long long muxerEnded = app.sleeper.Milliseconds();
  std::optional<OutputJudgement> judgement;
  if (FileSize(Mp4OutputPath()) > 0) judgement = JudgeOutput(Mp4OutputPath());
  app.sleeper.Sleep(static_cast<int>(std::max(0LL, 1000 - (app.sleeper.Milliseconds() - muxerEnded))));
  app.host.DoEvents();
  FileHandle handle = kInvalidHandle;
  uint64_t size = 0;
  OpenFileAndGetSize(Mp4OutputPath(), handle, size);
  CloseFileHandle(handle);
  if (size == 0) {
    Progress("Conversion Error");
    app.host.MessageBox("Error creating " + Mp4OutputPath() +
                            ", quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.",
                        "MP4box error", MsgIcon::Critical, MsgButtons::Ok);
    return;
  }
  if (!AcceptOutput(Mp4OutputPath(), judgement ? *judgement : JudgeOutput(Mp4OutputPath()))) {
    CommonEnd();
    return;
  }
  f.outputPath = Mp4OutputPath();
  DeleteMp4TempFiles(f.txtTMP);
  f.strSubBrowse.clear();
  Progress("Conversion done");
  f.cmbSubs.SetVisible(false);
  f.lblSRTFound.SetVisible(false);
  app.host.Repaint();
  CommonEnd();
}

}  // namespace parvela
