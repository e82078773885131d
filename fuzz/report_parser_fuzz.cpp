// The mkvinfo report parser on any report: whatever the tool wrote, the parse ends, fills only
// its 33 rows, and leaves the window's track fields in a state the driver can use.
#include "analysis/analysis.h"
#include "app_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  static fuzz::AppFixture fixture;
  fuzz::WriteBytes(fixture.app.InfoReportPath(), data, size);
  auto form = fixture.NewForm();
  fuzz::Require(ParseSourceReport(*form), "the parse runs when the log can be opened");
  const SourceInfo& info = fixture.app.sourceInfo;
  const std::string& kind = info.videoKind;
  fuzz::Require(kind.empty() || kind == "avc" || kind == "mpeg2" || kind == "vc1", "a known video kind");
  fuzz::Require(form->cmbAudio.ListCount() <= kTrackRows, "no more audio entries than rows");
  // The audio-list handler would index the rows by the entry the user picks.
  for (int i = 0; i < form->cmbAudio.ListCount(); ++i) {
    form->cmbAudio.SetListIndex(i);
  }
  return 0;
}
