// The ghost bar of the main window's vertical splitter: a hidden grey child window that BeginDrag
// shows on the splitter, that follows the mouse horizontally while the left button is held, and
// that on release hides itself and sends its parent WM_COMMAND(0, bar window). The parent then
// reads the bar's position (KvGetWindowPos) to place the splitter. UI thread only.
#pragma once

#include <windows.h>

class CKvDragBar {
public:
    CKvDragBar();
    ~CKvDragBar();  // leaves the instance list, then Destroy
    CKvDragBar(const CKvDragBar&) = delete;
    CKvDragBar& operator=(const CKvDragBar&) = delete;

    // Registers "CKvDragBar" when no live bar has done so and creates the hidden child window
    // (static edge, 100 x 100 at (0, 0)). False after an error box.
    bool Create(HWND parent);
    // Places the bar on `rc` (left, top, right, bottom in the parent's client coordinates), takes
    // the mouse capture and shows the bar. Nothing happens before Create.
    void BeginDrag(const RECT& rc);
    // Destroys the window; the class is unregistered when no other bar has a window. Safe to call
    // twice.
    void Destroy();

    HWND Hwnd() const { return hwnd_; }
    bool IsDragging() const { return dragging_; }

private:
    friend LRESULT CALLBACK KvDragBarProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnMouseMove();
    // Moves the bar horizontally by the cursor's movement since the last handled position.
    void FollowCursor();
    void EndDrag(bool report);

    HWND hwnd_ = nullptr;
    bool dragging_ = false;
    POINT last_{};  // cursor position of the last handled move, screen coordinates
    bool skipNextMove_ = false;
};
