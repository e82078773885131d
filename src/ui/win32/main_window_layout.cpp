// The window's controls in the Qt window's order and places: what to convert and where to, what
// the source holds, how to convert; then the status and "Convert". Places are left, top,
// width, height in pixels.
#include "ui/win32/main_window.h"

#include <commctrl.h>


namespace parvela::win32 {

void MainWindow::BuildControls() {
  Form1& f = form_;
  // What to convert and where the result goes.
  Label({14, 16, 84, 20}, f.Label5[1]);
  Edit({100, 12, 360, 23}, f.txtFile);
  Push({468, 11, 72, 25}, f.Command1);
  Push({546, 11, 80, 25}, f.cmdFolder);
  Label({14, 46, 84, 20}, f.Label5[0]);
  Edit({100, 42, 360, 23}, f.txtTMP);
  Push({468, 41, 158, 25}, f.cmdTargetFolder);

  // What the source holds.
  Frame({14, 76, 200, 104}, f.Frame1);
  Label({24, 98, 104, 20}, f.Label2);
  Edit({132, 94, 40, 23}, f.txtS1);
  Label({24, 126, 60, 20}, f.lblSubs);
  List({88, 122, 118, 200}, f.cmbSubs);
  Check({24, 152, 96, 22}, f.chkSubs);
  Label({124, 155, 86, 20}, f.lblSRTFound, true);
  Frame({222, 76, 324, 104}, f.Frame2);
  List({232, 96, 250, 200}, f.cmbAudio);
  Edit({490, 96, 44, 23}, f.txtS2);
  Options({232, 134, 62, 22}, f.Option1);
  Label({232, 158, 306, 18}, f.lblAudioInfo, false, true);
  Frame({554, 76, 72, 104}, f.Frame3);
  Edit({562, 96, 56, 23}, f.txtSFPS);

  // How to convert.
  Check({14, 190, 108, 22}, f.chkMP2);
  List({124, 189, 96, 200}, f.cmdConv);
  Check({240, 190, 170, 22}, f.chk25);
  Check({420, 190, 206, 22}, f.chkChapters);
  Check({14, 216, 210, 22}, f.chkVob);
  Check({240, 216, 170, 22}, f.chkFF);
  Check({14, 242, 18, 22}, f.Check1);
  Label({34, 245, 190, 20}, f.Autosplit);
  Check({240, 242, 170, 22}, f.chkDVD);
  Push({14, 272, 130, 27}, f.cmdSubs);
  Push({150, 272, 150, 27}, f.Command3);

  // The status: the progress line with the batch position, and the bar.
  CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 14, 310, 612, 2, window_, nullptr,
                  GetModuleHandleA(nullptr), nullptr);
  Edit({14, 322, 520, 23}, f.txtProgress, true);
  Label({540, 325, 86, 20}, f.lblMulti);
  bar_ = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | PBS_SMOOTH, 14, 352, 440, 16, window_, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
  barText_ = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_RIGHT, 460, 352, 166, 16, window_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  SendMessageA(barText_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  f.txtProgress.Observe([this] { UpdateProgressBar(); });
  f.lblMulti.Observe([this] { UpdateProgressBar(); });
  f.stepMeter.Observe([this] { UpdateProgressBar(); });
  UpdateProgressBar();

  // Whether the file just made plays on the consoles; hidden until a conversion finishes one.
  verdict_ = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_LEFT | SS_ENDELLIPSIS, 14, 372, 404, 16, window_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(verdict_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  Label({14, 392, 400, 20}, f.Label3);
  AddStop({426, 378, 88, 32});
  Push({520, 378, 106, 32}, f.Command2, true);
}

}  // namespace parvela::win32
