// The toolkit under wine: a Windows build of Parvela started by wine hands the tools
// drive-letter paths ("Z:\tmp\film.mkv"). This is the one place that turns them into the Linux
// paths they name, in arguments and in order files alike.
#pragma once

#include <string>
#include <string_view>

namespace parvela::toolkit {

// Every drive-letter path in text ("X:\" at the start or after a character that cannot be part
// of a name) up to a double quote or the end of its line, with its letter resolved through the
// wine prefix's dosdevices folder (Z: is the root) and its backslashes made slashes. A letter
// the prefix does not know, and all text outside wine, stays as it is.
std::string LinuxPaths(std::string_view text);

}  // namespace parvela::toolkit
