// parvela.exe: the window. Start-up as the program always did it: creating the window registers
// the components, reads the settings and acts on the argument; only then does the window appear.
#include <windows.h>
#undef MessageBox  // the window host method of that name is ours

#include <optional>
#include <string>

#include "app/application.h"
#include "app/instance_lock.h"
#include "app/state_folder.h"
#include "dshow/dshow.h"
#include "process/process.h"
#include "ui/form1.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_host.h"

int main(int argc, char** argv) {
  using namespace parvela;
  win32::Win32WindowHost host;
  // The window reads the settings at start and writes them when it closes, and its conversions
  // share the report with any other run: one window or command-line run per state folder.
  const std::string appFolder = ExecutableFolder();
  std::string stateFolder;
  std::optional<InstanceLock> lock;
  if (!TakeWindowStateFolder(host, appFolder, stateFolder, lock)) return 1;
  Win32ProcessRunner runner;
  win32::PumpingSleeper sleeper(host);
  Application app(appFolder, UserHomeFolder(), runner, host, sleeper);
  app.stateFolder = stateFolder;
  app.runOwnsOnlyItsFiles = true;
  app.dialogFolder = DialogStartFolder();
  auto graph = CreateGraphBackend(host);
  app.graph = graph.get();
  app.argumentText = JoinArguments(argc, argv);

  Form1 form(app);
  win32::MainWindow window(form, host);
  runner.SetWaitPump([&host] { host.DoEvents(); });
  ShowWindow(window.Handle(), SW_SHOWNORMAL);
  UpdateWindow(window.Handle());
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
