#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

#include "streams/streams.h"

namespace parvela {

namespace {

struct LevelPattern {
  uint8_t profile;      // profile_idc
  uint8_t constraints;  // the constraint-flags byte
  size_t windowStarts;  // start offsets searched: 0 .. windowStarts - 1
};

constexpr uint8_t kLevel51 = 0x33;
constexpr uint8_t kLevel41 = 0x29;
constexpr size_t kMaxPatches = 11;

// High, Main, Extended and Baseline at level 5.1, in the order they are tried.
constexpr std::array<LevelPattern, 4> kPatterns = {{
    {0x64, 0x00, 6000},
    {0x4D, 0x40, 3000},
    {0x58, 0xA0, 3000},
    {0x42, 0xC0, 3000},
}};

// Offsets of the level bytes of every occurrence whose first byte lies in the window.
std::vector<size_t> FindLevelBytes(const std::vector<uint8_t>& head, const LevelPattern& p) {
  std::vector<size_t> offsets;
  for (size_t s = 0; s < p.windowStarts && s + 2 < head.size();) {
    if (head[s] == p.profile && head[s + 1] == p.constraints && head[s + 2] == kLevel51) {
      // Room for eleven: further occurrences in the window are left as they are.
      if (offsets.size() < kMaxPatches) offsets.push_back(s + 2);
      s += 3;
    } else {
      ++s;
    }
  }
  return offsets;
}

}  // namespace

void PatchH264Level(const std::string& path) {
  // A missing stream is not created: there is nothing to patch and nothing to mux.
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) return;
  // The widest window plus the two bytes after its last start, in one read.
  std::vector<uint8_t> head(kPatterns[0].windowStarts + 2);
  file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(file.gcount()));
  file.clear();

  std::vector<size_t> offsets;
  for (const auto& pattern : kPatterns) {
    offsets = FindLevelBytes(head, pattern);
    if (!offsets.empty()) break;
  }
  for (size_t offset : offsets) {
    file.seekp(static_cast<std::streamoff>(offset));
    if (!file.write(reinterpret_cast<const char*>(&kLevel41), 1)) break;
  }
}

}  // namespace parvela
