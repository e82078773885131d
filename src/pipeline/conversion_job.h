// The state of one conversion run and the table of external programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parvela {

// Every external program at its fixed place under the application folder.
struct ToolPaths {
  std::string strMKV;            // mkvextract
  std::string strMKVmerge;
  std::string strFF;             // FFmpeg
  std::string strMP4;            // MP4Box
  std::string h264infoPath;
  std::string besweetPath;
  std::string soundstretchPath;
  std::string tsmuxerPath;
  std::string aftenPath;
  std::string valdecPath;
  std::string mencoderPath;
  std::string fontPath;
  std::string strMKVInfo;
  std::string x264CheckerPath;
  std::string faadPath;
  std::string avimuxPath;

  // Recomputes every entry from the application folder (no trailing separator).
  void Fill(const std::string& appFolder);
};

struct CodecInfo;

// The main window's member variables and the values one run derives. The window model owns
// them; a split conversion's nested runs share them.
struct ConversionJob {
  std::string strFullname;   // the Matroska file being converted
  std::string strFilename;   // the source as last chosen
  std::string strMKVPath;    // folder of the source, ending in the separator
  std::string baseName;      // file name less its last four characters
  std::string outputFolder;  // txtTMP text, ending in the separator after set-up
  std::string videoTrack;
  std::string audioTrack;
  std::string fpsText;
  std::string fpsArg;
  std::string audioExt;      // "ac3", "dts", "ogg", "mp3" or "aac"; the codec row's for others
  // The chosen audio track's row of the codec table; null for a source without audio.
  const CodecInfo* audioCodec = nullptr;
  std::string neroPath;
  bool neroFound = false;
  bool bSplit = false;
  bool bChapters = false;
  bool bSubs = false;
  std::string strSubBrowse;
  std::string strH264Opts;
  std::string strSubOpts;
  std::string strH264Bitrate;
  std::string strConvOpts;
  int32_t splitThresholdKB = 0;
  int32_t splitPieceKB = 0;
  bool recodeH264 = false;
  bool recodeXvid = false;
  std::string subtitleFormat;
  std::string subtitleArg;
  std::string lastCommand;
  // The file this run finished, recorded by its road once the output checks out; empty when
  // the run made none.
  std::string outputPath;
  // Earlier outputs of the same names, set aside under KeptName (fsutil/kept_files.h) while this
  // run makes their successors; each goes back when the outermost run ends, unless the run
  // that set it aside judged its successor (`replaced`).
  struct KeptOutput {
    std::string path;
    bool replaced = false;
  };
  std::vector<KeptOutput> keptOutputs;
};

}  // namespace parvela
