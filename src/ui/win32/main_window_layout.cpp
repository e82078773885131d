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
  // Under the source: what it is and what will become of it, in two lines kept for it.
  Label({100, 40, 526, 32}, f.lblPlan, false, true);
  Label({14, 80, 84, 20}, f.Label5[0]);
  Edit({100, 76, 360, 23}, f.txtTMP);
  Push({468, 75, 158, 25}, f.cmdTargetFolder);

  // What the source holds.
  Frame({14, 110, 200, 104}, f.Frame1);
  Label({24, 132, 104, 20}, f.Label2);
  Edit({132, 128, 40, 23}, f.txtS1);
  Label({24, 160, 60, 20}, f.lblSubs);
  List({88, 156, 118, 200}, f.cmbSubs);
  Check({24, 186, 96, 22}, f.chkSubs);
  Label({124, 189, 86, 20}, f.lblSRTFound, true);
  Frame({222, 110, 324, 104}, f.Frame2);
  List({232, 130, 250, 200}, f.cmbAudio);
  Edit({490, 130, 44, 23}, f.txtS2);
  Options({232, 168, 62, 22}, f.Option1);
  Label({232, 192, 306, 18}, f.lblAudioInfo, false, true);
  Frame({554, 110, 72, 104}, f.Frame3);
  Edit({562, 130, 56, 23}, f.txtSFPS);

  // How to convert.
  Check({14, 224, 108, 22}, f.chkMP2);
  List({124, 223, 96, 200}, f.cmdConv);
  Check({240, 224, 170, 22}, f.chk25);
  Check({420, 224, 206, 22}, f.chkChapters);
  Check({14, 250, 210, 22}, f.chkVob);
  Check({240, 250, 170, 22}, f.chkFF);
  Check({14, 276, 18, 22}, f.Check1);
  Label({34, 279, 190, 20}, f.Autosplit);
  Check({240, 276, 170, 22}, f.chkDVD);
  Push({14, 306, 130, 27}, f.cmdSubs);
  Push({150, 306, 150, 27}, f.Command3);

  // The status: the progress line with the batch position, and the bar.
  CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 14, 344, 612, 2, window_, nullptr,
                  GetModuleHandleA(nullptr), nullptr);
  Edit({14, 356, 520, 23}, f.txtProgress, true);
  Label({540, 359, 86, 20}, f.lblMulti);
  bar_ = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | PBS_SMOOTH, 14, 386, 440, 16, window_, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
  barText_ = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_RIGHT, 460, 386, 166, 16, window_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  SendMessageA(barText_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  f.txtProgress.Observe([this] { UpdateProgressBar(); });
  f.lblMulti.Observe([this] { UpdateProgressBar(); });
  f.stepMeter.Observe([this] { UpdateProgressBar(); });
  UpdateProgressBar();

  // The encode beside the step and the whole run, in one line under the bar.
  runText_ = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_LEFT | SS_ENDELLIPSIS, 14, 406, 612, 16, window_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(runText_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  f.besideMeter.Observe([this] { UpdateProgressBar(); });
  f.runMeter.Observe([this] { UpdateProgressBar(); });
  // Whether the file just made plays on the consoles, or a batch's summary; hidden until there
  // is one. Two lines are kept for it, so that a long summary moves nothing.
  verdict_ = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_LEFT | SS_EDITCONTROL, 14, 426, 404, 32, window_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(verdict_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  Label({14, 462, 400, 20}, f.Label3);
  AddStop({426, 432, 88, 32});
  Push({520, 432, 106, 32}, f.Command2, true);
}

}  // namespace parvela::win32
