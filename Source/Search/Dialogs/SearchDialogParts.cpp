// Shared pieces of the search dialogs.
#include "Search/Dialogs/SearchDialogParts.h"

#include "Kv/KvWindow.h"

namespace search_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font,
                  DWORD extraStyle) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (extraStyle ? extraStyle : BS_PUSHBUTTON);
    HWND button = CreateWindowExW(0, L"BUTTON", text, style, x, y, width, height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
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

std::wstring WholeText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

SIZE ClientSize(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace search_ui
