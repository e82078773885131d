// The command-line splitter on any text, and the round trip the runner relies on: a path
// quoted for a composed command line comes back from the split byte for byte.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "process/process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  const std::string text(reinterpret_cast<const char*>(data), size);
  SplitCommandLine(text);
  // A path on this system cannot hold a NUL byte.
  if (std::memchr(data, 0, size) != nullptr) return 0;
  const std::vector<std::string> args = SplitCommandLine("\"/bin/tool\" " + Quoted(text) + " -o " + Quoted(text));
  fuzz::Require(args.size() == 4, "a quoted path is one argument");
  fuzz::Require(args[0] == "/bin/tool" && args[2] == "-o", "the neighbours of a quoted path stay apart");
  fuzz::Require(args[1] == text && args[3] == text, "the split gives the quoted path back");
  return 0;
}
