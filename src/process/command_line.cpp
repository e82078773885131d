// Command lines as the Microsoft C runtime reads them: splitting, and quoting a path so that
// the split gives it back. Shared by every platform's runner and by the roads.
#include "process/process.h"

namespace parvela {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool inQuotes = false;
    while (i < n && (inQuotes || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && line[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && line[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg.push_back('"');
          } else {
            inQuotes = !inQuotes;
          }
          ++i;
        } else {
          arg.append(slashes, '\\');
        }
      } else if (line[i] == '"') {
        inQuotes = !inQuotes;
        ++i;
      } else {
        arg.push_back(line[i]);
        ++i;
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string Quoted(std::string_view path) {
  std::string out = "\"";
  // A trailing backslash would escape the closing quote, so such a path is escaped too.
  const bool plain = path.find('"') == std::string_view::npos && (path.empty() || path.back() != '\\');
  if (plain) {
    out.append(path);
  } else {
    // Backslashes only matter before a quote (or before the closing quote we add).
    size_t slashes = 0;
    for (char c : path) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      if (c == '"') {
        out.append(slashes * 2 + 1, '\\');
        out.push_back('"');
      } else {
        out.append(slashes, '\\');
        out.push_back(c);
      }
      slashes = 0;
    }
    out.append(slashes * 2, '\\');
  }
  out.push_back('"');
  return out;
}

}  // namespace parvela
