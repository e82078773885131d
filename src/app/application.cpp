#include "app/application.h"

#include "fsutil/fsutil.h"

namespace parvela {

std::string Application::DebugLogPath() const { return appFolder + kSep + "debug.log"; }
std::string Application::InfoReportPath() const { return appFolder + kSep + "info.txt"; }

}  // namespace parvela
