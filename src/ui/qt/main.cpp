// parvela: the window. Start-up as the program always did it: creating the window registers the
// components, reads the settings and acts on the argument; only then does the window appear.
#include <QApplication>
#include <QIcon>
#include <optional>
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
  std::string stateFolder;
  std::optional<InstanceLock> lock;
  if (!TakeWindowStateFolder(host, appFolder, stateFolder, lock)) return 1;
  SystemProcessRunner runner;
  runner.SetWaitPump(qt::PumpWindowEvents);
  qt::PumpingSleeper sleeper;
  Application app(appFolder, UserHomeFolder(), runner, host, sleeper);
  app.stateFolder = stateFolder;
  app.runOwnsOnlyItsFiles = true;
  auto graph = CreateGraphBackend(host);
  app.graph = graph.get();
  app.argumentText = JoinArguments(argc, argv);

  Form1 form(app);
  qt::MainWindow window(form, host);
  window.show();
  return QApplication::exec();
}
