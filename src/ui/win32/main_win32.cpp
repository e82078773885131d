// parvela.exe: the window. Start-up as the program always did it: creating the window registers
// the components, reads the settings and acts on the argument; only then does the window appear.
#include <windows.h>
#undef MessageBox  // the window host method of that name is ours

#include <string>

#include "app/application.h"
#include "app/instance_lock.h"
#include "dshow/dshow.h"
#include "process/process.h"
#include "ui/form1.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_host.h"

namespace {

// Everything after the program name is one path; a path with blanks may come as several words.
std::string ArgumentText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace parvela;
  win32::Win32WindowHost host;
  // One window or command-line run per installation: they share the report and the settings.
  InstanceLock lock(ExecutableFolder());
  if (!lock.Held()) {
    host.MessageBox("Another Parvela run is using " + ExecutableFolder() +
                        " (its report and settings). Close that window, or wait until its conversion has ended, "
                        "and start Parvela again.",
                    "Parvela", MsgIcon::Critical, MsgButtons::Ok);
    return 1;
  }
  Win32ProcessRunner runner;
  win32::PumpingSleeper sleeper(host);
  Application app(ExecutableFolder(), UserHomeFolder(), runner, host, sleeper);
  app.dialogFolder = DialogStartFolder();
  auto graph = CreateGraphBackend(host);
  app.graph = graph.get();
  app.argumentText = ArgumentText(argc, argv);

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
