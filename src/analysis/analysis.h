// Source analysis: the mkvinfo report parser, the checker's verdict and the source bitrate.
// Source inspection itself is Form1::ReadInfo.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parvela {

class Form1;
struct Application;
struct SourceInfo;

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
  // (Neither is given for MPEG-2 video or video in VfW mode: the window lists no tracks for them.)
};
std::vector<ReportTrack> ReadTrackList(const std::vector<std::string>& reportLines);

// The name of a track's format ("AC-3"), or its codec ID when the format is unknown.
std::string CodecNameOf(const std::string& codecId, const std::string& fourcc);
// "AC-3 5.1 · Director's commentary": format, channels, and the name when there is one.
std::string AudioTrackSummary(const std::string& codecId, int channels, const std::string& name);

// The average frame rate of a track from mkvextract's timestamp file (format v2): the frames
// after the first over the time they span, "%.3f"; empty when there are fewer than two frames.
std::string AverageFrameRate(const std::string& timestampFile);
// The frames the same file lists; 0 when there is none or no file.
size_t TimestampCount(const std::string& timestampFile);

// One stream of the source as ffprobe met it in the first seconds.
struct ProbedStream {
  std::string type;   // "video", "audio", "subtitle", ... ; empty for an index ffprobe did not list
  std::string codec;  // ffprobe's codec name; "unknown" for a format FFmpeg does not know
  int channels = 0;
  int packets = 0;    // read in the first seconds
  int frames = 0;     // decoded from them (of the video, the pictures a decoder starts at)
  std::optional<double> start;  // the stream's first timestamp, in seconds
};

// FFmpeg's account of a source, indexed as ffprobe counts streams (a track's number less one).
struct SourceProbe {
  bool ran = false;   // the application folder has ffprobe
  bool read = false;  // ffprobe read the file and found streams in it
  std::vector<ProbedStream> streams;
  // The stream at `index` when it is of `type`; null otherwise.
  const ProbedStream* Stream(size_t index, const char* type) const;
};

// The ffprobe line of the probe, the report going to `reportPath`.
std::string ProbeLine(const std::string& ffprobePath, const std::string& reportPath, const std::string& source);
// Runs ffprobe on the source's first seconds; not run (`ran` false) without ffprobe.
SourceProbe ProbeSource(Application& app, const std::string& source);

// Whether some road can convert the source's video: it has a road of its own, the codec table
// knows the format, or FFmpeg decoded a picture of it.
bool VideoIsConvertible(const SourceInfo& info);

}  // namespace parvela
