// h264info: takes no arguments; reads [Paths] InputPath= and OutputPath= from h264info.ini
// beside itself and copies the H.264 byte stream from one to the other, with level_idc of
// every sequence parameter set rewritten to 41 (level 4.1, what the consoles accept). The copy
// streams in large blocks, so a film-sized stream is never held in memory; it is written under
// a temporary name and takes the output's name only when complete.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "role_files.h"
#include "drive_paths.h"
#include "toolkit.h"

namespace parvela::toolkit {

namespace {

constexpr const char* kRole = "h264info";
constexpr unsigned char kLevel41 = 41;
constexpr size_t kBlock = 4 << 20;
// Start code (3), NAL header, profile_idc, constraint flags, level_idc.
constexpr size_t kPatternBytes = 7;

// Rewrites the level byte of every SPS that starts in buf[0, size - kPatternBytes].
void PatchLevels(unsigned char* buf, size_t size) {
  for (size_t i = 0; i + kPatternBytes <= size; ++i) {
    // A NAL header is never zero, so the first zero pair tells where to look next.
    if (buf[i + 2] > 1) {
      i += 2;
      continue;
    }
    if (buf[i] == 0 && buf[i + 1] == 0 && buf[i + 2] == 1 && (buf[i + 3] & 0x1F) == 7) buf[i + 6] = kLevel41;
  }
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The last few bytes of each block wait for the next one: an SPS may straddle the boundary.
bool CopyPatched(int from, int to) {
  std::vector<unsigned char> buf(kBlock + kPatternBytes);
  size_t held = 0;
  for (;;) {
    ssize_t n = ::read(from, buf.data() + held, kBlock);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return WriteAll(to, buf.data(), held);
    size_t size = held + static_cast<size_t>(n);
    PatchLevels(buf.data(), size);
    held = std::min(size, kPatternBytes - 1);
    if (!WriteAll(to, buf.data(), size - held)) return false;
    std::memmove(buf.data(), buf.data() + size - held, held);
  }
}

}  // namespace

int H264InfoMain(const Args& args) {
  if (!args.empty()) return Fail(kRole, "takes no arguments; the paths come from h264info.ini beside it");
  const std::string ini = FolderOf(InvokedAs()) + "h264info.ini";
  if (!IsFile(ini)) return Fail(kRole, "cannot read " + ini, kInputMissing);
  const IniPaths paths = ParseH264InfoIni(LinuxPaths(ReadHead(ini, kOrderFileLimit)));
  if (paths.input.empty() || paths.output.empty()) {
    return Fail(kRole, ini + " names no InputPath= and OutputPath= in its [Paths] section");
  }
  if (paths.input == paths.output) return Fail(kRole, "InputPath and OutputPath name the same file");
  int from = ::open(paths.input.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0 || !IsFile(paths.input)) {
    if (from >= 0) ::close(from);
    return FailMissing(kRole, paths.input);
  }
  const std::string part = paths.output + ".part";
  int to = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (to < 0) {
    ::close(from);
    return Fail(kRole, "cannot write " + part + ": " + std::strerror(errno));
  }
  bool copied = CopyPatched(from, to);
  ::close(from);
  copied = ::close(to) == 0 && copied;
  if (!copied || !MoveFile(part, paths.output)) {
    std::remove(part.c_str());
    return Fail(kRole, "cannot copy " + paths.input + " to " + paths.output);
  }
  return 0;
}

}  // namespace parvela::toolkit
