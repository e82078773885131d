// The toolkit's Matroska track-header reader on any file, through the mkvinfo role so that the
// report it prints from those headers is exercised too.
#include <iostream>

#include "fuzz_support.h"
#include "matroska_header.h"
#include "toolkit.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cerr.rdbuf(nullptr);  // the role's own progress line, once per input, is only noise here
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  const std::string source = fuzz::ScratchPath("source.mkv");
  fuzz::WriteBytes(source, data, size);
  toolkit::MatroskaHeader header;
  std::string error;
  if (toolkit::ReadMatroskaHeader(source, header, error)) {
    for (const auto& track : header.tracks) toolkit::TrackTypeName(track.type);
  }
  toolkit::MkvinfoMain({source, "-o", fuzz::ScratchPath("info.txt")});
  return 0;
}
