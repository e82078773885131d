// The file-system helpers every platform shares; the calls into the system are in
// fsutil_posix.cpp and fsutil_win32.cpp.
#include "fsutil/fsutil.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "fsutil/platform.h"

namespace fs = std::filesystem;

namespace parvela {

namespace {

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string FileNamePart(const std::string& path) {
  size_t pos = path.rfind(kSep);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string FolderPart(const std::string& path) {
  size_t pos = path.rfind(kSep);
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::vector<std::string> FindFiles(const std::string& patternIn) {
  std::string pattern = patternIn;
  if (!pattern.empty() && pattern.back() == kSep) pattern += "*.*";
  std::vector<std::string> names = ListMatchingFiles(FolderPart(pattern), FileNamePart(pattern));
  // The Windows file systems deliver names sorted without regard to letter case; do the same
  // everywhere, so that a batch takes "alpha.mkv" before "Beta.mkv".
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    auto la = LowerCase(a), lb = LowerCase(b);
    return la != lb ? la < lb : a < b;
  });
  if (names.empty()) names.emplace_back();
  return names;
}

uint64_t CombineSize64(int32_t low, int32_t high) {
  return static_cast<uint64_t>(static_cast<uint32_t>(high)) * 4294967296ULL +
         static_cast<uint64_t>(static_cast<uint32_t>(low));
}

std::string TrimAtNul(const std::string& text) {
  size_t pos = text.find('\0');
  return pos == std::string::npos ? text : text.substr(0, pos);
}

void MakeFolder(const std::string& folder) {
  std::error_code ec;
  fs::create_directory(folder, ec);
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (!FileIsPresent(from)) return false;
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

namespace {

bool WriteLines(const std::string& path, const std::vector<std::string>& lines, bool append) {
  // A read-only file is not written, not even by root: the write fails as it does on Windows.
  if (IsReadOnlyFile(path)) return false;
  std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  if (!out) return false;
  std::string buffer;
  for (const auto& line : lines) {
    buffer += line;
    buffer += "\r\n";
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
  return WriteLines(path, lines, false);
}

bool AppendTextLines(const std::string& path, const std::vector<std::string>& lines) {
  return WriteLines(path, lines, true);
}

bool AppendTextLine(const std::string& path, const std::string& line) {
  return WriteLines(path, {line}, true);
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    size_t stop = end;
    if (stop > start && all[stop - 1] == '\r') --stop;
    lines.emplace_back(all, start, stop - start);
    start = end + 1;
  }
  return true;
}

std::string TrimBlanks(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

size_t ReadFileStart(const std::string& path, char* buffer, size_t size) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  in.read(buffer, static_cast<std::streamsize>(size));
  return static_cast<size_t>(in.gcount());
}

}  // namespace parvela
