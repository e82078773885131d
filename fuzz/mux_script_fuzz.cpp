// avimux_gui's muxer-script reader on any text: it ends, and an accepted script picks only
// files it loaded, caps pieces without overflow, and names its output.
#include "fuzz_support.h"
#include "role_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  toolkit::MuxScript script;
  std::string error;
  if (!toolkit::ParseMuxScript({reinterpret_cast<const char*>(data), size}, script, error)) {
    fuzz::Require(!error.empty(), "a refused script says why");
    return 0;
  }
  fuzz::Require(!script.output.empty(), "an output to write");
  fuzz::Require(script.video <= script.files.size() && script.audio <= script.files.size(), "loaded files only");
  fuzz::Require(script.maxBytes % (1024 * 1024) == 0, "a cap in whole MiB, not wrapped round");
  return 0;
}
