
#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "fsutil/fsutil.h"
#include "playability/playability.h"
#include "process/process.h"
#include "ui/progress_counter.h"

namespace parvela::win32 {

namespace {

constexpr const char* kClassName = "ParvelaForm1";
constexpr int kFirstId = 100;
constexpr int kWidth = 640;
constexpr int kHeight = 490;  // with the plan line and the whole run's line
// Posted after a drop has been answered, so the program it came from is not kept waiting.
constexpr UINT kDroppedFile = WM_APP + 1;
constexpr UINT kDroppedFolder = WM_APP + 2;

std::string TextOf(HWND hwnd) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void ShowState(HWND hwnd, const Control& model) {
  ShowWindow(hwnd, model.Visible() ? SW_SHOWNA : SW_HIDE);
  EnableWindow(hwnd, model.Enabled());
}

void SetTextIfChanged(HWND hwnd, const std::string& text) {
  if (TextOf(hwnd) != text) SetWindowTextA(hwnd, text.c_str());
}

// For texts of our own that hold more than ASCII ("45% · 2:10 left").
void SetUtf8Text(HWND hwnd, const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), wide.data(),
                                         static_cast<int>(wide.size()));
  wide.resize(static_cast<size_t>(length > 0 ? length : 0));
  SetWindowTextW(hwnd, wide.c_str());
}

// A bar that moves to and fro while the step's length is unknown.
void SetMarquee(HWND bar, bool on) {
  const LONG_PTR style = GetWindowLongPtrA(bar, GWL_STYLE);
  if (((style & PBS_MARQUEE) != 0) == on) return;
  SetWindowLongPtrA(bar, GWL_STYLE, on ? style | PBS_MARQUEE : style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  SendMessageA(bar, PBM_SETMARQUEE, on, 30);
}

}  // namespace

MainWindow::MainWindow(Form1& form, Win32WindowHost& host) : form_(form), host_(host) {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&common);
  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  RECT frame{0, 0, kWidth, kHeight};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&frame, style, FALSE);
  window_ = CreateWindowExA(0, kClassName, form_.caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            windowClass.hInstance, this);
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateFontIndirectA(&metrics.lfMessageFont);
  metrics.lfMessageFont.lfWeight = FW_BOLD;
  bold_ = CreateFontIndirectA(&metrics.lfMessageFont);
  tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, window_,
                          nullptr, windowClass.hInstance, nullptr);
  BuildControls();
  host_.Attach(window_);
  form_.onOutputFinished = [this](const std::string& path) { ShowVerdict(path); };
  form_.onBatchFinished = [this](const std::string& summary) { ShowStatusLine(summary); };
  // A batch goes on past Parvela's own messages; its summary names them.
  form_.app.host.divert = [this](const std::string& text, const std::string& title, MsgButtons buttons) {
    return form_.DivertsInBatch(text, title, buttons);
  };
  // A verdict speaks of one source: choosing or typing another clears it.
  form_.txtFile.Observe([this] {
    if (form_.txtFile.Text() != verdictSource_) ShowWindow(verdict_, SW_HIDE);
  });
  DragAcceptFiles(window_, TRUE);
  RunHandler([this] { form_.Form_Load(); });
}

bool MainWindow::RunHandler(const std::function<void()>& handler) {
  if (busy_) return false;
  busy_ = true;
  host_.SetBusy(true);
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  handler();
  SetCursor(previous);
  host_.SetBusy(false);
  busy_ = false;
  if (closeWhenIdle_) PostMessageA(window_, WM_CLOSE, 0, 0);
  return true;
}

