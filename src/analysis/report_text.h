// Line access for the analysis code: the report's 1-based columns, the forward-reading cursor
// and the append-only debug log. Internal to analysis/.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace parvela::analysis {

// The text from 1-based column `from` to the end of the line; empty past the end.
std::string FromColumn(const std::string& line, size_t from);
// At most `count` characters from 1-based column `from`; empty past the end.
std::string Columns(const std::string& line, size_t from, size_t count);
// The last `count` characters, or the whole line when it is shorter.
std::string LastChars(const std::string& line, size_t count);

// Walks the report lines the way the classic scanner did: lines passed over by a forward
// search are consumed, and every read stops at the end of the report.
class ReportCursor {
 public:
  explicit ReportCursor(const std::vector<std::string>& lines) : lines_(lines) {}
  // Moves to the next line; false at the end of the report.
  bool Next();
  // Stays on the current line when it holds `text`, otherwise reads on; false at the end.
  bool ForwardTo(std::string_view text);
  const std::string& Line() const { return lines_[current_]; }

 private:
  const std::vector<std::string>& lines_;
  size_t current_ = 0;
  size_t next_ = 0;
};

// The debug log, held open for appending for the length of one reading.
class DebugLog {
 public:
  explicit DebugLog(const std::string& path);
  bool IsOpen() const { return out_.is_open(); }
  void Write(const std::string& line);

 private:
  std::ofstream out_;
};

}  // namespace parvela::analysis
