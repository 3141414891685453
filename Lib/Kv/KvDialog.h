// Dialogs built from a table of controls. A dialog lists its controls (id, kind, text, position,
// size, flags) in 96-DPI pixels, in the order a user meets them (top to bottom, left to right); the
// builder creates them in that order, so the Tab order is the table's order, and does in one place
// what every dialog needs: tab stops on every control that takes input, radio groups, the default
// button, the dialog font for the window's DPI and the scaling of every position and size.
// Also the keys every dialog shares: Enter and Esc through the modal loop's IsDialogMessage,
// Ctrl+Tab / Ctrl+Shift+Tab on a registered tab strip, and the keyboard's context menu point.
// UI thread only.
#pragma once

#include <windows.h>

#include <vector>

enum class KvCtl {
    Label,     // STATIC, fitted to its text when width or height is 0
    Edit,      // EDIT with a client edge; ES_MULTILINE in `style` makes it wrap instead of scroll
    Check,     // automatic check box, fitted to its text when width is 0
    Radio,     // automatic radio button, fitted to its text when width is 0
    Button,    // push button; a size of 0 fits the text (text + 10 by text + 5)
    Group,     // group box, never a tab stop
    List,      // LISTBOX with a client edge, notifying, vertical scroll bar
    ListView,  // report list view with a static edge that keeps its selection shown without focus
    Combo,     // drop-down list
    Tab,       // tab strip
    UpDown,    // arrows bound to the control created just before them
    Progress,  // progress bar
};

enum KvRowFlags : unsigned {
    KvRowDefault = 1,      // the default button (Enter)
    KvRowNewGroup = 2,     // starts a radio group even right after another radio button
    KvRowHidden = 4,       // created hidden; the dialog shows it when its time comes
    KvRowDisabled = 8,     // created disabled
    KvRowFromWindow = 16,  // x and y are measured from the window's outer corner (frame and caption)
    KvRowNoTabStop = 32,   // a control that takes input but is reached otherwise (read-only views)
};

struct KvControlRow {
    int id;
    KvCtl kind;
    const wchar_t* text;
    int x, y, width, height;  // 96-DPI pixels in the parent's client area
    unsigned flags = 0;
    DWORD style = 0;  // extra window style of the control's class
};

// The dialog font (the standard font of KvMakeLogFont) at the window's DPI. The caller owns it.
HFONT KvCreateDialogFont(HWND window);

// Creates the controls on `parent` in table order with `font`. Every control except labels and group
// boxes is a tab stop (the first of each radio group only; WS_GROUP opens every radio group and the
// control after it), the KvRowDefault button becomes the default of `parent`'s top-level dialog.
// False when a control could not be made (the ones before it stay).
bool KvBuildControls(HWND parent, HFONT font, const std::vector<KvControlRow>& rows);

// The client width and height of `window` in 96-DPI pixels, for tables whose controls reach an edge.
SIZE KvClientSize96(HWND window);

// Runs a modal dialog whose size is given in 96-DPI pixels (KvDoModal, scaled to the DPI of the
// owner's monitor, or of the system without an owner).
int KvDoModalScaled(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int width96,
                    int height96, HWND owner, WNDPROC proc);

// Esc, the close box and a Cancel button (WM_CLOSE, or WM_COMMAND with IDCANCEL) end the modal
// dialog with 0: true when `msg` was one of those.
bool KvCancelDialog(HWND dlg, UINT msg, WPARAM wp);

// Makes `tab` the tab strip whose pages Ctrl+Tab and Ctrl+Shift+Tab switch while focus is anywhere in
// `dlg` (the change is notified as TCN_SELCHANGING / TCN_SELCHANGE like a click on a tab).
void KvSetDialogTabStrip(HWND dlg, HWND tab);
// Called by the modal loop for every message before IsDialogMessage: true when it was a Ctrl+Tab of
// the dialog's tab strip and was handled.
bool KvDialogTabKey(HWND dlg, const MSG& msg);

// Where the context menu of a list view opens for WM_CONTEXTMENU's `lp`: at the mouse for a click,
// under the focused (else first selected) item for Shift+F10 or the Apps key (lp of -1), at the
// list's corner when no item has focus. Screen coordinates.
POINT KvContextMenuPoint(HWND list, LPARAM lp);
