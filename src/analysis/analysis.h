// Source analysis: the mkvinfo report parser, the checker's verdict and the source bitrate.
// Source inspection itself is Form1::ReadInfo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parvela {

class Form1;

// Reads the report at app.InfoReportPath(), replaces app.sourceInfo, sets the window's track
// fields, appends the report and its findings to the debug log and deletes the report (a
// read-only report stays). False, with nothing read or changed, when the debug log cannot be
// opened.
bool ParseSourceReport(Form1& form);

// Reads the checker's report, appends it to the debug log and deletes it. True when the stream
// passed, false when a line reports a failed decoded-picture-buffer check.
bool ReadCheckerVerdict(Form1& form);

// The bitrate the H.264 encoder wrote into its option text ("bitrate=" in the first 100000
// bytes), or 8000 when there is none or it is not a positive 16-bit number.
int16_t ReadSourceBitrate(const std::string& path);

// One track of an mkvinfo report, read whole.
struct ReportTrack {
  int ordinal = 0;           // counted from 1 in report order: the number mkvextract is given
  std::string type;          // "video", "audio", "subtitles", ...
  std::string codecId;       // "A_AC3"; "V_MS/VFW/FOURCC" for a track in VfW mode
  std::string fourcc;        // a VfW track's FourCC
  std::string language;
  std::string name;          // the track's own name, if any
  int channels = 0;
  bool hasFrameRate = false;  // a default duration with its frame rate
  int audioNumber = 0;        // the number --audio takes (the audio list's entry, from 1); 0 none
  int subtitleNumber = 0;     // the number --sub-track takes; 0 for subtitles that cannot be burnt in
};
std::vector<ReportTrack> ReadTrackList(const std::vector<std::string>& reportLines);

// The name of a track's format ("AC-3"), or its codec ID when the format is unknown.
std::string CodecNameOf(const std::string& codecId, const std::string& fourcc);
// "AC-3 5.1 · Director's commentary": format, channels, and the name when there is one.
std::string AudioTrackSummary(const std::string& codecId, int channels, const std::string& name);

// The average frame rate of a track from mkvextract's timestamp file (format v2): the frames
// after the first over the time they span, "%.3f"; empty when there are fewer than two frames.
std::string AverageFrameRate(const std::string& timestampFile);

}  // namespace parvela
