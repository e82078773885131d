#include "app/application.h"

#include "fsutil/fsutil.h"

namespace parvela {

// One spelling serves the existence test, the reader and the writer on case-sensitive systems.
std::string Application::SettingsPath() const { return stateFolder + kSep + "parvela.conf"; }
std::string Application::DebugLogPath() const { return stateFolder + kSep + "debug.log"; }
std::string Application::InfoReportPath() const { return stateFolder + kSep + "info.txt"; }

}  // namespace parvela
