// Finished films set aside while a run makes their successors: each waits under a name of its
// own and goes back unless the successor is complete and judged.
#pragma once

#include <string>

namespace parvela {

// The name an earlier output waits under: the path with this ending.
inline constexpr const char* kKeptEnding = ".parvela-earlier";
inline std::string KeptName(const std::string& path) { return path + kKeptEnding; }

// Remembers that the earlier file of `path` waits under KeptName(path), so that an interrupted
// front end can still put it back; forgotten once the run has settled it.
void RememberKept(const std::string& path);
void ForgetKept(const std::string& path);
// For a signal handler (async-signal-safe calls only): removes whatever stands at each path
// remembered and puts its earlier file back.
void PutBackKeptFiles();

}  // namespace parvela
