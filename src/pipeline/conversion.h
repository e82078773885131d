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
  void SetUp();
  void ChooseAacEncoder();
  std::string AudioExtFromButtons() const;
  bool SplitRoadApplies();
  void CommonStartAndRoads();
  void AdjustHeader();
  void CommonEnd();
  void RoadNotAvailable(const std::string& what);
  bool RefuseWithoutAudio();

  // Track extraction (extraction.cpp).
  void ExtractTracks();

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
