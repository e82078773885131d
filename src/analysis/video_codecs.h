// What Parvela knows of each video format a Matroska source may hold: how the report names it,
// what the user is told, and which road takes it. One row per format; the parser, inspection,
// the driver and the re-encoding roads read it, none keeps a list of its own.
#pragma once

#include <string>

namespace parvela {

struct VideoCodec {
  const char* id;    // Matroska codec ID ("V_VP9"), or the FourCC of a track in VfW mode ("FFV1")
  const char* name;  // what the user is told: "HEVC", "MPEG-4 Visual"
  // The source kind of the formats with roads of their own ("avc", "mpeg2", "vc1"); empty for
  // every other format: mencoder decodes it and the chosen target is made by re-encoding.
  const char* kind;
};

// The row of a codec ID or VfW FourCC as the parser notes it (SourceInfo::videoCodec); null for a
// format that no tool of the application folder decodes. A codec ID is matched by its prefix,
// so "V_REAL/RV40" finds "V_REAL/".
const VideoCodec* FindVideoCodec(const std::string& codec);

// A format converted only by re-encoding: known, decoded by mencoder, and without a road of its
// own (HEVC, AV1, VP9, MPEG-4 Visual, ...).
bool ReencodedOnly(const std::string& codec);

// The largest frame and macroblock rate the consoles decode in H.264 at level 4.1; the
// re-encoding roads keep within them, the Xvid road within the Xbox 360's 1280x720 ceiling for
// MPEG-4 Visual.
struct FrameLimit {
  int maxWidth, maxHeight;
};
inline constexpr FrameLimit kConsoleFrame = {1920, 1080};
inline constexpr FrameLimit kXvidFrame = {1280, 720};
inline constexpr FrameLimit kFastMotionFrame = {1280, 720};  // for rates above level 4.1's at full size
inline constexpr double kLevel41MacroblocksPerSecond = 245760;

// The frame a re-encoding road makes of a `width` x `height` source at `fps` frames a second:
// scaled down, both sides by one factor (the aspect kept), to fit `limit`, and further to
// 1280x720 when the frame rate would exceed level 4.1's macroblock rate; even sides. The source
// size itself when it fits (or is unknown, 0).
struct FrameSize {
  int width = 0, height = 0;
  bool operator==(const FrameSize&) const = default;
};
FrameSize ReencodedFrame(int width, int height, double fps, FrameLimit limit);

}  // namespace parvela
