// What every fuzz target shares: a scratch folder for the inputs that must be files, and a
// plain abort that libFuzzer reports as a crash when a property does not hold.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace parvela::fuzz {

// One folder per fuzzing process, in memory where the system offers it, removed at exit.
inline const std::string& ScratchFolder() {
  // Never destroyed: the clean-up at exit runs after the destructors of function statics.
  static const std::string* folder = [] {
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    auto* pattern = new std::string((base / "parvela-fuzz-XXXXXX").string());
    if (!mkdtemp(pattern->data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
    return pattern;
  }();
  return *folder;
}

inline std::string ScratchPath(const std::string& name) { return ScratchFolder() + "/" + name; }

// Replaces the file with exactly these bytes.
inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) std::abort();
  for (size_t done = 0; done < size;) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

}  // namespace parvela::fuzz
