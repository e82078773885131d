// parvela: the window. Start-up as the program always did it: creating the window registers the
// components, reads the settings and acts on the argument; only then does the window appear.
#include <QApplication>
#include <QIcon>
#include <string>

#include "app/application.h"
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

  PosixProcessRunner runner;
  runner.SetWaitPump(qt::PumpWindowEvents);
  qt::QtWindowHost host;
  qt::PumpingSleeper sleeper;
  Application app(ExecutableFolder(), UserHomeFolder(), runner, host, sleeper);
  auto graph = CreateGraphBackend(host);
  app.graph = graph.get();
  app.argumentText = ArgumentText(argc, argv);

  Form1 form(app);
  qt::MainWindow window(form, host);
  window.show();
  return QApplication::exec();
}
