// What each console's media player accepts, as one table, and the judgement of a file by it.
// The limits follow the consoles' compatibility notes as media servers publish them in their
// device profiles; a file plays on a console when its container has rows there and every
// video and audio stream meets the row of its codec.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "analysis/codecs.h"
#include "playability/playability.h"
#include "streams/h264_sps.h"

namespace parvela::playability {

namespace {

enum class Console { Ps3, Xbox360 };

// Extra conditions of a row.
enum Need : unsigned {
  kIndexFirst = 1,  // the MP4 index must precede the media data
  kDpbFits41 = 2,   // the reference frames must fit the level 4.1 decoded-picture buffer
  kNoGmc = 4,       // no MPEG-4 Visual global motion compensation
  kNoQpel = 8,      // no MPEG-4 Visual quarter-pixel motion
  kRateFits41 = 16, // at most level 4.1's macroblocks a second (1080p at 30 frames)
};

using Kind = Stream::Kind;

// One stream a console's player accepts in one container.
struct Limit {
  Console console;
  Container container;
  Kind kind;
  const char* codec;     // ffprobe's codec name
  const char* profiles;  // accepted profiles, '|' between; empty: any
  int maxLevel;          // H.264 level_idc; 0: any
  int maxWidth, maxHeight;
  int maxChannels;
  unsigned needs;
  const char* note;
};

constexpr const char* kH264UpToHigh = "Constrained Baseline|Baseline|Main|High";
constexpr unsigned kH264Needs = kDpbFits41 | kRateFits41;
constexpr unsigned kMp4H264Needs = kDpbFits41 | kRateFits41 | kIndexFirst;

// DTS is in no row: neither player decodes it, in any container.
constexpr Limit kLimits[] = {
    {Console::Ps3, Container::Mp4, Kind::Video, "h264", kH264UpToHigh, 41, 0, 0, 0, kMp4H264Needs,
     "H.264 up to High profile; above level 4.1 or with more reference frames than its buffer the "
     "decoder stutters or refuses; without the index first it cannot start at once"},
    {Console::Ps3, Container::Mp4, Kind::Audio, "aac", "LC", 0, 0, 0, 0, 0, "AAC-LC; HE-AAC is not decoded"},
    {Console::Ps3, Container::Mp4, Kind::Audio, "ac3", "", 0, 0, 0, 0, 0, "AC-3 passes to the receiver"},
    {Console::Ps3, Container::ProgramStream, Kind::Video, "mpeg1video", "", 0, 0, 0, 0, 0, "DVD-style MPEG-1"},
    {Console::Ps3, Container::ProgramStream, Kind::Video, "mpeg2video", "", 0, 0, 0, 0, 0, "DVD-style MPEG-2"},
    {Console::Ps3, Container::ProgramStream, Kind::Video, "h264", kH264UpToHigh, 41, 0, 0, 0, kH264Needs,
     "H.264 as in the MP4 case"},
    {Console::Ps3, Container::ProgramStream, Kind::Audio, "ac3", "", 0, 0, 0, 0, 0, "DVD audio"},
    {Console::Ps3, Container::ProgramStream, Kind::Audio, "pcm", "", 0, 0, 0, 0, 0, "DVD LPCM"},
    {Console::Ps3, Container::TransportStream, Kind::Video, "mpeg1video", "", 0, 0, 0, 0, 0, "broadcast MPEG-1"},
    {Console::Ps3, Container::TransportStream, Kind::Video, "mpeg2video", "", 0, 0, 0, 0, 0, "broadcast MPEG-2"},
    {Console::Ps3, Container::TransportStream, Kind::Video, "h264", kH264UpToHigh, 41, 0, 0, 0, kH264Needs,
     "H.264 as in the MP4 case"},
    {Console::Ps3, Container::TransportStream, Kind::Audio, "ac3", "", 0, 0, 0, 0, 0, "broadcast AC-3"},
    {Console::Ps3, Container::TransportStream, Kind::Audio, "pcm", "", 0, 0, 0, 0, 0, "Blu-ray style LPCM"},
    {Console::Ps3, Container::TransportStream, Kind::Audio, "mp2", "", 0, 0, 0, 0, 0, "MPEG audio of broadcasts"},
    {Console::Ps3, Container::TransportStream, Kind::Audio, "mp3", "", 0, 0, 0, 0, 0, "MPEG audio of broadcasts"},
    {Console::Ps3, Container::Avi, Kind::Video, "mpeg4", "", 0, 0, 0, 0, kNoGmc | kNoQpel,
     "MPEG-4 Visual (Xvid, DivX) without GMC and quarter-pixel motion, which its decoder lacks"},
    {Console::Ps3, Container::Avi, Kind::Audio, "mp3", "", 0, 0, 0, 0, 0, "the usual AVI audio"},
    {Console::Ps3, Container::Avi, Kind::Audio, "ac3", "", 0, 0, 0, 0, 0, "AC-3 passes to the receiver"},
    {Console::Ps3, Container::Avi, Kind::Audio, "pcm", "", 0, 0, 0, 0, 0, "plain PCM"},
    // No MPEG program or transport streams from a file on the Xbox 360.
    {Console::Xbox360, Container::Mp4, Kind::Video, "h264", kH264UpToHigh, 41, 1920, 1080, 0, kMp4H264Needs,
     "H.264 Baseline, Main or High up to level 4.1 and 1920x1080, the decoder's hard ceiling"},
    {Console::Xbox360, Container::Mp4, Kind::Audio, "aac", "LC", 0, 0, 0, 2, 0,
     "AAC-LC in stereo only; multichannel AAC is refused"},
    {Console::Xbox360, Container::Avi, Kind::Video, "mpeg4", "Simple Profile|Advanced Simple Profile", 0, 1280, 720,
     0, 0, "MPEG-4 Visual Simple or Advanced Simple up to 1280x720"},
    {Console::Xbox360, Container::Avi, Kind::Audio, "ac3", "", 0, 0, 0, 0, 0, "AC-3 passes to the receiver"},
    {Console::Xbox360, Container::Avi, Kind::Audio, "mp3", "", 0, 0, 0, 0, 0, "the usual AVI audio"},
};

constexpr Console kConsoles[] = {Console::Ps3, Console::Xbox360};

const char* ConsoleName(Console c) { return c == Console::Ps3 ? "PS3" : "Xbox 360"; }

const char* ContainerName(Container c) {
  switch (c) {
    case Container::Mp4: return "MP4 file";
    case Container::Matroska: return "Matroska container";
    case Container::ProgramStream: return "MPEG program stream";
    case Container::TransportStream: return "MPEG transport stream";
    case Container::Avi: return "AVI file";
    default: return "unknown container";
  }
}

std::string CodecName(const std::string& codec) {
  if (const CodecInfo* known = FindCodecByFfprobeName(codec)) return known->name;
  return codec.empty() ? "unknown" : codec;
}

bool InList(const char* list, const std::string& value) {
  std::string_view rest(list);
  while (!rest.empty()) {
    size_t bar = rest.find('|');
    if (rest.substr(0, bar) == value) return true;
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  return false;
}

std::string LevelText(int levelIdc) { return std::to_string(levelIdc / 10) + "." + std::to_string(levelIdc % 10); }

std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

unsigned FrameMbs(const Stream& s) {
  if (s.width <= 0 || s.height <= 0) return 0;
  return static_cast<unsigned>((s.width + 15) / 16) * static_cast<unsigned>((s.height + 15) / 16);
}

// The limits of one row a stream breaks, worded for the user.
void CheckStream(const Limit& l, const Stream& s, std::vector<std::string>& reasons) {
  const std::string name = CodecName(s.codec);
  if (*l.profiles && !InList(l.profiles, s.profile)) {
    reasons.push_back(name + " profile " + (s.profile.empty() ? std::string("unknown") : s.profile));
  }
  if (l.maxLevel && s.level > l.maxLevel) {
    reasons.push_back(name + " level " + LevelText(s.level) + " above " + LevelText(l.maxLevel));
  }
  if ((l.maxWidth && s.width > l.maxWidth) || (l.maxHeight && s.height > l.maxHeight)) {
    reasons.push_back(name + " above " + Size(l.maxWidth, l.maxHeight));
  }
  if (l.maxChannels && s.channels > l.maxChannels) {
    reasons.push_back(name + " with " + std::to_string(s.channels) + " channels, above " +
                      std::to_string(l.maxChannels));
  }
  const unsigned dpb = Level41DpbFrames(FrameMbs(s));
  if ((l.needs & kDpbFits41) && dpb && s.refFrames > static_cast<int>(dpb)) {
    reasons.push_back(std::to_string(s.refFrames) + " reference frames, level 4.1 holds " + std::to_string(dpb) +
                      " at " + Size(s.width, s.height));
  }
  // An interlaced film may be timed by its fields: 50 of them are 25 frames.
  const double frames = s.interlaced && s.fps > 31 ? s.fps / 2 : s.fps;
  const double rate = FrameMbs(s) * frames;
  if ((l.needs & kRateFits41) && rate > kLevel41MacroblocksPerSecond) {
    char fps[16];
    std::snprintf(fps, sizeof fps, "%.3g", frames);
    reasons.push_back(name + " at " + Size(s.width, s.height) + " and " + fps +
                      " frames a second, above level 4.1's macroblock rate");
  }
  if ((l.needs & kNoGmc) && s.gmc) reasons.push_back(name + " with GMC");
  if ((l.needs & kNoQpel) && s.qpel) reasons.push_back(name + " with quarter-pixel motion");
}

const Limit* FindLimit(Console c, Container container, const Stream& s) {
  for (const Limit& l : kLimits) {
    if (l.console == c && l.container == container && l.kind == s.kind && s.codec == l.codec) return &l;
  }
  return nullptr;
}

std::vector<std::string> JudgeFor(Console c, const MediaFile& file) {
  const bool containerKnown = std::any_of(std::begin(kLimits), std::end(kLimits), [&](const Limit& l) {
    return l.console == c && l.container == file.container;
  });
  if (!containerKnown) {
    const bool named = file.container == Container::Unknown && !file.formatName.empty();
    return {named ? file.formatName + " format" : ContainerName(file.container)};
  }
  std::vector<std::string> reasons;
  bool indexNeeded = false;
  bool anyMedia = false;
  for (const Stream& s : file.streams) {
    if (s.kind == Kind::Other) continue;
    anyMedia = true;
    const Limit* l = FindLimit(c, file.container, s);
    if (!l) {
      reasons.push_back(CodecName(s.codec) + (s.kind == Kind::Video ? " video" : " audio"));
      continue;
    }
    indexNeeded |= (l->needs & kIndexFirst) != 0;
    CheckStream(*l, s, reasons);
  }
  if (!anyMedia) reasons.push_back("no video or audio stream");
  if (indexNeeded && !file.indexFirst) reasons.push_back("MP4 index after the media data");
  return reasons;
}

}  // namespace

Verdict Judge(const MediaFile& file) {
  Verdict v;
  for (Console c : kConsoles) v.consoles.push_back({ConsoleName(c), JudgeFor(c, file)});
  return v;
}

Verdict Refused(const std::string& reason) {
  Verdict v;
  for (Console c : kConsoles) v.consoles.push_back({ConsoleName(c), {reason}});
  return v;
}

bool Verdict::PlaysAnywhere() const {
  return unknownBecause.empty() && std::any_of(consoles.begin(), consoles.end(), [](const ConsoleVerdict& c) { return c.Plays(); });
}

std::string Verdict::NoneBecause() const {
  if (PlaysAnywhere() || !unknownBecause.empty() || consoles.empty()) return {};
  const std::string line = Line();
  const std::string head = "Plays on: none (";
  return line.compare(0, head.size(), head) == 0 ? line.substr(head.size(), line.size() - head.size() - 1) : line;
}

std::string Verdict::Line() const {
  if (!unknownBecause.empty()) return "Plays on: unknown (" + unknownBecause + ")";
  std::string plays, refused;
  for (const ConsoleVerdict& c : consoles) {
    if (c.Plays()) {
      plays += (plays.empty() ? "" : ", ") + c.console;
    } else {
      refused += (refused.empty() ? "" : "; ") + c.console + ": " + c.reasons.front();
    }
  }
  if (refused.empty()) return "Plays on: " + plays;
  if (plays.empty()) {
    // Refused everywhere for one reason: say it once.
    const std::string& first = consoles.front().reasons.front();
    const bool same = std::all_of(consoles.begin(), consoles.end(),
                                  [&](const ConsoleVerdict& c) { return c.reasons.front() == first; });
    return "Plays on: none (" + (same ? first : refused) + ")";
  }
  return "Plays on: " + plays + " (" + refused + ")";
}

}  // namespace parvela::playability
