// The H.264 sequence-parameter-set reader on any bytes, as a NAL unit, an avcC record
// and a byte stream, with everything the checker derives from a set it accepted.
#include <string_view>

#include "fuzz_support.h"
#include "streams/h264_sps.h"

namespace {

void Derive(const std::optional<parvela::Sps>& sps) {
  if (!sps) return;
  volatile unsigned sink = sps->Width() + sps->Height() + sps->FrameMbs();
  sink = sink + parvela::Level41DpbFrames(*sps);
  (void)sink;
  parvela::fuzz::Require(parvela::ProfileName(sps->profileIdc) != nullptr, "every profile has a name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Derive(ParseSps(bytes));
  Derive(SpsFromAvcC(bytes));
  Derive(SpsFromByteStream(bytes));
  return 0;
}
