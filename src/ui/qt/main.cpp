// parvela: the window. Start-up as the program always did it: creating the window registers the
// components, reads the settings and acts on the argument; only then does the window appear.
#include <QApplication>
#include <QIcon>
#include <string>

#include "app/application.h"
#include "app/instance_lock.h"
#include "app/state_folder.h"
#include "dshow/dshow.h"
#include "process/process.h"
#include "ui/form1.h"
#include "ui/qt/event_pump.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_host.h"

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
  QApplication application(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName("parvela");
  QApplication::setApplicationVersion(PARVELA_VERSION);
  QApplication::setWindowIcon(QIcon(":/parvela.png"));
  QApplication::setDesktopFileName("parvela");

  qt::QtWindowHost host;
  // The window reads the settings at start and writes them when it closes, and its conversions
  // share the report with any other run: one window or command-line run per state folder.
  const std::string appFolder = ExecutableFolder();
  const std::string stateFolder = StateFolder(appFolder);
  if (!PrepareStateFolder(appFolder, stateFolder)) {
    host.MessageBox("Parvela cannot create " + stateFolder + " for its settings, log and lock.", "Parvela",
                    MsgIcon::Critical, MsgButtons::Ok);
    return 1;
  }
  InstanceLock lock(stateFolder);
  if (!lock.Held()) {
    host.MessageBox("Another Parvela run is using " + stateFolder +
                        " (its report and settings). Close that window, or wait until its conversion has ended, "
                        "and start Parvela again.",
                    "Parvela", MsgIcon::Critical, MsgButtons::Ok);
    return 1;
  }
  PosixProcessRunner runner;
  runner.SetWaitPump(qt::PumpWindowEvents);
  qt::PumpingSleeper sleeper;
  Application app(appFolder, UserHomeFolder(), runner, host, sleeper);
  app.stateFolder = stateFolder;
  auto graph = CreateGraphBackend(host);
  app.graph = graph.get();
  app.argumentText = ArgumentText(argc, argv);

  Form1 form(app);
  qt::MainWindow window(form, host);
  window.show();
  return QApplication::exec();
}
