// A flat tool bar of icon buttons and separators on a two-colour vertical gradient, with hot
// tracking, pressed feedback, greyed disabled buttons and tool tips. A click (press and release on
// the same enabled button) reaches the parent as WM_COMMAND(command, 0). UI thread only.
//
// Layout at 96 DPI in a bar of client height H: icons are 16 x 16 in buttons of 20 x 20 at
// top = (H - 20) / 2, separators 9 x 12 at top + 3; the first record starts at x = 5 and every next
// one one pixel after the previous right edge (a button takes 21 pixels of width, a separator 10).
// At another DPI every one of these sizes is scaled, and the icons are loaded at the scaled size
// from the images of that size in the program's icon resources.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

#include "Kv/KvHandles.h"

// One button or separator of the bar, in display order.
struct KvToolButton {
    enum Kind : WORD { Icon = 0, Separator = 3 };  // 1 and 2 are reserved

    WORD kind = Icon;
    WORD command = 0;     // sent to the parent on a click; 0 for separators
    int iconId = 0;       // the program's icon resource; 0 for separators
    RECT rect{};          // set by the layout
    int imageSize = 0;    // height of the loaded icon's colour bitmap
    int iconOffset = 0;   // (icon size - image size) / 2
    int imageIndex = -1;  // index in the bar's image list; -1 for separators
    bool hot = false;
    bool pressed = false;
    bool enabled = true;  // false for separators
    UINT toolId = 0;      // tool-tip identifier: the number of records once this one was added
    std::wstring tip;     // at most 63 characters; empty registers no tool
};

class CKvToolBar {
public:
    static constexpr int kHeight = 23;  // client height of the bar at 96 DPI
    static constexpr int kMaxTipLength = 63;

    CKvToolBar();
    ~CKvToolBar();  // leaves the instance list, then Destroy
    CKvToolBar(const CKvToolBar&) = delete;
    CKvToolBar& operator=(const CKvToolBar&) = delete;

    // Registers "CKvToolBar" once per process, creates the visible child bar at (0, 0) with the
    // given width and a client height of 23 scaled to the parent's DPI, its tool-tip window, image
    // list and font. False after an error box. Calling it again first destroys the previous window
    // and buttons.
    bool Create(int width, HWND parent);
    // Scales the bar to `dpi`: height, icons (loaded anew at the scaled size), font and layout.
    void SetDpi(UINT dpi);
    UINT Dpi() const { return dpi_; }
    int IconSize() const { return iconSize_; }
    // Appends a button showing icon resource `iconId` of the program (loaded at the bar's icon size). With a
    // tip, at most 63 characters of it are shown as the button's tool tip. False, and nothing is
    // added, when the bar has no window or the icon cannot be loaded.
    bool AddButton(int iconId, int command, const wchar_t* tip);
    void AddSeparator();
    // Sets the enabled flag of every button with that command and repaints the bar.
    void EnableButton(bool enabled, int command);
    // Gradient colours; equal colours fill the bar flat. Repaints the bar.
    void SetBackColors(COLORREF top, COLORREF bottom);
    // Empties the button list and frees the image list, font, tool-tip window and the bar's window.
    // Safe to call twice.
    void Destroy();

    // The bar's window; the owner moves and sizes it, and a size change lays the buttons out again.
    HWND Hwnd() const { return hwnd_; }
    HWND ToolTips() const { return toolTips_; }
    HIMAGELIST ImageList() const { return imageList_.get(); }
    size_t ButtonCount() const { return buttons_.size(); }
    const KvToolButton& Button(size_t index) const { return buttons_[index]; }
    // True between a left button press on the bar and its release.
    bool IsTracking() const { return tracking_; }

private:
    friend LRESULT CALLBACK KvToolBarProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    void Layout();
    // Loads icon `iconId` at the bar's icon size into the image list: its index, and in `imageSize`
    // the height of the loaded image. -1 when it cannot be loaded.
    int AddImage(int iconId, int& imageSize);
    void ResizeToHeight();
    void Paint(HDC dc, const RECT& client) const;
    void PaintBuffered(HDC target, const RECT& client) const;
    void PaintButton(HDC dc, const KvToolButton& button) const;
    void OnMouseMove(POINT pt);
    void OnButtonDown(POINT pt);
    void OnButtonUp(POINT pt);
    void ClearHot();
    void CancelTracking();
    void SendToParent(WPARAM wp, LPARAM lp) const;

    HWND hwnd_ = nullptr;
    HWND toolTips_ = nullptr;
    std::vector<KvToolButton> buttons_;
    UINT dpi_ = 96;
    int iconSize_ = 16;
    bool tracking_ = false;
    kv::UniqueImageList imageList_;
    kv::UniqueFont font_;
    kv::UniqueFont tipFont_;  // the tool tips' font at the bar's DPI
    COLORREF backTop_ = RGB(250, 249, 245);
    COLORREF backBottom_ = RGB(192, 192, 168);
    COLORREF disabledBlend_ = RGB(160, 160, 160);
};
