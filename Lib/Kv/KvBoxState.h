// Shared by the toolkit's boxes (not part of the library's interface). Each kind of box keeps its
// state in one process-wide object, but a box of a kind may be opened while another of the same
// kind is running (from a timer, a hook or a nested window). The opening call parks the running
// box's state in a BoxStateScope for the length of its own run, and the parked states form a chain
// through `outer`, so the window procedure still finds the state of whichever box a message is for.
// State types need an `HWND hwnd` (set on WM_CREATE, cleared on WM_DESTROY) and a `State* outer`.
#pragma once

#include <windows.h>
#include <utility>

#include "Kv/KvDpi.h"

namespace kv {

// One button size and one margin for every box, in 96-DPI pixels; the icon of the box's kind stands
// at the panel's left and the text beside it.
constexpr int kBoxButtonWidth = 100;
constexpr int kBoxButtonHeight = 22;
constexpr int kBoxButtonPitch = 110;
constexpr int kBoxMargin = 10;
constexpr int kBoxIconSize = 32;
constexpr int kBoxIconRoom = kBoxIconSize + kBoxMargin;

// A push button of the boxes' size at (x, y), in pixels of the box's DPI.
inline HWND CreateBoxButton(HWND box, const wchar_t* label, int id, int x, int y, HFONT font) {
    const UINT dpi = KvDpiOfWindow(box);
    HWND button = CreateWindowExW(0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y,
                                  KvScale(kBoxButtonWidth, dpi), KvScale(kBoxButtonHeight, dpi), box,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return button;
}

// The window a box belongs to: the one given, else the thread's active window while it is shown, so
// that a box is never left behind the window it is about.
inline HWND BoxOwner(HWND given) {
    if (given) return given;
    HWND active = GetActiveWindow();
    return active && IsWindowVisible(active) ? active : nullptr;
}

// The system icon `icon` (IDI_ERROR, IDI_WARNING, ...) at the panel's top left corner. System icons
// loaded with LR_SHARED belong to the system and are not destroyed.
inline void DrawBoxIcon(HDC dc, HWND box, const wchar_t* icon, int panelX, int panelY) {
    const UINT dpi = KvDpiOfWindow(box);
    const int size = KvScale(kBoxIconSize, dpi);
    auto handle = static_cast<HICON>(LoadImageW(nullptr, icon, IMAGE_ICON, size, size, LR_SHARED));
    if (!handle) return;
    const int inset = KvScale(8, dpi);
    DrawIconEx(dc, panelX + inset, panelY + inset, handle, size, size, 0, nullptr, DI_NORMAL);
}

template <typename State>
class BoxStateScope {
public:
    explicit BoxStateScope(State& current) : current_(current), saved_(std::move(current)) {
        current_ = State{};
        current_.outer = &saved_;
    }
    ~BoxStateScope() { current_ = std::move(saved_); }
    BoxStateScope(const BoxStateScope&) = delete;
    BoxStateScope& operator=(const BoxStateScope&) = delete;

private:
    State& current_;
    State saved_;
};

template <typename State>
State* FindBoxState(State& current, HWND hwnd) {
    for (State* s = &current; s; s = s->outer) {
        if (s->hwnd == hwnd) return s;
    }
    return nullptr;
}

}  // namespace kv
