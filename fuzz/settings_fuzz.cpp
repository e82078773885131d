// The settings file reader on any file: loading never fails, and what it loaded can be saved
// and loaded again to the same window state.
#include <vector>

#include "app_fixture.h"
#include "fsutil/fsutil.h"

namespace {

std::vector<std::string> State(const parvela::Form1& f) {
  return {f.tools.strMKV, f.tools.strFF,  f.tools.strMP4,  f.txtTMP.Text(),
          std::to_string(f.chkVob.Value()), std::to_string(f.Check1.Value()), f.strMKVPath,
          f.strH264Opts, std::to_string(f.cmdConv.ListIndex()), f.strSubOpts};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  static fuzz::AppFixture fixture;
  const std::string path = fixture.app.appFolder + kSep + "parvela.conf";
  fuzz::WriteBytes(path, data, size);
  auto first = fixture.NewForm();
  first->LoadSettings();
  const auto loaded = State(*first);
  first->SaveSettings();
  auto second = fixture.NewForm();
  second->LoadSettings();
  fuzz::Require(State(*second) == loaded, "saved settings load back the same");
  return 0;
}
