#include "matroska_header.h"

#include <cstring>
#include <fstream>
#include <string_view>

namespace parvela::toolkit {

namespace {

// Element IDs, with their length marker bits, as they stand in the file.
enum : uint32_t {
  kEbml = 0x1A45DFA3, kDocType = 0x4282, kSegment = 0x18538067, kSeekHead = 0x114D9B74, kSeek = 0x4DBB,
  kSeekId = 0x53AB, kSeekPosition = 0x53AC, kInfo = 0x1549A966, kTimestampScale = 0x2AD7B1,
  kDuration = 0x4489, kTracks = 0x1654AE6B, kCluster = 0x1F43B675, kTrackEntry = 0xAE,
  kTrackNumber = 0xD7, kTrackUid = 0x73C5, kTrackType = 0x83, kCodecId = 0x86, kCodecPrivate = 0x63A2,
  kLanguage = 0x22B59C, kLanguageBcp47 = 0x22B59D, kDefaultDuration = 0x23E383, kVideo = 0xE0,
  kPixelWidth = 0xB0, kPixelHeight = 0xBA, kDisplayWidth = 0x54B0, kDisplayHeight = 0x54BA,
  kDisplayUnit = 0x54B2, kAudio = 0xE1, kSamplingFrequency = 0xB5, kChannels = 0x9F, kName = 0x536E,
};

constexpr uint64_t kUnknownSize = ~0ull;
constexpr size_t kMaxMasterBytes = 64u << 20;  // a track list is never near this

struct Element {
  uint32_t id = 0;
  uint64_t size = 0;      // kUnknownSize for "until the parent ends"
  size_t headerLength = 0;
};

// A variable-length number: the count of leading zero bits gives its length.
bool ReadVint(std::string_view bytes, size_t at, bool keepMarker, uint64_t& value, size_t& length) {
  if (at >= bytes.size()) return false;
  auto first = static_cast<unsigned char>(bytes[at]);
  length = 1;
  while (length <= 8 && !(first & (0x80 >> (length - 1)))) ++length;
  if (length > 8 || at + length > bytes.size()) return false;
  value = keepMarker ? first : first & (0xFF >> length);
  bool allOnes = value == (0xFFu >> length);
  for (size_t i = 1; i < length; ++i) {
    auto b = static_cast<unsigned char>(bytes[at + i]);
    allOnes = allOnes && b == 0xFF;
    value = (value << 8) | b;
  }
  if (!keepMarker && allOnes) value = kUnknownSize;
  return true;
}

bool ReadElement(std::string_view bytes, size_t at, Element& e) {
  uint64_t id = 0;
  size_t idLength = 0, sizeLength = 0;
  if (!ReadVint(bytes, at, true, id, idLength) || idLength > 4) return false;
  if (!ReadVint(bytes, at + idLength, false, e.size, sizeLength)) return false;
  e.id = static_cast<uint32_t>(id);
  e.headerLength = idLength + sizeLength;
  return true;
}

uint64_t Unsigned(std::string_view data) {
  uint64_t v = 0;
  for (char c : data) v = (v << 8) | static_cast<unsigned char>(c);
  return v;
}

double Float(std::string_view data) {
  uint64_t bits = Unsigned(data);
  if (data.size() == 4) {
    auto narrow = static_cast<uint32_t>(bits);
    float f;
    std::memcpy(&f, &narrow, sizeof f);
    return f;
  }
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return data.size() == 8 ? d : 0;
}

std::string Text(std::string_view data) { return std::string(data.substr(0, data.find('\0'))); }

// Calls `visit(id, payload)` for each child wholly inside `bytes` (a file cut short ends early).
template <typename Visit>
void ForEachChild(std::string_view bytes, Visit visit) {
  size_t at = 0;
  Element e;
  while (ReadElement(bytes, at, e)) {
    size_t start = at + e.headerLength;
    if (e.size == kUnknownSize || start + e.size > bytes.size()) {
      // Masters of unknown or cut size: take what there is.
      visit(e.id, bytes.substr(start));
      return;
    }
    visit(e.id, bytes.substr(start, e.size));
    at = start + e.size;
  }
}

void ReadVideo(std::string_view bytes, MatroskaTrack& t) {
  ForEachChild(bytes, [&](uint32_t id, std::string_view data) {
    if (id == kPixelWidth) t.pixelWidth = Unsigned(data);
    if (id == kPixelHeight) t.pixelHeight = Unsigned(data);
    if (id == kDisplayWidth) t.displayWidth = Unsigned(data);
    if (id == kDisplayHeight) t.displayHeight = Unsigned(data);
    if (id == kDisplayUnit) t.displayUnit = Unsigned(data);
  });
}

void ReadAudio(std::string_view bytes, MatroskaTrack& t) {
  ForEachChild(bytes, [&](uint32_t id, std::string_view data) {
    if (id == kSamplingFrequency) t.samplingFrequency = Float(data);
    if (id == kChannels) t.channels = Unsigned(data);
  });
}

MatroskaTrack ReadTrack(std::string_view bytes) {
  MatroskaTrack t;
  std::string bcp47;
  bool legacyLanguage = false;
  ForEachChild(bytes, [&](uint32_t id, std::string_view data) {
    switch (id) {
      case kTrackNumber: t.number = Unsigned(data); break;
      case kTrackUid: t.uid = Unsigned(data); break;
      case kTrackType: t.type = Unsigned(data); break;
      case kCodecId: t.codecId = Text(data); break;
      case kCodecPrivate: t.codecPrivate = std::string(data); break;
      case kLanguage: t.language = Text(data), legacyLanguage = true; break;
      case kLanguageBcp47: bcp47 = Text(data); break;
      case kName: t.name = Text(data); break;
      case kDefaultDuration: t.defaultDuration = Unsigned(data); break;
      case kVideo: ReadVideo(data, t); break;
      case kAudio: ReadAudio(data, t); break;
      default: break;
    }
  });
  // The older element is the three-letter code Parvela shows; the newer one only stands in.
  if (!bcp47.empty() && t.language == "und" && bcp47 != "und") t.language = bcp47;
  // mkvmerge leaves out the older element when it holds its default, English.
  if (!legacyLanguage && (bcp47 == "en" || bcp47.rfind("en-", 0) == 0)) t.language = "eng";
  return t;
}

class Reader {
 public:
  explicit Reader(const std::string& path) : in_(path, std::ios::binary) {
    in_.seekg(0, std::ios::end);
    size_ = in_ ? static_cast<uint64_t>(in_.tellg()) : 0;
  }
  bool Open() const { return static_cast<bool>(in_); }
  uint64_t Size() const { return size_; }

