// Shared pieces of the chooser dialogs (see ChooserParts.h).
#include "Choosers/ChooserParts.h"

#include <shellapi.h>

#include "Kv/KvWindow.h"

namespace chooser_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font) {
    HWND button = CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, width,
                                  height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (button && font) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return button;
}

HWND CreateGroup(const wchar_t* text, int x, int y, int width, int height, HWND parent, HFONT font) {
    HWND group = CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, x, y, width, height, parent,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    if (group && font) SendMessageW(group, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return group;
}

void CentreOnOwner(HWND dlg) {
    RECT rc{};
    GetWindowRect(dlg, &rc);
    const POINT centre = KvWindowCenter(GetWindow(dlg, GW_OWNER));
    KvMoveWindow(dlg, centre.x - (rc.right - rc.left) / 2, centre.y - (rc.bottom - rc.top) / 2);
}

std::wstring ItemText(HWND dlg, int id) {
    HWND item = GetDlgItem(dlg, id);
    if (!item) return std::wstring();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
    return text;
}

int ClientWidth(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc.right;
}

bool ProgramDisplay(const std::wstring& path, std::wstring& name, int& icon) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return false;
    name = info.szDisplayName;
    icon = info.iIcon;
    return true;
}

HIMAGELIST SystemSmallImages() {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

}  // namespace chooser_ui
