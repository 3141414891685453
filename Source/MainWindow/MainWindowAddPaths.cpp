// Paths from outside the program: a second start with /add (Explorer's Send To, a command prompt)
// hands them over by WM_COPYDATA (layout in Commands/AddPathsMessage.h); this start's own /add hands
// them over directly. They are added to the folder the filer shows once nothing else is under way:
// not inside the sender's SendMessage, and not while a modal window, a menu or a drag holds the
// user interface (those keep pointers to the shown entries).
#include "MainWindow/MainWindow.h"

#include "Commands/AddPathsMessage.h"
#include "Filer/KvFiler.h"

namespace {

constexpr UINT kMsgAddOutsidePaths = WM_APP + 0x60;
constexpr UINT_PTR kAddPathsRetryTimer = 0x5460;
constexpr UINT kAddPathsRetryMs = 250;

// The tick stored as the instance property; never 0, which would read as no property.
HANDLE ActivationStamp() {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetTickCount64() | 1));
}

bool InterfaceBusy(HWND hwnd) {
    if (!IsWindowEnabled(hwnd) || GetCapture()) return true;
    GUITHREADINFO info{sizeof(info)};
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0;
}

}  // namespace

void CMainWindow::MarkInstanceReady() {
    if (!hwnd_) return;
    instanceReady_ = SetPropW(hwnd_, kInstanceActiveProperty, ActivationStamp()) != FALSE;
}

void CMainWindow::NoteActivation() {
    if (instanceReady_) SetPropW(hwnd_, kInstanceActiveProperty, ActivationStamp());
}

LRESULT CMainWindow::OnCopyData(const COPYDATASTRUCT& data) {
    if (data.dwData != kCopyDataAddPaths || !instanceReady_) return FALSE;
    AddOutsidePaths(UnpackAddPaths(data.lpData, data.cbData));
    return kAddPathsAccepted;
}

void CMainWindow::AddOutsidePaths(std::vector<std::wstring> paths) {
    if (!hwnd_) return;
    outsidePaths_.insert(outsidePaths_.end(), paths.begin(), paths.end());
    PostMessageW(hwnd_, kMsgAddOutsidePaths, 0, 0);
}

void CMainWindow::FlushOutsidePaths() {
    KillTimer(hwnd_, kAddPathsRetryTimer);
    if (InterfaceBusy(hwnd_)) {
        SetTimer(hwnd_, kAddPathsRetryTimer, kAddPathsRetryMs, nullptr);
        return;
    }
    const std::vector<std::wstring> paths = std::move(outsidePaths_);
    outsidePaths_.clear();
    if (!paths.empty()) Filer().AddAndSelect(paths);
    if (!IsWindowVisible(hwnd_) || IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
    SetFocus(Filer().ListView());
}

bool CMainWindow::HandleOutsidePathsMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_COPYDATA:
        result = OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lp));
        return true;
    case kMsgAddOutsidePaths:
        FlushOutsidePaths();
        result = 0;
        return true;
    case WM_TIMER:
        if (wp != kAddPathsRetryTimer) return false;
        FlushOutsidePaths();
        result = 0;
        return true;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) NoteActivation();
        return false;
    case WM_DESTROY:
        RemovePropW(hwnd_, kInstanceActiveProperty);
        instanceReady_ = false;
        return false;
    default:
        return false;
    }
}
