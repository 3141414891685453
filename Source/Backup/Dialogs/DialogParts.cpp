// Shared pieces of the backup dialogs.
#include "Backup/Dialogs/DialogParts.h"

#include "Kv/KvControls.h"
#include "Kv/KvWindow.h"

namespace backup_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font) {
    HWND button =
        CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, width, height,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (button && font) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return button;
}

void CentreOnOwner(HWND dlg) {
    RECT rc{};
    GetWindowRect(dlg, &rc);
    const POINT centre = KvWindowCenter(GetWindow(dlg, GW_OWNER));
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    MoveWindow(dlg, centre.x - width / 2, centre.y - height / 2, width, height, FALSE);
}

std::wstring ItemText(HWND dlg, int id) {
    return KvGetWindowText(GetDlgItem(dlg, id));
}

int ClientWidth(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc.right - rc.left;
}

}  // namespace backup_ui
