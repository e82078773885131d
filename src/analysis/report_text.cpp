#include "analysis/report_text.h"

#include "fsutil/fsutil.h"

namespace parvela::analysis {

std::string FromColumn(const std::string& line, size_t from) {
  return Columns(line, from, std::string::npos);
}

std::string Columns(const std::string& line, size_t from, size_t count) {
  if (from == 0 || from > line.size()) return {};
  return line.substr(from - 1, count);
}

std::string LastChars(const std::string& line, size_t count) {
  return line.size() <= count ? line : line.substr(line.size() - count);
}

bool ReportCursor::Next() {
  if (next_ >= lines_.size()) return false;
  current_ = next_++;
  return true;
}

bool ReportCursor::ForwardTo(std::string_view text) {
  // Before the first read there is no current line to stay on.
  if (next_ == 0 && !Next()) return false;
  while (!Contains(Line(), text)) {
    if (!Next()) return false;
  }
  return true;
}

DebugLog::DebugLog(const std::string& path) : out_(path, std::ios::binary | std::ios::app) {}

void DebugLog::Write(const std::string& line) { out_ << line << "\r\n"; }

}  // namespace parvela::analysis
