// Helpers of the filer's input, menu and command suites: a menu written out as a short text, a
// scope that answers the context menu instead of a person, a scope that records what the shell
// would open, and keys pressed with Ctrl held.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Filer/Menu/FilerMenu.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Shell/ShellRun.h"

namespace filer_test {

// The token of a submenu caption: which of the filer's submenus it is, or "?".
inline std::wstring SubmenuToken(const std::wstring& caption) {
    struct Submenu {
        int entry;
        const wchar_t* token;
    };
    static const Submenu kSubmenus[] = {
        {kGtEntryMenuOpenWith, L"OpenWith"}, {kGtEntryMenuShell, L"Shell"}, {kGtEntryMenuColour, L"Colour"}};
    for (const Submenu& submenu : kSubmenus)
        if (caption == GlobalText::Get(submenu.entry)) return submenu.token;
    return L"?";
}

// One token per item, separated by blanks: "-" a separator, the id for an item, "*" after a checked
// and "~" after a greyed id, "o" before an owner-drawn id, "S" for a run of shell items (ids 2000 and
// up, with the separators between them), and "{Name: ...}" for a submenu, Name its SubmenuToken.
inline std::wstring DescribeMenu(HMENU menu) {
    std::wstring out;
    const int count = GetMenuItemCount(menu);
    bool inShell = false;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 255;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        std::wstring token;
        if (item.hSubMenu) {
            const std::wstring inner = DescribeMenu(item.hSubMenu);
            token = L"{" + SubmenuToken(text) + L":" + (inner.empty() ? L"" : L" " + inner) + L"}";
        } else if (item.fType & MFT_SEPARATOR) {
            token = L"-";
        } else if (item.wID >= kShellFirst && item.wID <= kShellLast) {
            token = L"S";
        } else {
            token = (item.fType & MFT_OWNERDRAW ? L"o" : L"") + std::to_wstring(item.wID);
            if (item.fState & MFS_CHECKED) token += L"*";
            if (item.fState & MFS_GRAYED) token += L"~";
        }
        // A separator between two shell items belongs to the shell's run.
        const UINT nextId = i + 1 < count ? GetMenuItemID(menu, i + 1) : 0;
        if (token == L"-" && inShell && nextId >= kShellFirst && nextId <= kShellLast) continue;
        if (token == L"S") {
            if (!inShell) out += out.empty() ? L"S" : L" S";
            inShell = true;
            continue;
        }
        inShell = false;
        out += (out.empty() ? L"" : L" ") + token;
    }
    return out;
}

// The text of the item with `id` anywhere in `menu`.
inline std::wstring MenuText(HMENU menu, UINT id) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
    return text;
}

// While alive, every context menu is described into `menus` (and handed to `inspect`, when set,
// while it is open) and answered with `answer` instead of being shown.
class MenuAnswer {
public:
    explicit MenuAnswer(int answer = 0) : answer_(answer) {
        SetFilerMenuTracker([this](HMENU menu) {
            menus.push_back(DescribeMenu(menu));
            if (inspect) inspect(menu);
            return answer_;
        });
    }
    ~MenuAnswer() { SetFilerMenuTracker({}); }
    MenuAnswer(const MenuAnswer&) = delete;
    MenuAnswer& operator=(const MenuAnswer&) = delete;

    void SetAnswer(int answer) { answer_ = answer; }

    std::vector<std::wstring> menus;
    std::function<void(HMENU)> inspect;

private:
    int answer_;
};

struct ShellCall {
    std::wstring file;
    std::wstring parameters;
};

// While alive, records every opening instead of running it.
class ShellRecorder {
public:
    ShellRecorder() {
        SetShellOpenHook([this](const std::wstring& file, const std::wstring& parameters) {
            calls.push_back({file, parameters});
            return true;
        });
    }
    ~ShellRecorder() { SetShellOpenHook({}); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    std::vector<ShellCall> calls;
};

// A character sent to `window` while this thread's key state shows Ctrl held.
inline void SendCtrlChar(HWND window, wchar_t ch) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const BYTE previous = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(window, WM_CHAR, ch, 0);
    keys[VK_CONTROL] = previous;
    SetKeyboardState(keys);
}

// A right click (button down at `down`, up at `up`, client coordinates) on `window`.
inline void RightClick(HWND window, POINT down, POINT up) {
    SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(down.x, down.y));
    SendMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(up.x, up.y));
}

}  // namespace filer_test
