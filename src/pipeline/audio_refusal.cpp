// An audio track FFmpeg reads no sound from is refused before any tool runs, naming the track
// and the ways out: every road would otherwise end at its audio check with a message that says
// nothing of why. A film without its sound is made only when asked for (no audio track chosen).
#include "analysis/analysis.h"
#include "pipeline/conversion.h"

namespace parvela {

namespace {

// "2" or "2 and 3": the --audio numbers of the listed tracks FFmpeg decodes, other than `chosen`.
std::string OtherDecodableTracks(const SourceInfo& info, int listed, int chosen) {
  std::vector<int> numbers;
  for (int i = 0; i < listed && i < kTrackRows; ++i) {
    if (i != chosen && !info.audioTracks[static_cast<size_t>(i)].undecodable) numbers.push_back(i + 1);
  }
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == numbers.size() ? " and " : ", ") + std::to_string(numbers[i]);
  }
  return text;
}

}  // namespace

std::string UndecodableAudioText(const SourceInfo& info, int listed, int chosen) {
  const AudioTrackRow& row = info.audioTracks[static_cast<size_t>(chosen)];
  const std::string others = OtherDecodableTracks(info, listed, chosen);
  const std::string wayOut =
      others.empty() ? "The source has no other audio track; --audio none converts the picture alone."
                     : "Choose another audio track (--audio N; " + others +
                           (others.find(' ') == std::string::npos ? " decodes" : " decode") +
                           "), or none (--audio none) for the picture alone.";
  return "The audio track " + std::to_string(chosen + 1) + " (" + CodecNameOf(row.codecId, "") +
         ") cannot be decoded: FFmpeg finds no sound in it. " + wayOut + " Nothing was converted.";
}

bool Conversion::RefuseUndecodableAudio() {
  if (Silent()) return false;
  const int chosen = f.cmbAudio.ListIndex();
  if (chosen < 0 || chosen >= kTrackRows || !app.sourceInfo.audioTracks[static_cast<size_t>(chosen)].undecodable) {
    return false;
  }
  EndRefused(UndecodableAudioText(app.sourceInfo, f.cmbAudio.ListCount(), chosen), "Audio error");
  return true;
}

}  // namespace parvela
