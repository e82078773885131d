// Every track of a report with the details the classic scanner passes over: its codec, channels
// and name. The report is cut into track blocks, each read as a whole, so a property missing
// from one track is never taken from the next; the order of the lines within a block is free.
#include <charconv>

#include "analysis/analysis.h"
#include "analysis/codecs.h"
#include "fsutil/fsutil.h"

namespace parvela {

namespace {

// The text after "label" on a line of the given depth ("|  + " for a track's own properties).
bool ValueOf(const std::string& line, std::string_view prefix, std::string& value) {
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  value = TrimBlanks(line.substr(prefix.size()));
  return true;
}

int Number(const std::string& text) {
  int n = 0;
  std::from_chars(text.data(), text.data() + text.size(), n);
  return n;
}

void ReadCodecId(const std::string& value, ReportTrack& t) {
  const size_t fourcc = value.find(" (FourCC: ");
  t.codecId = TrimBlanks(value.substr(0, fourcc));
  if (fourcc != std::string::npos) t.fourcc = value.substr(fourcc + 10, 4);
}

void ReadProperty(const std::string& line, ReportTrack& t) {
  std::string value;
  if (ValueOf(line, "|  + Track type:", value)) t.type = value;
  if (ValueOf(line, "|  + Codec ID:", value)) ReadCodecId(value, t);
  if (ValueOf(line, "|  + Language:", value)) t.language = value;
  if (ValueOf(line, "|  + Name:", value)) t.name = value;
  if (ValueOf(line, "|   + Channels:", value)) t.channels = Number(value);
  if (Contains(line, "fps for a video track")) t.hasFrameRate = true;
}

// Text subtitles are the ones the re-encoders burn in.
bool IsTextSubtitle(const ReportTrack& t) {
  return EndsWith(t.codecId, "TF8") || EndsWith(t.codecId, "SSA") || EndsWith(t.codecId, "ASS");
}

}  // namespace

std::vector<ReportTrack> ReadTrackList(const std::vector<std::string>& lines) {
  std::vector<ReportTrack> tracks;
  bool inTrack = false;
  for (const std::string& line : lines) {
    if (Contains(line, "+ A track")) {
      tracks.push_back({});
      tracks.back().ordinal = static_cast<int>(tracks.size());
      inTrack = true;
    } else if (line.rfind("|+", 0) == 0 || line.rfind("|", 0) != 0) {
      inTrack = false;  // a section after the tracks (tags, chapters, clusters) or the end
    } else if (inTrack) {
      ReadProperty(line, tracks.back());
    }
  }
  int audio = 0, subtitles = 0;
  for (ReportTrack& t : tracks) {
    if (t.type == "audio") t.audioNumber = ++audio;
    if (t.type == "subtitles" && IsTextSubtitle(t)) t.subtitleNumber = ++subtitles;
  }
  return tracks;
}

std::string CodecNameOf(const std::string& codecId, const std::string& fourcc) {
  const CodecInfo* codec = FindCodecByMatroskaId(codecId, fourcc);
  if (codec) return codec->name;
  return fourcc.empty() ? codecId : codecId + " (" + fourcc + ")";
}

std::string AudioTrackSummary(const std::string& codecId, int channels, const std::string& name) {
  std::string text = CodecNameOf(codecId, "");
  const std::string layout = ChannelsText(channels);
  if (!layout.empty()) text += " " + layout;
  if (!name.empty()) text += " \u00B7 " + name;
  return text;
}

}  // namespace parvela
