#include "fsutil/cleanup.h"

#include <initializer_list>

#include "fsutil/fsutil.h"
#include "ui/controls.h"

namespace parvela {

namespace {

void DeleteEach(const TextBox& txtTMP, std::initializer_list<const char*> names) {
  for (const char* name : names) DeleteFile(txtTMP.Text() + name);
}

}  // namespace

void DeleteMp4TempFiles(const TextBox& txtTMP) {
  DeleteEach(txtTMP, {"movie.aac", "movie.h264", "movie.avi", "movie_video.h264", "movie.srt",
                      "movie.ssa", "movie.ass", "movie.ac3", "movie.dts", "movie.mp3", "movie.ogg"});
}

void DeleteVc1TempFiles(const TextBox& txtTMP) { DeleteEach(txtTMP, {"movie.avi", "movie.wav"}); }

void DeleteMpegTempFiles(const TextBox& txtTMP) {
  DeleteEach(txtTMP, {"movie.aac", "movie.h264", "movie.avi", "movie_video.h264", "movie.meta",
                      "movie.srt", "movie.ssa", "movie.ass", "movie.ac3", "movie.dts", "movie.mp3",
                      "movie.ogg", "movie_raw.h264"});
}

}  // namespace parvela
