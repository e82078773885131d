#include <cctype>

#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

std::string MakeFpsArg(const std::string& t) {
  if (t == "23.976") return "24000/1001";
  const std::string firstTwo = t.substr(0, 2);
  if (t.size() >= 4 && t[3] == '9') {
    // A rate just below a whole number (29.970, 59.940) is its NTSC fraction.
    int whole = 0;
    for (char c : firstTwo) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return firstTwo;
      whole = whole * 10 + (c - '0');
    }
    return std::to_string(whole + 1) + "000/1001";
  }
  return firstTwo;
}

std::string TrackSpec(const std::string& track, const std::string& target) {
  return track + ":" + Quoted(target);
}

std::string MkvextractLine(const std::string& strMKV, const std::string& source,
                           const std::vector<std::string>& trackSpecs) {
  std::string line = Quoted(strMKV) + " tracks " + Quoted(TrimBlanks(source));
  for (const auto& track : trackSpecs) line += " " + track;
  return line;
}

void Conversion::ExtractTracks() {
  const std::string videoTrack = f.txtS1.Text();
  const std::string audioTrack = f.txtS2.Text();
  if (f.audioExt == "ogg" || f.chkFF.Checked() || f.chkVob.Checked()) {
    // The audio travels with the video, in the source's own format.
    const std::string video = Out(f.chkVob.Checked() ? "movie_raw.h264" : "movie.h264");
    f.lastCommand = MkvextractLine(f.tools.strMKV, f.strFullname,
                                   {TrackSpec(videoTrack, video), TrackSpec(audioTrack, ExtractedAudio())});
    Run(f.lastCommand);
  } else if (app.sourceInfo.vfwVideo) {
    f.lastCommand = MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(videoTrack, Out("movie.avi"))});
    Run(f.lastCommand);
    f.lastCommand = Quoted(f.tools.strMP4) + " -aviraw video " + Quoted(Out("movie.avi"));
    Run(f.lastCommand);
  } else {
    f.lastCommand = MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(videoTrack, Out("movie.h264"))});
    Run(f.lastCommand);
  }
}

}  // namespace parvela
