#include <cctype>
#include <cmath>
#include <cstdlib>

#include "fsutil/fsutil.h"
#include "pipeline/conversion.h"
#include "pipeline/pipeline.h"
#include "process/process.h"

namespace parvela {

namespace {

bool IsFractionalRate(const std::string& t) {
  const size_t point = t.find('.');
  if (point == 0 || point == std::string::npos || point + 1 == t.size()) return false;
  bool fraction = false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (i == point) continue;
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    fraction = fraction || (i > point && t[i] != '0');
  }
  return fraction;
}

// A measured average such as 16.944 also has a 9 after its point, but is no NTSC rate: taken
// for 17000/1001 it would drift from the sound.
bool FarFromNtsc(const std::string& t) {
  if (!IsFractionalRate(t)) return false;
  const double rate = std::atof(t.c_str());
  const double ntsc = (std::floor(rate) + 1) * 1000.0 / 1001.0;
  return std::fabs(rate - ntsc) > 0.01;
}

}  // namespace

std::string MakeFpsArg(const std::string& t) {
  if (t == "23.976") return "24000/1001";
  const std::string firstTwo = t.substr(0, 2);
  if (t.size() >= 4 && t[3] == '9' && !FarFromNtsc(t)) {
    // A rate just below a whole number (29.970, 59.940) is its NTSC fraction.
    int whole = 0;
    for (char c : firstTwo) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return firstTwo;
      whole = whole * 10 + (c - '0');
    }
    return std::to_string(whole + 1) + "000/1001";
  }
  // Any other rate with a fraction (12.500, or a variable rate's average such as 29.412) is
  // given whole: cut to its first two characters it would drift from the sound by minutes.
  if (IsFractionalRate(t)) return t;
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
  if (FfmpegDecodes() || f.chkFF.Checked() || f.chkVob.Checked()) {
    // The audio travels with the video, in the source's own format, unless mkvextract cannot
    // take it out (or there is none).
    const std::string video = Out(f.chkVob.Checked() ? "movie_raw.h264" : "movie.h264");
    std::vector<std::string> specs = {TrackSpec(videoTrack, video)};
    const bool withVideo = !Silent() && (!f.audioCodec || f.audioCodec->extractor == Extractor::Mkvextract);
    if (withVideo) specs.push_back(TrackSpec(audioTrack, ExtractedAudio()));
    f.lastCommand = MkvextractLine(f.tools.strMKV, f.strFullname, specs);
    Run(f.lastCommand);
    if (!Silent() && !withVideo) Run(AudioExtractLine());
  } else if (app.sourceInfo.vfwVideo) {
    f.lastCommand = MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(videoTrack, Out("movie.avi"))});
    Run(f.lastCommand);
    f.lastCommand = Quoted(f.tools.strMP4) + " -aviraw video " + Quoted(Out("movie.avi"));
    Run(f.lastCommand);
  } else {
    f.lastCommand = MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(videoTrack, Out("movie.h264"))});
    // The MP4 road's audio work reads the source, not the video: the video comes out beside it.
    StartVideoBeside(f.lastCommand);
  }
}

std::string Conversion::AudioExtractLine() const {
  if (f.audioCodec && f.audioCodec->extractor == Extractor::Ffmpeg) {
    // FFmpeg counts the streams from 0 in the order mkvinfo counts the tracks from 1.
    const int track = std::atoi(f.txtS2.Text().c_str());
    return Quoted(f.tools.strFF) + " -i " + Quoted(TrimBlanks(f.strFullname)) + " -map 0:" +
           std::to_string(track > 0 ? track - 1 : 0) + " -acodec copy -f " + f.audioCodec->ffmpegFormat + " " +
           Quoted(ExtractedAudio());
  }
  return MkvextractLine(f.tools.strMKV, f.strFullname, {TrackSpec(f.txtS2.Text(), ExtractedAudio())});
}

}  // namespace parvela
