// The level patch on arbitrary files: it may only turn level bytes 5.1 into 4.1 near the start
// of the file, and never change the file's size or any other byte.
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
  for (size_t i = 0; i < size; ++i) {
    const auto before = static_cast<unsigned char>(data[i]);
    const auto now = static_cast<unsigned char>(after[i]);
    if (before == now) continue;
    fuzz::Require(before == 0x33 && now == 0x29, "only level 5.1 bytes become 4.1");
    fuzz::Require(i >= 2 && i <= kFarthestLevelByte, "only bytes of the search window change");
  }
  return 0;
}
