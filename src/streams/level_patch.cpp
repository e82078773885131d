#include <algorithm>
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
constexpr uint8_t kNalSps = 7;

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

// When no pattern matched: the level byte of the first sequence parameter set that starts in
// the window, if it announces a level above 4.1 (5.2, 4.2, or 5.1 with other constraint flags).
std::vector<size_t> FindFirstSpsLevelAbove41(const std::vector<uint8_t>& head) {
  const size_t window = std::min(head.size(), kPatterns[0].windowStarts);
  for (size_t s = 0; s + 3 < window; ++s) {
    if (head[s] != 0 || head[s + 1] != 0 || head[s + 2] != 1) continue;
    const size_t nal = s + 3;
    if ((head[nal] & 0x1F) != kNalSps) continue;
    const size_t level = nal + 3;  // NAL header, profile_idc, constraint flags, level_idc
    if (level < head.size() && head[level] > kLevel41) return {level};
    return {};
  }
  return {};
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
  if (offsets.empty()) offsets = FindFirstSpsLevelAbove41(head);
  for (size_t offset : offsets) {
    file.seekp(static_cast<std::streamoff>(offset));
    if (!file.write(reinterpret_cast<const char*>(&kLevel41), 1)) break;
  }
}

}  // namespace parvela
