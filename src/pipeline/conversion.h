// One run of the conversion driver and its stages (internal to the pipeline).
#pragma once

#include <string>

#include "ui/form1.h"

namespace parvela {

class Conversion {
 public:
  explicit Conversion(Form1& form) : f(form), app(form.app) {}
  void Run();

 private:
  // Driver (driver.cpp).
  bool CheckPreconditions();
  bool SetUp();  // false when the source could not be inspected
  void ChooseAacEncoder();
  std::string AudioExtFromButtons() const;
  bool SplitRoadApplies();
  void CommonStartAndRoads();
  void AdjustHeader();
  void CommonEnd();
  void RoadNotAvailable(const std::string& what);
  bool RefuseWithoutAudio();

  // Refusals before any tool runs (safeguards.cpp); true when the run ended with a message.
  bool RefuseUnwritableFolder();
  bool RefuseSourceAsOutput();
  bool RefuseUnknownVideo();
  void EndRefused(const std::string& text, const std::string& title);

  // Track extraction (extraction.cpp).
  void ExtractTracks();

  // Audio conversion chain (audio_chain.cpp), shared by the roads that mux AC-3.
  // False when the audio error ended the run; the caller then returns at once.
  enum class ChainRoad { Mpeg2, Xvid };
  bool ConvertAudioToAc3(ChainRoad road = ChainRoad::Mpeg2);
  void PrepareSubtitleArg();

  // Transport-stream road (ts_road.cpp).
  void TransportStreamRoad();

  // H.264 re-encoding (h264_recode.cpp).
  void ReencodeH264();

  // MPEG-2 re-encoding and program-stream muxing (mpeg2_road.cpp).
  void Mpeg2RecodeRoad();

  // Xvid re-encoding and AVI muxing (xvid_road.cpp).
  void XvidRoad();

  // Split conversion of large sources (split.cpp).
  void SplitAndConvert();

  // VC-1 and MPEG-2 sources (vc1_mpeg2.cpp).
  void ConvertVc1();
  void RepackMpeg2();

  // MP4 road (mp4_road.cpp).
  void Mp4Road();
  void DecodeOrBackup();
  void BackupDecode();
  void RetimeTo25Fps();
  void EncodeAac();
  void AssembleMp4();
  void FinishMp4();
  std::string Mp4BoxLine() const;

  // Small shared pieces.
  std::string Out(const std::string& name) const { return f.outputFolder + name; }
  std::string Mp4OutputPath() const;
  std::string ExtractedAudio() const { return Out("movie." + f.audioExt); }
  int Run(const std::string& commandLine);
  void Progress(const std::string& text) { f.SetProgress(text); }
  void LogLine(const std::string& line);
  void Delete(const std::string& name);

  Form1& f;
  Application& app;
};

}  // namespace parvela
