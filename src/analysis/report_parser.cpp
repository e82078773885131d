// The mkvinfo report parser. It reads mkvinfo's classic indented tree by substring tests and
// fixed 1-based columns; those columns are the contract with the report layout:
//   "|  + Default duration: 41.708ms (23.976 fps for a video track)"  frame rate at 34, 6 chars
//   "|   + Pixel width: 1920"                                           value after column 19
//   "|   + Display width: 1920"                                         value after column 21
//   "|  + Language: eng"                                                audio language from 15
#include <charconv>
#include <exception>
#include <optional>
#include <utility>

#include "analysis/analysis.h"
#include "analysis/codecs.h"
#include "analysis/report_text.h"
#include "fsutil/fsutil.h"
#include "ui/form1.h"

namespace parvela {

namespace {

using analysis::Columns;
using analysis::DebugLog;
using analysis::FromColumn;
using analysis::LastChars;
using analysis::ReportCursor;

struct Parse {
  Form1& form;
  SourceInfo& info;
  DebugLog& log;
  const std::vector<std::string>& lines;
  std::vector<ReportTrack> tracks;  // every track read whole, by ordinal from 1
  int audioRows = 0;
  int subtitleRows = 0;
};

std::optional<long long> AsInteger(const std::string& text) {
  const std::string trimmed = TrimBlanks(text);
  long long value = 0;
  const char* end = trimmed.data() + trimmed.size();
  auto [ptr, ec] = std::from_chars(trimmed.data(), end, value);
  if (trimmed.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// A track stored narrower than it is shown gets the pixel aspect for the MP4 muxer. Widths that
// are not numbers give no suffix: there is nothing sound to compare.
std::string ParSuffix(const std::string& pixelWidth, const std::string& displayWidth) {
  if (displayWidth == pixelWidth) return {};
  auto pixel = AsInteger(pixelWidth);
  auto display = AsInteger(displayWidth);
  if (!pixel || !display || *pixel >= *display) return {};
  return ":par=" + displayWidth + ":" + pixelWidth;
}

// Only the first video track decides the VfW mode: a cover picture stored in VfW mode after
// the film (a PNG) is not the film.
void CopyPass(Parse& p) {
  bool videoCodecSeen = false;
  for (const std::string& line : p.lines) {
    p.log.Write(line);
    const bool seenBefore = videoCodecSeen;
    videoCodecSeen = videoCodecSeen || Contains(line, "Codec ID: V_");
    if (seenBefore || !Contains(line, "VFW/FOURCC")) continue;
    p.log.Write("Embedded VFW/FOURCC file in mkv");
    p.form.txtS1.SetText("1");
    p.info.vfwVideo = true;
  }
}

// The first video codec line names the codec, so that a source whose video is not converted can
// be told what it holds: the Codec ID, or the FourCC of a track in VfW mode.
void NoteVideoCodec(Parse& p, const std::string& line) {
  const size_t at = line.find("Codec ID: V_");
  if (!p.info.videoCodec.empty() || at == std::string::npos) return;
  const size_t fourcc = line.find("(FourCC: ", at);
  p.info.videoCodec = fourcc == std::string::npos ? TrimBlanks(line.substr(at + 10)) : line.substr(fourcc + 9, 4);
}

const char* KindLogLine(std::string_view kind) {
  if (kind == "vc1") return "VC1 mkv";
  if (kind == "mpeg2") return "mpeg2 mkv";
  return "AVC mkv";
}

void VideoKindPass(Parse& p) {
  for (const std::string& line : p.lines) {
    NoteVideoCodec(p, line);
    if (p.info.videoKind == "vc1") return;
    for (const CodecInfo& codec : CodecTable()) {
      if (codec.kind != CodecKind::Video || !*codec.reportTag || !Contains(line, codec.reportTag)) continue;
      p.log.Write(KindLogLine(codec.videoKind));
      p.info.videoKind = codec.videoKind;
    }
  }
}

const ReportTrack& TrackOf(const Parse& p, int ordinal) {
  static const ReportTrack kNone;
  return ordinal >= 1 && ordinal <= static_cast<int>(p.tracks.size()) ? p.tracks[static_cast<size_t>(ordinal - 1)]
                                                                       : kNone;
}

// False when the report ended during the track: the pass ends with it.
bool ReadVideoTrack(Parse& p, ReportCursor& c, int counter) {
  p.form.txtS1.SetText(std::to_string(counter));
  p.log.Write("Video found on track " + std::to_string(counter));
  // A track without a default duration (variable frame rate) has no rate to read: a search for
  // it would run through the tracks after it. Inspection measures the rate instead.
  if (TrackOf(p, counter).hasFrameRate) {
    if (!c.ForwardTo("fps for a video track")) return false;
    p.form.txtSFPS.SetText(Columns(c.Line(), 34, 6));
  } else {
    p.form.txtSFPS.SetText("");
    p.info.videoRateMissing = true;
  }
  if (!c.ForwardTo("Pixel width")) return false;
  std::string width = FromColumn(c.Line(), 20);
  if (width.empty()) width = "0";
  if (!c.Next()) return false;
  // The height label is one character longer, so this keeps a leading blank; it is only logged.
  const std::string height = FromColumn(c.Line(), 20);
  p.info.videoWidth = static_cast<int>(AsInteger(width).value_or(0));
  p.info.videoHeight = static_cast<int>(AsInteger(height).value_or(0));
  if (!c.ForwardTo("Display width")) return false;
  p.info.parSuffix = ParSuffix(width, FromColumn(c.Line(), 22));
  p.log.Write("Video info: Pixel resolution: " + width + "x" + height +
              ". Display resolution adaptation: " + p.info.parSuffix);
  return true;
}

// Applies every codec test that matches the Codec ID line; the last match is the track's code.
// A track of a format without a button has no code: it selects none, and FFmpeg decodes it.
std::string AudioCodeOf(Parse& p, const std::string& line, int counter) {
  std::string code;
  for (const CodecInfo& codec : CodecTable()) {
    if (codec.kind != CodecKind::Audio || !*codec.reportTag || !Contains(line, codec.reportTag)) continue;
    const int index = codec.button;
    p.form.txtS2.SetText(std::to_string(counter));
    p.form.Option1.Select(index);
    // Only AC-3 can be decoded by ffmpeg for the sync work-around. A box ticked before the
    // inspection is cleared too: for AAC it would have ffmpeg write over its own input.
    if (index > 0) {
      p.form.chkFF.SetValue(0);
      p.form.chkFF.SetEnabled(false);
    }
    code = std::to_string(index);
  }
  if (code.empty()) {
    p.form.chkFF.SetValue(0);  // the work-around decodes AC-3 only
    p.form.chkFF.SetEnabled(false);
  }
  return code;
}

std::string CodecIdOf(const std::string& line) {
  const size_t at = line.find("Codec ID:");
  if (at == std::string::npos) return {};
  const std::string id = TrimBlanks(line.substr(at + 9));
  return id.substr(0, id.find(' '));
}

bool ReadAudioTrack(Parse& p, ReportCursor& c, int counter) {
  if (!c.ForwardTo("Codec ID")) return false;
  const std::string code = AudioCodeOf(p, c.Line(), counter);
  const std::string codecId = CodecIdOf(c.Line());
  if (!c.ForwardTo("Language:")) return false;
  if (p.audioRows < kTrackRows) {
    const ReportTrack& t = TrackOf(p, counter);
    p.info.audioTracks[static_cast<size_t>(p.audioRows++)] = {FromColumn(c.Line(), 15), code, std::to_string(counter),
                                                              codecId, t.channels, t.name};
  }
  return true;
}

void TrackPass(Parse& p) {
  ReportCursor c(p.lines);
  int counter = 0;
  bool videoSeen = false;
  while (c.Next()) {
    if (!Contains(c.Line(), "+ A track")) continue;
    ++counter;
    if (!c.ForwardTo("Track type")) return;
    const std::string type = TrimBlanks(LastChars(c.Line(), 5));
    bool more = true;
    if (type == "video" && !videoSeen) {
      more = ReadVideoTrack(p, c, counter);
      videoSeen = true;
    } else if (type == "audio") {
      more = ReadAudioTrack(p, c, counter);
    }
    if (!more) return;
  }
}

// The code starts ten characters after "Language:", past the label and its blank.
std::string SubtitleLanguage(const std::string& line) {
  const size_t at = line.find("Language:");
  std::string language = FromColumn(line, (at == std::string::npos ? 0 : at + 1) + 10);
  return language == "und" ? "undefined" : language;
}

bool ReadSubtitleTrack(Parse& p, ReportCursor& c, int counter) {
  if (!c.ForwardTo("Codec ID")) return false;
  std::string format = LastChars(c.Line(), 3);
  std::string_view languageLabel = "Language:";
  if (format == "TF8") {  // S_TEXT/UTF8
    format = "srt";
    languageLabel = "Language";
  } else if (format != "SSA" && format != "ASS") {
    return true;  // bitmap and other subtitles cannot be burnt in
  }
  if (!c.ForwardTo(languageLabel)) return false;
  if (p.subtitleRows < kTrackRows) {
    p.info.subtitleTracks[static_cast<size_t>(p.subtitleRows++)] = {SubtitleLanguage(c.Line()), format,
                                                                    std::to_string(counter)};
  }
  return true;
}

void SubtitlePass(Parse& p) {
  ReportCursor c(p.lines);
  int counter = 0;
  while (c.Next()) {
    if (Contains(c.Line(), "+ A track")) {
      ++counter;
    } else if (EndsWith(TrimBlanks(c.Line()), "subtitles")) {
      if (!ReadSubtitleTrack(p, c, counter)) return;
    }
  }
}

void ShowSubtitleControls(Parse& p) {
  Form1& f = p.form;
  const bool any = p.subtitleRows > 0;
  for (int i = 0; i < p.subtitleRows; ++i)
    f.cmbSubs.AddItem(p.info.subtitleTracks[static_cast<size_t>(i)].language);
  f.cmbSubs.SetVisible(any);
  if (any) f.chkSubs.SetValue(0);
  f.chkSubs.SetVisible(any);
  f.lblSubs.SetVisible(any);
  if (any) f.cmbSubs.SetListIndex(0);
}

// "| + Duration: 5400.000s (01:30:00.000)": the seconds of the segment, for the whole run's
// estimate; 0 when the report names none.
double SegmentDuration(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const size_t at = line.find("+ Duration: ");
    if (at == std::string::npos || line.find("Default duration") != std::string::npos) continue;
    try {
      return std::stod(line.substr(at + 12));
    } catch (const std::exception&) {
      return 0;
    }
  }
  return 0;
}

void UpdateWindow(Parse& p) {
  Form1& f = p.form;
  f.cmbAudio.Clear();
  f.cmbSubs.Clear();
  for (int i = 0; i < p.audioRows; ++i)
    f.cmbAudio.AddItem(p.info.audioTracks[static_cast<size_t>(i)].language);
  f.lblAudioInfo.SetCaption("");  // a silent source shows no track
  f.cmbAudio.SetListIndex(0);  // runs cmbAudio_Click when there is an entry
  const AudioTrackRow& first = p.info.audioTracks[0];
  if (!first.codecCode.empty()) {
    f.Option1.Select(std::stoi(first.codecCode));
  } else if (p.audioRows > 0) {
    f.Option1.Clear();  // a format without a button: no button may name another one
  }
  f.txtS2.SetText(first.trackNumber);
  ShowSubtitleControls(p);
}

}  // namespace

bool ParseSourceReport(Form1& form) {
  DebugLog log(form.app.DebugLogPath());
  if (!log.IsOpen()) return false;
  const std::string report = form.app.InfoReportPath();
  std::vector<std::string> lines;
  ReadTextLines(report, lines);  // a report that cannot be read parses as an empty one
  form.app.sourceInfo = SourceInfo{};
  Parse p{form, form.app.sourceInfo, log, lines, ReadTrackList(lines)};
  p.info.audioTrackCount = 0;
  p.info.trackCount = static_cast<int>(p.tracks.size());
  for (const ReportTrack& t : p.tracks) {
    if (t.type != "audio") continue;
    if (p.info.audioTrackCount++ == 0) p.info.firstAudioCodecId = t.codecId;
  }
  p.info.durationSeconds = SegmentDuration(lines);
  CopyPass(p);
  VideoKindPass(p);
  // A VfW track other than VC-1 (FFV1, Xvid) is re-encoded, which needs its audio tracks.
  if (p.info.videoKind != "mpeg2" && (!p.info.vfwVideo || p.info.videoKind.empty())) {
    TrackPass(p);
    SubtitlePass(p);
  }
  UpdateWindow(p);
  DeleteFile(report);
  return true;
}

}  // namespace parvela
