// Keeping the window alive on the one interface thread while Parvela waits for a tool or a
// second of decoding. The window refuses user input while it is busy, so nothing the pump
// delivers can start a second conversion inside the first.
#pragma once

#include "ui/window_host.h"

namespace parvela::qt {

// Runs the window events that are pending: painting, timers, window-manager requests.
void PumpWindowEvents();

// Waits with the window painting.
class PumpingSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override;
};

}  // namespace parvela::qt
