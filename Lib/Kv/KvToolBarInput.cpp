// CKvToolBar mouse handling. Hot tracking holds the mouse capture while a button is hot so that
// leaving the bar is seen; a press holds it until the release, and while it is held hot states do
// not change. A command is sent only when the release happens on the button that was pressed.
// Hit tests include the right and bottom edges of the client area and of each button.
#include "Kv/KvToolBar.h"

namespace {

bool Inside(const RECT& rc, POINT pt) {
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y <= rc.bottom;
}

bool Clickable(const KvToolButton& button) {
    return button.kind != KvToolButton::Separator && button.enabled;
}

}  // namespace

void CKvToolBar::OnMouseMove(POINT pt) {
    if (tracking_) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!Inside(client, pt)) {
        if (GetCapture() == hwnd_) {
            for (KvToolButton& button : buttons_) button.hot = false;
            ReleaseCapture();
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
        return;
    }
    bool changed = false;
    bool anyHot = false;
    for (KvToolButton& button : buttons_) {
        bool hot = Clickable(button) && Inside(button.rect, pt);
        changed = changed || hot != button.hot;
        anyHot = anyHot || hot;
        button.hot = hot;
    }
    if (changed) InvalidateRect(hwnd_, nullptr, TRUE);
    if (anyHot && GetCapture() != hwnd_) SetCapture(hwnd_);
}

void CKvToolBar::OnButtonDown(POINT pt) {
    for (KvToolButton& button : buttons_) button.pressed = Clickable(button) && Inside(button.rect, pt);
    InvalidateRect(hwnd_, nullptr, TRUE);
    SetCapture(hwnd_);
    tracking_ = true;
}

void CKvToolBar::OnButtonUp(POINT pt) {
    WORD command = 0;
    for (const KvToolButton& button : buttons_) {
        if (button.pressed && Clickable(button) && Inside(button.rect, pt)) command = button.command;
    }
    for (KvToolButton& button : buttons_) button.pressed = button.hot = false;
    InvalidateRect(hwnd_, nullptr, TRUE);
    tracking_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    if (command) SendToParent(command, 0);
}

void CKvToolBar::ClearHot() {
    for (KvToolButton& button : buttons_) button.hot = false;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

// The capture went elsewhere (another window took it, or the system cancelled the press): the
// press can no longer end on the bar, so it is dropped without a command.
void CKvToolBar::CancelTracking() {
    bool any = tracking_;
    for (KvToolButton& button : buttons_) {
        any = any || button.hot || button.pressed;
        button.pressed = button.hot = false;
    }
    tracking_ = false;
    if (any && hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}