HWND MainWindow::Add(const char* windowClass, DWORD style, RECT place, Control& model,
                     std::function<void(WORD)> onCommand) {
  const int id = kFirstId + static_cast<int>(views_.size());
  HWND hwnd = CreateWindowExA(0, windowClass, model.Caption().c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                              place.top, place.right, place.bottom, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  views_.push_back({hwnd, std::move(onCommand)});
  // Every control gets a tool: a box greyed out by the rules says why, tool-tip or not.
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  std::string tip = model.ShownToolTip();
  tool.lpszText = tip.data();
  SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  return hwnd;
}

void MainWindow::Bind(HWND hwnd, Control& model, std::function<void()> mirror) {
  auto sync = [this, hwnd, &model, mirror] {
    ShowState(hwnd, model);
    UpdateToolTip(hwnd, model);
    if (mirror) mirror();
  };
  sync();
  model.Observe(sync);
}

void MainWindow::Label(RECT place, parvela::Label& model, bool bold, bool utf8) {
  HWND hwnd = Add("STATIC", SS_LEFT | SS_NOTIFY | (utf8 ? SS_ENDELLIPSIS : 0), place, model, nullptr);
  if (bold) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
  Bind(hwnd, model, [hwnd, &model, utf8] {
    if (utf8) {
      SetUtf8Text(hwnd, model.Caption());
    } else {
      SetTextIfChanged(hwnd, model.Caption());
    }
  });
}

void MainWindow::Frame(RECT place, parvela::Frame& model) {
  HWND hwnd = Add("BUTTON", BS_GROUPBOX, place, model, nullptr);
  Bind(hwnd, model, [hwnd, &model] { SetTextIfChanged(hwnd, model.Caption()); });
}

void MainWindow::Check(RECT place, CheckBox& model) {
  HWND hwnd = Add("BUTTON", BS_CHECKBOX | WS_TABSTOP, place, model, [this, &model](WORD code) {
    if (code == BN_CLICKED) RunHandler([&model] { model.SetValue(model.Value() == 1 ? 0 : 1); });
  });
  Bind(hwnd, model, [hwnd, &model] {
    SetTextIfChanged(hwnd, model.Caption());
    SendMessageA(hwnd, BM_SETCHECK, model.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  });
}

void MainWindow::Push(RECT place, Button& model, bool bold) {
  HWND hwnd = Add("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, place, model, [this, &model](WORD code) {
    if (code == BN_CLICKED) RunHandler([&model] { model.Click(); });
  });
  if (bold) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
  Bind(hwnd, model, [hwnd, &model] { SetTextIfChanged(hwnd, model.Caption()); });
}

void MainWindow::Edit(RECT place, TextBox& model, bool readOnly) {
  const DWORD style = WS_BORDER | ES_AUTOHSCROLL | (readOnly ? ES_READONLY : WS_TABSTOP);
  HWND hwnd = Add("EDIT", style, place, model, nullptr);
  views_.back().onCommand = [hwnd, &model](WORD code) {
    if (code == EN_CHANGE) model.SetText(TextOf(hwnd));  // the model's own text changes nothing
  };
  Bind(hwnd, model, [hwnd, &model] { SetTextIfChanged(hwnd, model.Text()); });
}

void MainWindow::List(RECT place, ComboBox& model) {
  HWND hwnd = Add("COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, place, model, nullptr);
  views_.back().onCommand = [this, hwnd, &model](WORD code) {
    if (code != CBN_SELCHANGE) return;
    const int chosen = static_cast<int>(SendMessageA(hwnd, CB_GETCURSEL, 0, 0));
    if (!RunHandler([&model, chosen] { model.SetListIndex(chosen); })) {
      SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(model.ListIndex()), 0);
    }
  };
  Bind(hwnd, model, [hwnd, &model] {
    SendMessageA(hwnd, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : model.Items()) {
      SendMessageA(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(model.ListIndex()), 0);
  });
}

void MainWindow::Options(RECT first, OptionButtons& model) {
  for (int i = 0; i < OptionButtons::kCount; ++i) {
    RECT place{first.left + i * first.right, first.top, first.right - 4, first.bottom};
    HWND hwnd = Add("BUTTON", BS_RADIOBUTTON | WS_TABSTOP, place, model, [this, &model, i](WORD code) {
      if (code == BN_CLICKED) RunHandler([&model, i] { model.Select(i); });
    });
    Bind(hwnd, model, [hwnd, &model, i] {
      SetTextIfChanged(hwnd, model.ElementCaption(i));
      SendMessageA(hwnd, BM_SETCHECK, model.Value(i) ? BST_CHECKED : BST_UNCHECKED, 0);
    });
  }
}

// Stop stands beside "Convert" while a conversion runs; it is the one control that answers
// then, so its click runs at once instead of waiting for the window to be idle.
void MainWindow::AddStop(RECT place) {
  Button& model = form_.cmdStop;
  stop_ = Add("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, place, model, [this](WORD code) {
    if (code == BN_CLICKED) form_.cmdStop.Click();
  });
  host_.KeepOpenWhileBusy(stop_);
  Bind(stop_, model, [this] {
    SetTextIfChanged(stop_, form_.cmdStop.Caption());
    if (form_.cmdStop.Visible()) ShowWindow(verdict_, SW_HIDE);  // a new run makes the last verdict stale
  });
}

// The running tool's own progress with the time left (a moving bar while it tells none), else
// the audio counter or the batch position; hidden when there is none of these.
void MainWindow::UpdateProgressBar() {
  UpdateRunLine();
  const StepMeter& meter = form_.stepMeter;
  if (meter.Running()) {
    const std::optional<int> permille = meter.Permille();
    SetMarquee(bar_, !permille);
    if (permille) {
      SendMessageA(bar_, PBM_SETRANGE32, 0, 1000);
      SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(*permille), 0);
    }
    SetUtf8Text(barText_, meter.Text());
    ShowWindow(bar_, SW_SHOWNA);
    ShowWindow(barText_, SW_SHOWNA);
    return;
  }
  SetMarquee(bar_, false);
  auto counter = CurrentCounter(form_.txtProgress.Text(), form_.lblMulti.Caption(), form_.lblMulti.Visible());
  ShowWindow(bar_, counter ? SW_SHOWNA : SW_HIDE);
  ShowWindow(barText_, counter ? SW_SHOWNA : SW_HIDE);
  if (!counter) return;
  SendMessageA(bar_, PBM_SETRANGE32, 0, counter->maximum);
  SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(counter->value), 0);
  const std::string of = std::to_string(counter->value) + " of " + std::to_string(counter->maximum);
  SetUtf8Text(barText_, counter->seconds ? of + " seconds of audio" : of);
}

