#include "drive_paths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace parvela::toolkit {

namespace {

// The folder a drive letter stands for in the wine prefix, with a trailing slash; empty when
// the prefix has no such drive (or there is no prefix: not under wine).
std::string DriveFolder(char letter) {
  std::string prefix;
  if (const char* named = std::getenv("WINEPREFIX"); named && *named) {
    prefix = named;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    prefix = std::string(home) + "/.wine";
  } else {
    return {};
  }
  const std::string device =
      prefix + "/dosdevices/" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) + ":";
  std::error_code ec;
  std::filesystem::path target = std::filesystem::canonical(device, ec);
  if (ec) return {};
  std::string folder = target.string();
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

bool StartsDrivePath(std::string_view text, size_t at) {
  if (at + 2 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[at])) || text[at + 1] != ':' ||
      text[at + 2] != '\\') {
    return false;
  }
  if (at == 0) return true;
  const unsigned char before = static_cast<unsigned char>(text[at - 1]);
  return !std::isalnum(before) && before != '_' && before != '.' && before != '\\';
}

}  // namespace

std::string LinuxPaths(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    std::string folder;
    if (StartsDrivePath(text, i) && !(folder = DriveFolder(text[i])).empty()) {
      out += folder;
      for (i += 3; i < text.size() && text[i] != '"' && text[i] != '\r' && text[i] != '\n'; ++i) {
        out.push_back(text[i] == '\\' ? '/' : text[i]);
      }
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

}  // namespace parvela::toolkit
