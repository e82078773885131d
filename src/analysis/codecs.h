// What Parvela knows of each audio and video format, in one table: how the report names it, how
// ffprobe names it, what the user is shown, which audio button it selects, what its extracted
// track is called and who decodes it. The parser, the roads and the playability rules read it;
// a new format is one row.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace parvela {

enum class CodecKind { Video, Audio };

// Who turns an audio track into PCM on the roads that need a WAV.
enum class AudioDecoder {
  None,         // a video row
  Graph,        // the decoding graph, with a command-line decoder as its backup
  CommandLine,  // a command-line decoder only
  Ffmpeg,       // FFmpeg, from the extracted track
};

// Who takes the track out of the source.
enum class Extractor {
  Mkvextract,  // mkvextract's tracks mode
  Ffmpeg,      // FFmpeg maps the stream into a file of its own (mkvextract refuses the codec)
};

struct CodecInfo {
  CodecKind kind;
  // The Matroska codec ID; a row also stands for the IDs that continue it after a "/"
  // ("A_AAC" for "A_AAC/MPEG4/LC"). Empty for a format no Matroska source holds as such.
  const char* matroskaId;
  const char* fourcc;       // for a track in VfW mode ("V_MS/VFW/FOURCC"): its FourCC; else ""
  const char* ffprobeName;  // ffprobe's codec_name; "pcm" stands for every pcm_* name
  const char* name;         // shown to the user: "AC-3", "H.264"
  // The classic report test: a line containing this text is a track of this format. Only the
  // formats the report has always been searched for carry one; "" otherwise.
  const char* reportTag;
  int button;               // audio: the Option1 index and codecCode it selects; -1 none
  const char* videoKind;    // video: "avc", "mpeg2", "vc1" for the kinds with roads of their own
  const char* extension;    // the extracted track's file extension ("movie.ac3")
  const char* ffmpegFormat; // FFmpeg's demuxer for the extracted track ("-f ogg"); "" to probe
  AudioDecoder decoder;
  Extractor extractor;
  // Whether some console's player decodes the format as it is, in some container Parvela
  // writes; the limits per console and container are in playability/.
  bool consolesDecode;
};

// The rows carrying a report test come in the order the classic tests ran: the audio rows by
// button, the video rows VC-1, MPEG-2, H.264.
std::span<const CodecInfo> CodecTable();

// The row of a Matroska codec ID (for a VfW track, with its FourCC); null when unknown.
const CodecInfo* FindCodecByMatroskaId(std::string_view codecId, std::string_view fourcc = {});
// The row of ffprobe's codec name (any "pcm_*" finds the PCM row); null when unknown.
const CodecInfo* FindCodecByFfprobeName(std::string_view name);
// The audio row of an Option1 button (0 AC-3 ... 4 AAC); null for another index.
const CodecInfo* AudioCodecOfButton(int button);

// The video row of the format source inspection noted (SourceInfo::videoCodec): a Matroska codec
// ID ("V_VP9"), or the FourCC of a track in VfW mode ("FFV1"). Null for a format no tool of the
// application folder decodes. Every video row is decoded by mencoder, so a source whose video
// has no road of its own but has a row here is re-encoded into the chosen target.
const CodecInfo* FindNotedVideoCodec(std::string_view noted);

// What the consoles decode of a re-encoded film, by its format (ffprobe's name: "h264",
// "mpeg2video", "mpeg4"): the largest frame and the macroblocks a second of level 4.1.
struct ConsoleFrame {
  int maxWidth, maxHeight;
  double maxMacroblocksPerSecond;
};
ConsoleFrame ConsoleFrameOf(std::string_view ffprobeName);

// The frame a re-encoding into `target` makes of a `width` x `height` source at `fps` frames a
// second: both sides scaled by one factor (the display aspect kept) into the target's frame,
// and further into 1280x720 when the rate would exceed the target's macroblocks a second; even
// sides. The source's own size when it fits or is unknown (0).
struct FrameSize {
  int width = 0, height = 0;
  bool operator==(const FrameSize&) const = default;
};
FrameSize ReencodedFrame(int width, int height, double fps, std::string_view target);

// The row of an audio format the table does not know: FFmpeg copies the track into Matroska
// and decodes it from there.
const CodecInfo& UnknownAudioCodec();

// "mono", "stereo", "5.1", "7.1", or "N channels"; empty for 0.
std::string ChannelsText(int channels);

}  // namespace parvela