void MainWindow::UpdateToolTip(HWND hwnd, const Control& model) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  std::string tip = model.ShownToolTip();
  tool.lpszText = tip.data();
  SendMessageA(tips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

// The encode beside the step, then the whole run: "Video encode: 45% · Whole run: 30% · 3:10 left".
void MainWindow::UpdateRunLine() {
  if (!runText_) return;
  std::string line;
  if (form_.besideMeter.Running()) line = "Video encode: " + form_.besideMeter.Text();
  const std::string whole = form_.runMeter.Text();
  if (!whole.empty()) line += (line.empty() ? "" : " \u00b7 ") + whole;
  SetUtf8Text(runText_, line);
  ShowWindow(runText_, line.empty() ? SW_HIDE : SW_SHOWNA);
}

void MainWindow::ShowVerdict(const std::string& outputPath) {
  ShowStatusLine(playability::CheckFile(form_.app, outputPath).Line());
}

// The verdict on the file just made, or a batch's summary, under the bar.
void MainWindow::ShowStatusLine(const std::string& line) {
  SetWindowTextA(verdict_, line.c_str());
  verdictSource_ = form_.txtFile.Text();
  ShowWindow(verdict_, SW_SHOWNA);
}

// A dropped MKV file or folder is taken as if chosen in the dialog of "File" or "Folder".
void MainWindow::OnDrop(HDROP drop) {
  char path[MAX_PATH] = "";
  const bool one = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) >= 1 && DragQueryFileA(drop, 0, path, MAX_PATH) > 0;
  DragFinish(drop);
  if (busy_ || !one) return;
  dropped_ = path;
  const bool mkv = dropped_.size() > 4 && lstrcmpiA(dropped_.c_str() + dropped_.size() - 4, ".mkv") == 0;
  if (FolderExists(dropped_)) {
    PostMessageA(window_, kDroppedFolder, 0, 0);
  } else if (mkv && FileIsPresent(dropped_)) {
    PostMessageA(window_, kDroppedFile, 0, 0);
  }
}

void MainWindow::OnClose() {
  if (!busy_) {
    DestroyWindow(window_);
    return;
  }
  // The run is stopped as by the Stop button (its temporary files go, a batch ends); the window
  // closes once the run has unwound.
  if (closeWhenIdle_) return;
  if (MessageBoxA(window_, "A conversion is running. Stop it and quit?", form_.caption.c_str(),
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  closeWhenIdle_ = true;
  if (!busy_) {
    DestroyWindow(window_);
    return;
  }
  form_.app.stopBatch = true;
  form_.app.stopRequested = true;
  TerminateRunningTool();
}

LRESULT CALLBACK MainWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
    static_cast<MainWindow*>(created->lpCreateParams)->window_ = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  return self ? self->Handle(message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const size_t index = static_cast<size_t>(LOWORD(wParam) - kFirstId);
      if (lParam != 0 && index < views_.size() && views_[index].onCommand) views_[index].onCommand(HIWORD(wParam));
      return 0;
    }
    case WM_LBUTTONDBLCLK:  // the window's own background: controls take their own clicks
      RunHandler([this] { form_.Form_DblClick(); });
      return 0;
    case WM_DROPFILES:
      OnDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kDroppedFile:
      host_.AnswerNextFileDialog(dropped_);
      RunHandler([this] { form_.Command1_Click(); });
      return 0;
    case kDroppedFolder:
      host_.AnswerNextFolderDialog(dropped_);
      RunHandler([this] { form_.cmdFolder_Click(); });
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window_, message, wParam, lParam);
  }
}

}  // namespace parvela::win32
