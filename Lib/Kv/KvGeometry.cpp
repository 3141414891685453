// Window geometry helpers: ancestors, positions in the parent's coordinates, moving and resizing
// without touching the other dimension, and centring on the desktop or on another window.
#include "Kv/KvWindow.h"

HWND KvGetRootWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (HWND parent = GetParent(hwnd); parent; parent = GetParent(hwnd)) hwnd = parent;
    return hwnd;
}

POINT KvGetWindowPos(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    POINT pt{rc.left, rc.top};
    HWND parent = GetParent(hwnd);
    if ((GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) && parent && parent != hwnd) ScreenToClient(parent, &pt);
    return pt;
}

void KvMoveWindow(HWND hwnd, int x, int y) {
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void KvResizeWindow(HWND hwnd, int width, int height) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    if (width == 0) width = rc.right - rc.left;
    if (height == 0) height = rc.bottom - rc.top;
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT KvCenteredOnDesktop(int width, int height) {
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    int x = (desktop.right - width) / 2;
    int y = (desktop.bottom - height) / 2;
    return RECT{x, y, x + width, y + height};
}

POINT KvWindowCenter(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd ? hwnd : GetDesktopWindow(), &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void KvCentreOnOwner(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    const POINT centre = KvWindowCenter(GetWindow(hwnd, GW_OWNER));
    KvMoveWindow(hwnd, centre.x - (rc.right - rc.left) / 2, centre.y - (rc.bottom - rc.top) / 2);
}

SIZE KvClientSize(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}
