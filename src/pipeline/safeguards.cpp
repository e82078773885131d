// What the driver refuses before any tool runs: an output folder it cannot write, an output
// that would replace the source, and video no road converts. Each ends the run with a message.
#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"

namespace parvela {

void Conversion::EndRefused(const std::string& text, const std::string& title) {
  app.host.MessageBox(text, title, MsgIcon::Critical, MsgButtons::Ok);
  Progress("Conversion error.");
  CommonEnd();
}

bool Conversion::RefuseUnwritableFolder() {
  if (FolderIsWritable(f.txtTMP.Text())) return false;
  EndRefused("The output folder " + f.txtTMP.Text() + " cannot be written. Nothing was converted.",
             "Folder error");
  return true;
}

bool Conversion::RefuseSourceAsOutput() {
  // The MP4 road deletes its output before it starts afresh: the source must not be that file.
  for (const std::string& output : {Mp4OutputPath(), Out(f.baseName + ".mpg"), Out(f.baseName + ".avi")}) {
    if (!IsSameFile(output, f.strFullname)) continue;
    EndRefused("The output file " + output + " would replace the source. Choose another output folder. "
               "Nothing was converted.",
               "Folder error");
    return true;
  }
  return false;
}

bool Conversion::RefuseUnknownVideo() {
  const SourceInfo& info = app.sourceInfo;
  if (!info.videoKind.empty() || info.videoCodec.empty()) return false;
  EndRefused("The video of this source (" + info.videoCodec + ") is not in a format Parvela converts "
             "(H.264, MPEG-2 or VC-1). Nothing was converted.",
             "Video error");
  return true;
}

}  // namespace parvela
