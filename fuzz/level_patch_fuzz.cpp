// The level patch on arbitrary files: it may only lower level bytes to 4.1 near the start of the
// file (5.1 bytes of the known patterns, or else the first parameter set's level above 4.1), and
// never change the file's size or any other byte.
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "streams/streams.h"

namespace {

constexpr size_t kFarthestLevelByte = 6000 + 1;  // the widest search window's last start + 2

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  const std::string path = fuzz::ScratchPath("movie.h264");
  fuzz::WriteBytes(path, data, size);
  PatchH264Level(path);
  const std::string after = ReadAll(path);
  fuzz::Require(after.size() == size, "the patch keeps the file's size");
  size_t otherLevels = 0;
  for (size_t i = 0; i < size; ++i) {
    const auto before = static_cast<unsigned char>(data[i]);
    const auto now = static_cast<unsigned char>(after[i]);
    if (before == now) continue;
    fuzz::Require(now == 0x29 && before > 0x29, "only levels above 4.1 change, and into 4.1");
    if (before != 0x33) ++otherLevels;
    fuzz::Require(i >= 2 && i <= kFarthestLevelByte, "only bytes of the search window change");
  }
  fuzz::Require(otherLevels <= 1, "besides 5.1 bytes, only the first parameter set's level changes");
  return 0;
}
