#include "ui/qt/event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace parvela::qt {

void PumpWindowEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void PumpingSleeper::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace parvela::qt
