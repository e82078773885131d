// Drives h264info, which takes no arguments: it reads its input and output paths from the ini
// file beside it, so that file is rewritten from scratch for every stream.
#include "fsutil/fsutil.h"
#include "process/process.h"
#include "streams/streams.h"

namespace parvela {

void RewriteH264Header(ProcessRunner& runner, const std::string& toolHome, const std::string& outputFolder) {
  const std::string toolFolder = toolHome + kSep + "h264info" + kSep;
  const std::string ini = toolFolder + "h264info.ini";
  DeleteFile(ini);
  // Unquoted values: the tool takes everything after "=" as the path.
  WriteTextLines(ini, {"[Paths]", "InputPath=" + outputFolder + "movie_raw.h264",
                       "OutputPath=" + outputFolder + "movie.h264"});
  // Quoted, so that an application folder with a blank still names the tool.
  runner.RunAndWaitHidden(Quoted(toolFolder + "h264info.exe"));
  DeleteFile(outputFolder + "movie_raw.h264");
}

}  // namespace parvela
