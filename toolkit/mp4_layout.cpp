#include "mp4_layout.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "aac_join.h"
#include "mapped_file.h"

namespace parvela::toolkit {

namespace {

// Any sample costs at most its size (4) and a chunk of its own (a 64-bit offset, 8, and a
// sample-to-chunk entry, 12); a picture also a time-to-sample entry and a composition offset
// (8 each) and a sync entry (4). Audio frames of one length share one time-to-sample entry and
// one sample-group entry.
constexpr uint64_t kPerSample = 4 + 8 + 12;
constexpr uint64_t kPerPicture = kPerSample + 8 + 8 + 4;
// Headers, handlers, the sample description without its configuration, edit lists, metadata.
constexpr uint64_t kPerTrack = 4096;
constexpr uint64_t kFixed = 64 * 1024;

}  // namespace

uint64_t IndexRoom(const std::vector<TrackCounts>& tracks) {
  uint64_t room = kFixed;
  for (const TrackCounts& t : tracks) {
    room += kPerTrack + t.configBytes + t.samples * (t.video ? kPerPicture : kPerSample);
  }
  return room;
}

std::optional<TrackCounts> AdtsCounts(const std::string& path) {
  MappedFile file;
  std::vector<AdtsFrame> frames;
  if (!file.Open(path) || !SplitAdts(file.bytes(), frames) || frames.empty()) return std::nullopt;
  return TrackCounts{frames.size(), 64, false};
}

bool Mp4IsComplete(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  bool index = false;
  uint64_t at = 0;
  unsigned char h[16];
  while (in.seekg(static_cast<std::streamoff>(at)) && in.read(reinterpret_cast<char*>(h), 8)) {
    uint64_t size = (uint64_t{h[0]} << 24) | (uint64_t{h[1]} << 16) | (uint64_t{h[2]} << 8) | h[3];
    if (size == 1) {
      if (!in.read(reinterpret_cast<char*>(h + 8), 8)) return false;
      size = 0;
      for (int i = 8; i < 16; ++i) size = (size << 8) | h[i];
    }
    if (size < 8) return false;  // 0 ("to the end") is never written by ffmpeg's muxer
    index = index || std::string_view(reinterpret_cast<char*>(h + 4), 4) == "moov";
    at += size;
  }
  std::error_code ec;
  return index && at == std::filesystem::file_size(path, ec) && !ec;
}

}  // namespace parvela::toolkit
