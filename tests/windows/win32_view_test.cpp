// The Win32 window mirrors Form1 and drives it: a click on a native control sets the model,
// whose handler cascades, and every change of the models shows in the controls.
#include <gtest/gtest.h>

#include "app/application.h"
#include "test_support.h"
#include "ui/form1.h"
#include "ui/win32/main_window.h"

namespace parvela {
namespace {

using testing::RecordingRunner;
using testing::RecordingSleeper;
using testing::TempDir;

struct WindowOverModel {
  TempDir appDir;
  RecordingRunner runner;
  win32::Win32WindowHost host;
  RecordingSleeper sleeper;
  Application app{appDir.path(), "D:\\", runner, host, sleeper};
  Form1 form{app};
  win32::MainWindow window{form, host};

  HWND Control(const Control& model, const char* windowClass = "Button") const {
    return FindWindowExA(window.Handle(), nullptr, windowClass, model.Caption().c_str());
  }
  // As a user's click arrives: the control's notification to the window.
  void Click(HWND control) const {
    SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
  }
  // Is there an edit control showing this text?
  bool EditShows(const std::string& text) const {
    for (HWND edit = nullptr; (edit = FindWindowExA(window.Handle(), edit, "Edit", nullptr)) != nullptr;) {
      char shown[256] = "";
      GetWindowTextA(edit, shown, sizeof shown);
      if (text == shown) return true;
    }
    return false;
  }
  static bool Checked(HWND control) { return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }
};

TEST(Win32View, ClicksRunTheModelsCascadeAndTheControlsFollowTheModels) {
  WindowOverModel w;
  ASSERT_NE(w.window.Handle(), nullptr);
  char title[128] = "";
  GetWindowTextA(w.window.Handle(), title, sizeof title);
  EXPECT_EQ(title, w.form.caption);
  HWND vob = w.Control(w.form.chkVob), safeSync = w.Control(w.form.chkFF), fps25 = w.Control(w.form.chk25);
  HWND convert = w.Control(w.form.Command2);
  ASSERT_TRUE(vob && safeSync && fps25 && convert);
  EXPECT_TRUE(w.EditShows("D:\\"));  // the design-time output folder

  w.Click(safeSync);
  EXPECT_EQ(w.form.chkFF.Value(), 1);
  EXPECT_TRUE(w.Checked(safeSync));
  // "Mux to Vob" unticks and disables Safe Sync and 25 FPS: the model's rule, shown by the view.
  w.Click(vob);
  EXPECT_EQ(w.form.chkVob.Value(), 1);
  EXPECT_TRUE(w.Checked(vob));
  EXPECT_EQ(w.form.chkFF.Value(), 0);
  EXPECT_FALSE(w.Checked(safeSync));
  EXPECT_FALSE(IsWindowEnabled(safeSync));
  EXPECT_FALSE(IsWindowEnabled(fps25));
  // A program change shows as well.
  w.form.chkVob.SetValue(0);
  EXPECT_FALSE(w.Checked(vob));
  EXPECT_TRUE(IsWindowEnabled(safeSync));
  w.form.Command2.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(convert));
  w.form.txtProgress.SetText("Encoding Audio");
  EXPECT_TRUE(w.EditShows("Encoding Audio"));
}

// Stop shows only while a run is on, and its click ends the run at once although the window
// refuses every other handler then; the audio label shows the chosen track, names beyond ASCII
// included.
TEST(Win32View, StopShowsDuringARunAndAnswersThereAndTheAudioLabelFollowsItsModel) {
  WindowOverModel w;
  HWND stop = w.Control(w.form.cmdStop);
  ASSERT_NE(stop, nullptr);
  auto shown = [](HWND control) { return (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0; };
  EXPECT_FALSE(shown(stop));
  bool shownDuringRun = false, secondHandlerRefused = false;
  w.window.RunHandler([&] {
    w.form.runDepth = 1;
    w.form.cmdStop.SetVisible(true);
    shownDuringRun = shown(stop);
    secondHandlerRefused = !w.window.RunHandler([] {});
    w.Click(stop);
    EXPECT_TRUE(w.app.stopRequested);
    w.form.runDepth = 0;
    w.form.cmdStop.SetVisible(false);
  });
  EXPECT_TRUE(shownDuringRun);
  EXPECT_TRUE(secondHandlerRefused);
  EXPECT_FALSE(shown(stop));

  w.form.lblAudioInfo.SetCaption("AC3, 6 channels, Commentaire du réalisateur");
  HWND info = FindWindowExW(w.window.Handle(), nullptr, L"Static", L"AC3, 6 channels, Commentaire du réalisateur");
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(shown(info));
}

}  // namespace
}  // namespace parvela
