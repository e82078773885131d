#include "fsutil/fsutil.h"
#include "pipeline/conversion_job.h"

namespace parvela {

namespace {

// Relative paths keep their letter case: "FFMpeg" and "ffmpeg" both exist in the tool folder.
std::string Under(const std::string& appFolder, std::initializer_list<const char*> parts) {
  std::string path = appFolder;
  for (const char* part : parts) {
    path += kSep;
    path += part;
  }
  return path;
}

}  // namespace

void ToolPaths::Fill(const std::string& appFolder) {
  strMKV = Under(appFolder, {"MKVToolnix", "mkvextract.exe"});
  strMKVmerge = Under(appFolder, {"MKVToolnix", "mkvmerge.exe"});
  strFF = Under(appFolder, {"FFMpeg", "FFmpeg.exe"});
  strMP4 = Under(appFolder, {"MP4Box", "MP4Box.exe"});
  h264infoPath = Under(appFolder, {"h264info", "h264info.exe"});
  besweetPath = Under(appFolder, {"besweet", "BeSweet.exe"});
  soundstretchPath = Under(appFolder, {"Sounds", "soundstretch.exe"});
  tsmuxerPath = Under(appFolder, {"TS", "tsmuxer.exe"});
  aftenPath = Under(appFolder, {"aften", "aften.exe"});
  valdecPath = Under(appFolder, {"ac3filter", "valdec.exe"});
  mencoderPath = Under(appFolder, {"Mencoder", "Mencoder.exe"});
  fontPath = Under(appFolder, {"Mencoder", "font.ttf"});
  strMKVInfo = Under(appFolder, {"MKVToolnix", "mkvinfo.exe"});
  x264CheckerPath = Under(appFolder, {"Checker", "x264_checker.exe"});
  faadPath = Under(appFolder, {"ffmpeg", "faad.exe"});
  avimuxPath = Under(appFolder, {"avimux", "avimux_gui.exe"});
}

}  // namespace parvela
