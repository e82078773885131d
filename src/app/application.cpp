#include "app/application.h"

#include "fsutil/fsutil.h"

namespace parvela {

// One spelling serves the existence test, the reader and the writer on case-sensitive systems.
std::string Application::SettingsPath() const { return stateFolder + kSep + "parvela.conf"; }
std::string Application::DebugLogPath() const { return stateFolder + kSep + "debug.log"; }
std::string Application::InfoReportPath() const { return stateFolder + kSep + "info.txt"; }

std::string JoinArguments(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace parvela
