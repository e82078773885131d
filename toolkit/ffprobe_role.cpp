// ffprobe [options] "<file>": Debian's ffprobe, called with the same arguments. The playability
// check reads its JSON report from the file named after -o.
#include "toolkit.h"

namespace parvela::toolkit {

int FfprobeMain(const Args& args) {
  if (args.empty()) return Fail("ffprobe", "usage: ffprobe [options] <file>");
  Args argv = {"ffprobe"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram("ffprobe", argv);
}

}  // namespace parvela::toolkit
