// What source inspection learned about the current source.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace parvela {

inline constexpr int kTrackRows = 33;  // rows 0 to 32 of each table

struct AudioTrackRow {
  std::string language;     // as cut from the report: usually a blank and the code
  std::string codecCode;    // "0" AC-3, "1" DTS, "2" Vorbis, "3" MP3, "4" AAC
  std::string trackNumber;  // the track's ordinal in the report, decimal
  std::string codecId{};    // the Matroska codec ID ("A_FLAC"): finds the track's codec row
  int channels = 0;         // 0 when the report names none
  std::string name{};       // the track's own name, when the file gives one
  bool undecodable = false; // FFmpeg read the track's first seconds and decoded no sound from them
  std::optional<double> start{};  // the track's first timestamp in seconds, as FFmpeg read it
};

struct SubtitleTrackRow {
  std::string language;  // "und" is stored as "undefined"
  std::string format;    // "srt", "SSA" or "ASS"
  std::string trackNumber;
};

struct SourceInfo {
  std::string videoKind;  // "avc", "mpeg2", "vc1", or empty: not inspected / not recognised
  bool vfwVideo = false;
  std::string parSuffix;  // ":par=" display width ":" pixel width, or empty
  std::string videoCodec;  // "V_VP9", or a VfW track's FourCC ("FFV1"): the first video track's format
  int videoWidth = 0, videoHeight = 0;  // the first video track's pixel size; 0 when not read
  // The first video track has no default duration (variable frame rate): its rate is not in
  // the report, and inspection measures the average from the track's timestamps.
  bool videoRateMissing = false;
  // FFmpeg decoded a picture of the first video track (asked at inspection when ffprobe is in
  // the application folder).
  bool ffmpegDecodesVideo = false;
  // The first video track's first timestamp in seconds, as FFmpeg read it; against the chosen
  // audio track's it tells how much later one starts than the other.
  std::optional<double> videoStart;
  // Audio tracks in the report, listed or not (a VfW or MPEG-2 source lists none); -1 before
  // any report was read.
  int audioTrackCount = -1;
  // The report lists audio tracks, but none holds a frame: the count above is 0.
  bool audioHoldsNoSound = false;
  int trackCount = 0;  // tracks of every type the report lists
  std::string firstAudioCodecId;  // the first audio track's codec ID, listed or not
  double durationSeconds = 0;  // the segment's duration from the report; 0 when it names none
  // The checker's report lines for an H.264 source ("profile: High (profile_idc 100)",
  // "level: 5.1 (level_idc 51)", "reason: ..."); empty when the checker did not run.
  std::vector<std::string> checkerFindings;
  // The row counts are the entry counts of the window's audio and subtitle lists.
  std::array<AudioTrackRow, kTrackRows> audioTracks;
  std::array<SubtitleTrackRow, kTrackRows> subtitleTracks;
};

}  // namespace parvela
