
#include "ui/win32/win32_host.h"

#include <commdlg.h>
#include <shlobj.h>

#include <utility>
#include <vector>

namespace parvela::win32 {

namespace {

bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

UINT IconStyle(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return MB_ICONERROR;
    case MsgIcon::Question: return MB_ICONQUESTION;
    case MsgIcon::Exclamation: return MB_ICONWARNING;
    case MsgIcon::Information: return MB_ICONINFORMATION;
    case MsgIcon::None: break;
  }
  return 0;
}

}  // namespace

void PumpMessages(HWND mainWindow, bool dropInput, HWND open) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (dropInput && IsUserInput(message.message) && mainWindow && (!open || message.hwnd != open) &&
        (message.hwnd == mainWindow || IsChild(mainWindow, message.hwnd))) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

MsgAnswer Win32WindowHost::ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                      MsgButtons buttons) {
  const UINT style = IconStyle(icon) | (buttons == MsgButtons::YesNo ? MB_YESNO : MB_OK);
  const int answer = MessageBoxA(window_, text.c_str(), title.empty() ? "Parvela" : title.c_str(), style);
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  return answer == IDYES ? MsgAnswer::Yes : MsgAnswer::No;
}

std::string Win32WindowHost::OpenFileDialog(const OpenFileRequest& request) {
  if (!nextFile_.empty()) return std::exchange(nextFile_, std::string());
  // The filter is "name\0pattern\0\0".
  std::string filter = request.filterName + '\0' + request.filterPattern + '\0' + '\0';
  std::vector<char> chosen(MAX_PATH * 4, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = chosen.data();
  dialog.nMaxFile = static_cast<DWORD>(chosen.size());
  dialog.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
  dialog.lpstrTitle = request.title.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&dialog)) return {};
  return chosen.data();
}

std::string Win32WindowHost::BrowseForFolder(const std::string& title) {
  if (!nextFolder_.empty()) return std::exchange(nextFolder_, std::string());
  BROWSEINFOA browse{};
  browse.hwndOwner = window_;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse);
  if (!chosen) return {};
  char path[MAX_PATH] = "";
  const bool ok = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  return ok ? path : std::string();
}

void Win32WindowHost::Repaint() {
  if (window_) UpdateWindow(window_);
}

void Win32WindowHost::DoEvents() { PumpMessages(window_, busy_, open_); }

void Win32WindowHost::SetTopmost(bool onTop) {
  if (window_) SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void PumpingSleeper::Sleep(int milliseconds) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds > 0 ? milliseconds : 0);
  do {
    host_.DoEvents();
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
  } while (true);
}

}  // namespace parvela::win32
