#include "ui/window_host.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace parvela {

void RealSleeper::Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

long long Sleeper::Milliseconds() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

MsgAnswer HeadlessHost::ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                   MsgButtons buttons) {
  ++messagesShown_;
  // An error is a critical message, or the plain notice that an output was not created.
  if (icon == MsgIcon::Critical || text.rfind("Error", 0) == 0) ++errorsShown_;
  std::cerr << (title.empty() ? std::string("Parvela") : title) << ": " << text << std::endl;
  // Without anyone to ask, a question takes the answer that keeps the user's settings.
  return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

}  // namespace parvela
