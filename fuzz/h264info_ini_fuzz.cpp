// h264info's ini reader on any text: it ends, and the paths it finds carry no blank, line break
// or quote pair around them that the role would take for part of a file name.
#include "fuzz_support.h"
#include "role_files.h"

namespace {

void RequireClean(const std::string& path) {
  if (path.empty()) return;
  parvela::fuzz::Require(path.find('\n') == std::string::npos, "one line per value");
  parvela::fuzz::Require(path.front() != ' ' && path.back() != ' ' && path.back() != '\r', "trimmed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto paths = parvela::toolkit::ParseH264InfoIni({reinterpret_cast<const char*>(data), size});
  RequireClean(paths.input);
  RequireClean(paths.output);
  return 0;
}
