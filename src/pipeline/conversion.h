// One run of the conversion driver and its stages (internal to the pipeline).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/codecs.h"
#include "ui/form1.h"

namespace parvela {

// Why the listed audio track `chosen` (from 0) cannot be converted, and which others can.
std::string UndecodableAudioText(const SourceInfo& info, int listed, int chosen);

// Thrown at the next step of a run the user stopped; the outermost "Convert" catches it.
struct RunStopped {};
// Thrown when a tool of the run was ended by a signal (or an exception) instead of exiting:
// its files cannot be trusted. The outermost "Convert" catches it.
struct ToolCrashed {
  std::string how;  // "MP4Box.exe was ended by signal 11 (Segmentation fault)"
};

class Conversion {
 public:
  explicit Conversion(Form1& form) : f(form), app(form.app) {}
  // A run that ends early still lets a video encode started beside it finish.
  ~Conversion() {
    WaitForVideo();
    DropSourceMeasure();
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;
  void Run();

  // Where burnt-in subtitles come from, first match wins: an SRT beside the source, a file
  // picked with "Browse Subs", the source's own track, or none.
  enum class SubtitleSource { SrtBesideSource, Browsed, Track, None };

 private:
  friend class ConversionProbe;  // unit tests drive single stages
  // Driver (driver.cpp).
  bool CheckPreconditions();
  bool SetUp();  // false when the source could not be inspected
  void ChooseAacEncoder();
  std::string AudioExtFromButtons() const;
  bool SplitRoadApplies();
  void CommonStartAndRoads();
  void AdjustHeader();
  void CommonEnd();
  const CodecInfo* ChosenAudioCodec() const;
  // The source has no audio track: every road makes a silent output. (A VfW or MPEG-2 source
  // lists no track, and its roads find the audio themselves.)
  bool Silent() const {
    const int count = app.sourceInfo.audioTrackCount;
    return count == 0 || (count < 0 && f.audioCodec == nullptr);
  }
  // FFmpeg's name for the extracted track's format ("-f ogg").
  std::string AudioFormat() const { return f.audioCodec ? f.audioCodec->ffmpegFormat : f.audioExt; }
  // The chosen track's format has no decoder but FFmpeg (Vorbis, FLAC, Opus, E-AC-3, ...).
  bool FfmpegDecodes() const;
  // The decoding graph always decodes the source's first audio track.
  bool GraphDecodesChosenTrack() const;
  int ChosenChannels() const;

  // Refusals before any tool runs (safeguards.cpp); true when the run ended with a message.
  bool RefuseUnwritableFolder();
  bool RefuseSourceAsOutput();
  bool RefuseUnknownVideo();
  bool RefuseBadFrameRate();
  // An audio track FFmpeg decodes no sound from (audio_refusal.cpp).
  bool RefuseUndecodableAudio();
  void EndRefused(const std::string& text, const std::string& title);
  // The safety net after a road made its film: false, after the error, when the front end's
  // judge finds that no console plays it; the film and the temporary files then stay.
  bool PlaysOnAConsole(const std::string& path);
  // The same in two halves: what the probes find (no message, nothing moved), and what the run
  // makes of it. A road may probe while it waits for something else.
  struct OutputJudgement {
    std::string playsNowhere;  // the judge's reason no console plays the file
    std::string notWhole;      // what the file lacks of its source
  };
  OutputJudgement JudgeOutput(const std::string& path);
  bool AcceptOutput(const std::string& path, const OutputJudgement& judgement);

  // What a run owns (run_safety.cpp). Before the first tool: the temporary files an earlier
  // run left are set aside (once per outermost run), and so are earlier outputs of this run's
  // names. After the verdict: the output is held to its source's lengths.
  void SetAsideEarlierRunsFiles();
  void KeepEarlierOutputs();
  std::vector<std::string> EarlierOutputNames() const;
  bool IsOutputName(const std::string& name) const;
  std::string LengthsDisagree(const std::string& path);
  bool RejectOutput(const std::string& path, const std::string& why, const std::string& title);

  // Track extraction (extraction.cpp).
  void ExtractTracks();
  // Takes the chosen audio track alone out of the source: mkvextract, or FFmpeg for a codec
  // mkvextract refuses.
  std::string AudioExtractLine() const;

  // Audio conversion chain (audio_chain.cpp), shared by the roads that mux AC-3.
  // False when the audio error ended the run; the caller then returns at once.
  enum class ChainRoad { Mpeg2, Xvid };
  bool ConvertAudioToAc3(ChainRoad road = ChainRoad::Mpeg2);
  void PrepareSubtitleArg();
  bool Ac3Produced();
  // False, after the error, when the muxer left no film at `target`: the temporary files stay.
  bool MuxedFilmMade(const std::string& target, const std::string& tool);
  std::string ValdecLine(const std::string& input, const std::string& options) const;
  std::string AacToPcmLine() const;
  std::string AftenLine() const;
  void GraphOrFfmpegToWav(bool trackExtracted);

  // Transport-stream road (ts_road.cpp).
  void TransportStreamRoad();
  void TsAudioToAc3();
  void WriteTsMeta();
  std::string TsMuxerLine() const;

  // H.264 re-encoding (h264_recode.cpp), with the subtitle choice the re-encoding roads share.
  SubtitleSource ChooseSubtitleSource() const;
  std::string SubtitleFile(SubtitleSource source) const;
  void ExtractSubtitleTrack();
  std::string X264Line(SubtitleSource source) const;
  // The encoder line with the source's frame scaled into what the consoles decode of `target`
  // (ffprobe's name of the format written) when it does not fit; unchanged when it does.
  std::string WithinFrameLimit(std::string line, const char* target) const;
  void ReencodeH264();
  // The video encode or extraction of the MP4 road runs beside its audio work; the muxer waits
  // for it here.
  void WaitForVideo();
  void StartVideoBeside(const std::string& commandLine);
  // The level patch, at once, or once the video extracted beside has come out.
  void PatchWhenExtracted(const std::string& video);
  void PatchExtractedVideo();

  // MPEG-2 re-encoding and program-stream muxing (mpeg2_road.cpp).
  void Mpeg2RecodeRoad();
  std::string Mpeg2EncodeLine(SubtitleSource source) const;
  std::string Mpeg2MuxLine(const std::string& target) const;
  // The name the muxer writes: the output's, unless that is the road's temporary video.
  std::string MuxTarget(const std::string& output, const std::string& tempVideo) const;

  // Xvid re-encoding and AVI muxing (xvid_road.cpp).
  void XvidRoad();
  std::string XvidEncodeLine(SubtitleSource source) const;
  void WriteMuxerScript(const std::string& target);

  // Split conversion of large sources (split.cpp). False when the source is too small to split.
  bool SplitAndConvert();
  int32_t SplitThreshold() const;
  bool RoomForPieces(uint64_t sourceBytes);
  std::string MakeSplitFolder();
  std::string SplitSubtitleArg();
  std::string MkvmergeSplitLine(const std::string& folder, const std::string& trackArg) const;
  void ConvertPieces(const std::string& folder, const std::vector<std::string>& names);
  void RemoveSplitFolder(const std::string& folder);
  void SplitFailed(const std::string& text);

  // VC-1 and MPEG-2 sources (vc1_mpeg2.cpp).
  void ConvertVc1();
  bool ExtractVc1Video();
  void RepackMpeg2();
  bool FirstAudioNeedsFfmpeg() const;
  void SourceRoadFailed(const std::string& text, const std::string& title);

  // MP4 road (mp4_road.cpp).
  void Mp4Road();
  void DecodeOrBackup();
  bool RetimesDecodedTrack() const;
  void BackupDecode();
  void RetimeTo25Fps();
  void EncodeAac();
  void AssembleMp4();
  void FinishMp4();
  std::string Mp4BoxLine() const;
  std::string StartDelay(bool ofVideo) const;

  // Small shared pieces.
  std::string Out(const std::string& name) const { return f.outputFolder + name; }
  std::string Mp4OutputPath() const;
  std::string ExtractedAudio() const { return Out("movie." + f.audioExt); }
  int Run(const std::string& commandLine);
  // A tool started beside the next ones, its progress in the beside meter (beside_run.cpp).
  void RunBeside(const std::string& commandLine);
  int EndBeside();
  void Progress(const std::string& text) {
    StopIfAsked();
    f.SetProgress(text);
  }
  void StopIfAsked() const {
    if (app.stopRequested) throw RunStopped{};
  }
  void LogLine(const std::string& line);
  void Delete(const std::string& name);

  Form1& f;
  Application& app;
  bool videoBeside = false;  // mencoder or mkvextract was started beside the audio work
  std::string patchAfterVideo;  // the video to patch once it has come out beside
  // The source's lengths, read beside the muxing: its report, once started (run_safety.cpp).
  void StartSourceMeasure();
  std::string EndSourceMeasure();
  void DropSourceMeasure();  // a run that ended before its check: the report goes
  std::string sourceReport;
};

}  // namespace parvela
