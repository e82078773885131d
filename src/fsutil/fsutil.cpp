#include "fsutil/fsutil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace parvela {

namespace {

bool StatPath(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool OwnerMayWrite(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

// Wildcards as the Windows directory search knows them: '*' and '?', letter case ignored.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool FileIsPresent(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

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
  std::string folder = FolderPart(pattern);
  std::string wildcard = FileNamePart(pattern);
  if (wildcard == "*.*") wildcard = "*";  // as on Windows, *.* also matches names without a dot
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    // Folders are never listed, whatever their name: the converter must not be fed one.
    if (it->is_directory(ec)) continue;
    if (WildcardMatch(wildcard, name)) names.push_back(std::move(name));
  }
  // The Windows file systems deliver names sorted without regard to letter case; do the same,
  // so that a batch takes "alpha.mkv" before "Beta.mkv".
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    auto la = LowerCase(a), lb = LowerCase(b);
    return la != lb ? la < lb : a < b;
  });
  if (names.empty()) names.emplace_back();
  return names;
}

bool PathExists(const std::string& path, bool includeFolders) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  return S_ISDIR(st.st_mode) ? includeFolders : true;
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

void OpenFileAndGetSize(const std::string& path, FileHandle& handle, uint64_t& size) {
  handle = kInvalidHandle;
  size = 0;
  struct stat st;
  // Read and write access is asked for: a read-only file cannot be opened, even by root.
  if (!StatPath(path, st) || S_ISDIR(st.st_mode) || !OwnerMayWrite(st)) return;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return;
  }
  handle = fd;
  size = static_cast<uint64_t>(st.st_size);
}

void CloseFileHandle(FileHandle handle) {
  if (handle != kInvalidHandle) ::close(handle);
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

bool DeleteFile(const std::string& path) {
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return false;
  if (!S_ISLNK(st.st_mode) && !OwnerMayWrite(st)) return false;
  return ::unlink(path.c_str()) == 0;
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
  struct stat st;
  if (StatPath(path, st) && !OwnerMayWrite(st)) return false;
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
