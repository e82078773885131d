// What the shared file-system helpers ask of the platform files (fsutil_posix.cpp,
// fsutil_win32.cpp). Not part of the subsystem's public header.
#pragma once

#include <string>
#include <vector>

namespace parvela {

// Names of the files (never folders) in folder matching wildcard ('*' and '?', letter case
// ignored, "*.*" matching every name), in any order; folder is empty or ends in the separator.
std::vector<std::string> ListMatchingFiles(const std::string& folder, std::string wildcard);
// Is there a file at path that its owner may not write?
bool IsReadOnlyFile(const std::string& path);

}  // namespace parvela
