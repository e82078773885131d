// The ten-line settings file in the state folder: read once at start, rewritten per conversion.
#include <charconv>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/registration.h"
#include "dshow/dshow.h"
#include "fsutil/fsutil.h"
#include "ui/form1.h"

namespace parvela {

namespace {

// Hands out the lines one by one. Past the end it keeps giving the last line read, as the
// original reader left its buffer untouched when a read failed.
class LineSource {
 public:
  explicit LineSource(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  const std::string& Next() {
    if (next_ < lines_.size()) last_ = lines_[next_++];
    return last_;
  }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
  std::string last_;
};

// Whole-number conversion as the file's numbers need it: blanks around an optional sign and
// digits (" 1 ", "-1 "); anything else converts to nothing.
std::optional<int> ToInteger(const std::string& text) {
  std::string t = TrimBlanks(text);
  if (t.size() > 1 && t[0] == '+' && t[1] != '-') t.erase(0, 1);
  int value = 0;
  const char* end = t.data() + t.size();
  auto [ptr, ec] = std::from_chars(t.data(), end, value);
  if (t.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// The file's fixed numeric form: sign place (blank or minus), digits, one trailing blank.
std::string NumberText(int value) {
  const long long v = value;
  return (v < 0 ? "-" : " ") + std::to_string(std::llabs(v)) + " ";
}

// A value the box refuses (not 0 or 1) leaves it as it was.
void SetCheckFromText(CheckBox& box, const std::string& text) {
  if (auto v = ToInteger(text)) box.SetValue(*v);
}

}  // namespace

void Form1::LoadSettings() {
  Sub_RegisterServer(0, app.appFolder + kSep + "FSFWrap.dll", true);
  Sub_RegisterServer(0, app.appFolder + kSep + "WAVDEST.AX", true);
  LoadDecoderOptions(app);

  const std::string path = app.SettingsPath();
  if (!FileIsPresent(path)) return;
  std::vector<std::string> lines;
  ReadTextLines(path, lines);  // a file that cannot be read yields no line at all
  LineSource in(std::move(lines));

  tools.strMKV = in.Next();
  tools.strFF = in.Next();
  tools.strMP4 = in.Next();
  txtTMP.SetText(in.Next());
  SetCheckFromText(chkVob, in.Next());
  SetCheckFromText(Check1, in.Next());
  strMKVPath = in.Next();
  strH264Opts = in.Next();
  strConvOpts = in.Next();
  if (strConvOpts.size() != 3) strConvOpts = "0";
  if (auto index = ToInteger(strConvOpts)) cmdConv.SetListIndex(*index);
  strSubOpts = in.Next();
}

void Form1::SaveSettings() {
  const std::string path = app.SettingsPath();
  DeleteFile(path);  // a read-only file stays, and the writer below leaves it alone too
  WriteTextLines(path, {tools.strMKV, tools.strFF, tools.strMP4, txtTMP.Text(),
                        NumberText(chkVob.Value()), NumberText(Check1.Value()), strMKVPath,
                        strH264Opts, NumberText(cmdConv.ListIndex()), strSubOpts});
}

}  // namespace parvela