  std::string Read(uint64_t at, uint64_t length) {
    if (at >= size_) return {};
    length = std::min<uint64_t>(length, size_ - at);
    std::string bytes(static_cast<size_t>(length), '\0');
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(at));
    in_.read(bytes.data(), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(in_.gcount()));
    return bytes;
  }

  bool ElementAt(uint64_t at, Element& e) { return ReadElement(Read(at, 12), 0, e); }

  // The payload of the element at `at`, cut at the file's end.
  std::string Payload(uint64_t at, const Element& e, uint64_t parentEnd) {
    uint64_t start = at + e.headerLength;
    uint64_t size = e.size == kUnknownSize ? parentEnd - start : e.size;
    return Read(start, std::min<uint64_t>(size, kMaxMasterBytes));
  }

 private:
  std::ifstream in_;
  uint64_t size_ = 0;
};

void ReadInfo(std::string_view bytes, MatroskaHeader& header) {
  uint64_t scale = 1000000;
  double duration = -1;
  ForEachChild(bytes, [&](uint32_t id, std::string_view data) {
    if (id == kTimestampScale) scale = Unsigned(data);
    if (id == kDuration) duration = Float(data);
  });
  if (duration >= 0) header.durationSeconds = duration * static_cast<double>(scale) / 1e9;
}

// Where the seek head says Info and Tracks are, relative to the segment's data.
void ReadSeekHead(std::string_view bytes, uint64_t& infoAt, uint64_t& tracksAt) {
  ForEachChild(bytes, [&](uint32_t id, std::string_view seek) {
    if (id != kSeek) return;
    uint64_t target = 0, position = 0;
    ForEachChild(seek, [&](uint32_t child, std::string_view data) {
      if (child == kSeekId) target = Unsigned(data);
      if (child == kSeekPosition) position = Unsigned(data);
    });
    if (target == kInfo) infoAt = position;
    if (target == kTracks) tracksAt = position;
  });
}

}  // namespace

std::string TrackTypeName(uint64_t type) {
  switch (type) {
    case 1: return "video";
    case 2: return "audio";
    case 3: return "complex";
    case 0x10: return "logo";
    case 0x11: return "subtitles";
    case 0x12: return "buttons";
    case 0x20: return "control";
    case 0x21: return "metadata";
    default: return "unknown";
  }
}

bool ReadMatroskaHeader(const std::string& path, MatroskaHeader& header, std::string& error) {
  Reader file(path);
  Element e;
  if (!file.Open() || !file.ElementAt(0, e) || e.id != kEbml) {
    error = "no EBML data in " + path;
    return false;
  }
  ForEachChild(file.Payload(0, e, file.Size()), [&](uint32_t id, std::string_view data) {
    if (id == kDocType) header.docType = Text(data);
  });
  uint64_t at = e.headerLength + e.size;
  if (!file.ElementAt(at, e) || e.id != kSegment) {
    error = "no Matroska segment in " + path;
    return false;
  }
  const uint64_t segmentData = at + e.headerLength;
  const uint64_t segmentEnd = e.size == kUnknownSize ? file.Size() : std::min(file.Size(), segmentData + e.size);
  uint64_t infoAt = kUnknownSize, tracksAt = kUnknownSize;
  bool infoRead = false, tracksRead = false;
  auto readAt = [&](uint64_t position, uint32_t wanted) {
    Element found;
    if (!file.ElementAt(position, found) || found.id != wanted) return false;
    std::string payload = file.Payload(position, found, segmentEnd);
    if (wanted == kInfo) ReadInfo(payload, header);
    if (wanted == kTracks) ForEachChild(payload, [&](uint32_t id, std::string_view data) {
      if (id == kTrackEntry) header.tracks.push_back(ReadTrack(data));
    });
    return true;
  };
  // The top-level elements in order, up to the first cluster; the seek head covers the rest.
  for (at = segmentData; at < segmentEnd && file.ElementAt(at, e) && e.id != kCluster;) {
    if (e.id == kSeekHead) ReadSeekHead(file.Payload(at, e, segmentEnd), infoAt, tracksAt);
    if (e.id == kInfo) infoRead = readAt(at, kInfo);
    if (e.id == kTracks) tracksRead = readAt(at, kTracks);
    if (e.size == kUnknownSize || (infoRead && tracksRead)) break;
    at += e.headerLength + e.size;
  }
  if (!infoRead && infoAt != kUnknownSize) readAt(segmentData + infoAt, kInfo);
  if (!tracksRead && tracksAt != kUnknownSize) tracksRead = readAt(segmentData + tracksAt, kTracks);
  if (!tracksRead) {
    error = "no track list in " + path;
    return false;
  }
  return true;
}

}  // namespace parvela::toolkit
