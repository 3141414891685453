// Keys, typing and step scripts for walking windows by keyboard (see KeyboardDriver.h).
#include "Support/KeyboardDriver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Support/TestSupport.h"

namespace tf_test {

namespace {

void SetModifiers(int modifiers) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = (modifiers & kCtrl) ? 0x80 : 0;
    state[VK_SHIFT] = (modifiers & kShift) ? 0x80 : 0;
    SetKeyboardState(state);
}

HWND KeyTarget() {
    HWND focus = GetFocus();
    return focus ? focus : GetActiveWindow();
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

bool TakesInput(HWND hwnd) {
    const std::wstring cls = ClassOf(hwnd);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    if (cls == L"Button") return (style & BS_TYPEMASK) != BS_GROUPBOX;
    return cls == L"Edit" || cls == L"ListBox" || cls == L"ComboBox" || cls == L"SysListView32" ||
           cls == L"SysTabControl32";
}

bool IsRadio(HWND hwnd) {
    const LONG type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    return ClassOf(hwnd) == L"Button" && (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON);
}

// The first button of the radio group `hwnd` is in (the group opens with WS_GROUP).
HWND GroupLeader(HWND hwnd) {
    while (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_GROUP)) {
        HWND previous = GetWindow(hwnd, GW_HWNDPREV);
        if (!previous || !IsRadio(previous)) break;
        hwnd = previous;
    }
    return hwnd;
}

bool ShownAndEnabled(HWND hwnd, HWND dlg) {
    for (HWND w = hwnd; w && w != dlg; w = GetParent(w))
        if (!IsWindowVisible(w) || !IsWindowEnabled(w)) return false;
    return true;
}

void CollectInputs(HWND parent, HWND dlg, std::vector<HWND>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!ShownAndEnabled(child, dlg)) continue;
        if (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            CollectInputs(child, dlg, out);
            continue;
        }
        if (!TakesInput(child)) continue;
        if (IsRadio(child) && GroupLeader(child) != child) continue;
        out.push_back(child);
    }
}

}  // namespace

KeyScript* KeyScript::running = nullptr;

void PressKey(UINT vk, int modifiers) {
    SetModifiers(modifiers);
    HWND target = KeyTarget();
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    // F10 is a system key: its WM_SYSKEYDOWN is what makes Shift+F10 a context menu. Its release is
    // left out: the open context menu would take it from a real keyboard, while a posted one could
    // reach the window after the menu and start the menu bar's keyboard mode.
    if (vk == VK_F10) {
        PostMessageW(target, WM_SYSKEYDOWN, vk, scan | 1);
        return;
    }
    PostMessageW(target, WM_KEYDOWN, vk, scan | 1);
    PostMessageW(target, WM_KEYUP, vk, scan | 1 | (1 << 30) | (1u << 31));
}

void TypeText(const std::wstring& text) {
    HWND target = KeyTarget();
    for (wchar_t c : text) PostMessageW(target, WM_CHAR, c, 1);
}

int FocusedId() {
    HWND focus = GetFocus();
    return focus ? GetDlgCtrlID(focus) : 0;
}

KeyScript::~KeyScript() {
    if (timer_) KillTimer(nullptr, timer_);
    if (running == this) running = nullptr;
    SetModifiers(kPlain);
}

KeyScript& KeyScript::Then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

void KeyScript::Start() {
    running = this;
    next_ = 0;
    started_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 20, Tick);
}

void CALLBACK KeyScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    KeyScript* script = running;
    if (!script || script->Finished()) return;
    SetModifiers(kPlain);  // the keys of the step before have been handled
    if (GetTickCount() - script->started_ > kScriptLimitMs) {
        ADD_FAILURE() << "the key script stopped at step " << script->next_;
        script->next_ = script->steps_.size();
        return;
    }
    const size_t index = script->next_;
    if (script->steps_[index]()) script->next_ = std::max(script->next_, index + 1);
    if (script->Finished() && script->timer_) {
        KillTimer(nullptr, script->timer_);
        script->timer_ = 0;
    }
}

KeyScript::Step Press(UINT vk, int modifiers) {
    return [vk, modifiers] {
        PressKey(vk, modifiers);
        return true;
    };
}

KeyScript::Step Type(const std::wstring& text) {
    return [text] {
        TypeText(text);
        return true;
    };
}

KeyScript::Step TabTo(int id) {
    return [id] {
        if (FocusedId() == id) return true;
        PressKey(VK_TAB);
        return false;
    };
}

KeyScript::Step TabAround(std::vector<HWND>& reached) {
    return [&reached] {
        HWND focus = GetFocus();
        if (!reached.empty() && focus == reached.front()) return true;
        if (reached.size() > 60) return true;
        reached.push_back(focus);
        PressKey(VK_TAB);
        return false;
    };
}

std::vector<HWND> InputControls(HWND dlg) {
    std::vector<HWND> controls;
    CollectInputs(dlg, dlg, controls);
    return controls;
}

std::wstring Unreached(HWND dlg, const std::vector<HWND>& reached) {
    std::vector<HWND> leaders;
    for (HWND hwnd : reached) leaders.push_back(hwnd && IsRadio(hwnd) ? GroupLeader(hwnd) : hwnd);
    std::wstring missing;
    for (HWND control : InputControls(dlg)) {
        if (std::find(leaders.begin(), leaders.end(), control) != leaders.end()) continue;
        missing += L"[" + std::to_wstring(GetDlgCtrlID(control)) + L" " + ClassOf(control) + L" \"" +
                   WindowText(control) + L"\"] ";
    }
    return missing;
}

bool OpenMenuRect(RECT& rect) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return false;
    return GetWindowRect(menu, &rect) != FALSE;
}

}  // namespace tf_test
