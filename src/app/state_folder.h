// Where Parvela keeps the files it writes for itself: the settings (parvela.conf), the debug
// log, the tools' reports (info.txt, probe.json), the lock, the register batch file and the
// h264info ini. A portable application folder keeps them beside the tools, as it always did; an
// installed one leaves them in each user's own folder, so that the users of one machine never
// share settings, log or lock, and nothing is written where the package manager keeps its files.
#pragma once

#include <optional>
#include <string>

#include "app/instance_lock.h"

namespace parvela {

// A file of this name in the application folder marks a system-wide installation: the state
// then goes to the user's folder even for a user (root) who could write beside the tools.
inline constexpr const char* kSystemWideMarker = "system-wide";

// The one place that decides: the application folder when it is writable and not marked as a
// system-wide installation; otherwise the user's configuration folder + "parvela"
// ($XDG_CONFIG_HOME/parvela, by default ~/.config/parvela; %APPDATA%\parvela on Windows).
// Creates nothing.
std::string StateFolder(const std::string& appFolder);

// Makes a state folder other than the application folder ready for use: the folder itself
// (private to the user) and h264info/h264info.exe, a link to the application folder's tool,
// since h264info reads its ini from beside itself. False when the folder cannot be made.
bool PrepareStateFolder(const std::string& appFolder, const std::string& stateFolder);

class WindowHost;

// The window's start: decides and prepares the state folder and takes its lock, which the
// window holds for as long as it is open. False, after saying why in a message box, when the
// folder cannot be made or another run holds it.
bool TakeWindowStateFolder(WindowHost& host, const std::string& appFolder, std::string& stateFolder,
                           std::optional<InstanceLock>& lock);

}  // namespace parvela
