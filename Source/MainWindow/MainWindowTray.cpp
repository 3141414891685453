// Task tray mode: the main window is created owned by the hidden CDummyWindow so that it has no
// task bar button; with tray mode off it becomes a normal task bar window and the owner goes away.
#include "MainWindow/MainWindow.h"

#include <shellapi.h>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "resource.h"

namespace {

// The notification tip holds at most 63 characters and its terminator.
const size_t kTipLength = 63;

NOTIFYICONDATAW TrayData(HWND hwnd) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = 0;
    return data;
}

}  // namespace

void CMainWindow::AddTrayIcon() {
    if (!trayFlag_ || !hwnd_) return;
    NOTIFYICONDATAW data = TrayData(hwnd_);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, LR_SHARED));
    wchar_t title[kTipLength + 1] = {};
    GetWindowTextW(hwnd_, title, static_cast<int>(kTipLength + 1));
    lstrcpynW(data.szTip, title, static_cast<int>(kTipLength + 1));
    trayIconShown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void CMainWindow::RemoveTrayIcon() {
    if (!trayFlag_ || !hwnd_) return;
    NOTIFYICONDATAW data = TrayData(hwnd_);
    Shell_NotifyIconW(NIM_DELETE, &data);
    trayIconShown_ = false;
}

void CMainWindow::SetTrayMode(bool on) {
    trayFlag_ = on ? 1 : 0;
    if (on || !hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, 0);
    if (dummy_) DestroyWindow(dummy_);
    dummy_ = nullptr;
}

void CMainWindow::OnTrayNotify(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        SetForegroundWindow(hwnd_);
        SetFocus(hwnd_);
        InvalidateRect(hwnd_, nullptr, TRUE);
        UpdateWindow(hwnd_);
        return;
    }
    if (mouseMessage != WM_RBUTTONDOWN) return;
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kCmdExit, GlobalText::Get(kGtMenuExit));
    POINT pt{};
    GetCursorPos(&pt);
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd_, nullptr);
    DestroyMenu(menu);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}
