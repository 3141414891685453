// CKvToolBar: creation, buttons, layout and the window procedure. Painting is in
// KvToolBarPaint.cpp, mouse handling in KvToolBarInput.cpp.
//
// The window procedure finds its object through a process-wide list of live bars (the constructor
// appends, the destructor removes) by window handle; messages that arrive before Create has stored
// the handle (WM_NCCREATE, WM_CREATE) go to DefWindowProcW.
#include "Kv/KvToolBar.h"

#include <algorithm>

#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvGuard.h"
#include "Kv/KvInstanceList.h"
#include "Kv/KvWindow.h"

namespace {

const wchar_t kClassName[] = L"CKvToolBar";
const wchar_t kUnit[] = L".\\Lib\\Kv\\KvToolBar";

TOOLINFOW MakeToolInfo(HWND bar, const KvToolButton& button) {
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = bar;
    ti.uId = button.toolId;
    ti.rect = button.rect;
    // The control copies the text on TTM_ADDTOOLW; it does not keep this pointer.
    ti.lpszText = const_cast<wchar_t*>(button.tip.c_str());
    return ti;
}

}  // namespace

LRESULT CALLBACK KvToolBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CKvToolBar* bar = KvInstanceList<CKvToolBar>::Find(hwnd);
    if (!bar) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"KvToolBarProc", __LINE__, nullptr, hwnd, msg, wp, lp,
                               [&] { return bar->HandleMessage(msg, wp, lp); });
}

CKvToolBar::CKvToolBar() {
    KvInstanceList<CKvToolBar>::Add(this);
}

CKvToolBar::~CKvToolBar() {
    KvInstanceList<CKvToolBar>::Remove(this);
    Destroy();
}

bool CKvToolBar::Create(int width, HWND parent) {
    Destroy();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{sizeof(existing)};
    if (!GetClassInfoExW(instance, kClassName, &existing)) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = KvToolBarProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        wc.lpszClassName = kClassName;
        if (!KvRegisterClassEx(wc)) {
            KvErrorBox(L"Create CKvToolBar!", kUnit, L"CKvToolBar::Create", __LINE__);
            return false;
        }
    }
    hwnd_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, kHeight, parent, nullptr, instance,
                            nullptr);
    if (!hwnd_) {
        KvErrorBox(L"Create CKvToolBar!", kUnit, L"CKvToolBar::Create", __LINE__);
        return false;
    }
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    toolTips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    if (!toolTips_) {
        KvErrorBox(L"class : CKvToolBar\nfunction : Create()\n error : Create ToolTips", kUnit, L"CKvToolBar::Create",
                   __LINE__);
        return false;
    }
    SetDpi(KvDpiOfWindow(parent));
    return true;
}

void CKvToolBar::ResizeToHeight() {
    const int height = KvScale(kHeight, dpi_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (client.bottom == height) return;
    RECT window{};
    GetWindowRect(hwnd_, &window);
    SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CKvToolBar::SetDpi(UINT dpi) {
    if (!hwnd_) return;
    dpi_ = dpi;
    iconSize_ = KvScale(16, dpi);
    // 32-bit colour keeps the icons' alpha edges; the mask serves the blended (disabled) drawing.
    imageList_.reset(ImageList_Create(iconSize_, iconSize_, ILC_COLOR32 | ILC_MASK, 5, 5));
    font_.reset(KvCreateFontForDpi(KvMakeLogFont(), dpi));
    // The tips take their new font before the one they drew with is released.
    kv::UniqueFont tipFont(KvCreateFontForDpi(KvStatusLogFont96(), dpi));
    SendMessageW(toolTips_, WM_SETFONT, reinterpret_cast<WPARAM>(tipFont.get()), FALSE);
    tipFont_ = std::move(tipFont);
    for (KvToolButton& button : buttons_) {
        if (button.kind != KvToolButton::Icon) continue;
        int imageSize = 0;
        button.imageIndex = AddImage(button.iconId, imageSize);
        button.imageSize = std::min(imageSize, iconSize_);
        button.iconOffset = (iconSize_ - button.imageSize) / 2;
    }
    ResizeToHeight();
    Layout();
}

int CKvToolBar::AddImage(int iconId, int& imageSize) {
    imageSize = 0;
    if (!imageList_) return -1;
    kv::UniqueIcon icon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                      iconSize_, iconSize_, LR_DEFAULTCOLOR)));
    if (!icon) return -1;
    ICONINFO info{};
    if (!GetIconInfo(icon.get(), &info)) return -1;
    kv::UniqueBitmap colour(info.hbmColor);
    kv::UniqueBitmap mask(info.hbmMask);

    // A monochrome icon has no colour bitmap; its mask then holds the AND and XOR halves.
    BITMAP bm{};
    if (colour && GetObjectW(colour.get(), sizeof(bm), &bm)) {
        imageSize = bm.bmHeight;
    } else if (mask && GetObjectW(mask.get(), sizeof(bm), &bm)) {
        imageSize = bm.bmHeight / 2;
    }
    return colour ? ImageList_Add(imageList_.get(), colour.get(), mask.get())
                  : ImageList_AddIcon(imageList_.get(), icon.get());
}

bool CKvToolBar::AddButton(int iconId, int command, const wchar_t* tip) {
    if (!hwnd_) return false;
    int imageSize = 0;
    const int index = AddImage(iconId, imageSize);
    if (index < 0) return false;

    KvToolButton button;
    button.kind = KvToolButton::Icon;
    button.command = static_cast<WORD>(command);
    button.iconId = iconId;
    button.imageSize = std::min(imageSize, iconSize_);
    button.iconOffset = (iconSize_ - button.imageSize) / 2;
    button.imageIndex = index;
    button.enabled = true;
    buttons_.push_back(button);

    KvToolButton& added = buttons_.back();
    added.toolId = static_cast<UINT>(buttons_.size());
    if (tip && *tip) {
        added.tip.assign(tip, std::min<size_t>(wcslen(tip), kMaxTipLength));
        TOOLINFOW ti = MakeToolInfo(hwnd_, added);
        SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    Layout();
    return true;
}

void CKvToolBar::AddSeparator() {
    KvToolButton separator;
    separator.kind = KvToolButton::Separator;
    separator.enabled = false;
    separator.imageIndex = -1;
    buttons_.push_back(separator);
    buttons_.back().toolId = static_cast<UINT>(buttons_.size());
    Layout();
}

void CKvToolBar::EnableButton(bool enabled, int command) {
    for (KvToolButton& button : buttons_) {
        if (button.kind == KvToolButton::Icon && button.command == command) {
            button.enabled = enabled;
            // A button greyed under the pointer must not stay highlighted or clickable.
            if (!enabled) button.hot = button.pressed = false;
        }
    }
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void CKvToolBar::SetBackColors(COLORREF top, COLORREF bottom) {
    backTop_ = top;
    backBottom_ = bottom;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void CKvToolBar::Destroy() {
    buttons_.clear();
    tracking_ = false;
    imageList_.reset();
    font_.reset();
    if (toolTips_ && IsWindow(toolTips_)) DestroyWindow(toolTips_);
    toolTips_ = nullptr;
    tipFont_.reset();
    if (hwnd_) {
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
}

void CKvToolBar::Layout() {
    if (!hwnd_) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int buttonHeight = iconSize_ + KvScale(4, dpi_);
    const int top = (client.bottom - buttonHeight) / 2;
    int x = KvScale(5, dpi_);
    for (KvToolButton& button : buttons_) {
        if (button.kind == KvToolButton::Separator) {
            button.rect = RECT{x, top + KvScale(3, dpi_), x + KvScale(9, dpi_), top + KvScale(15, dpi_)};
        } else {
            button.rect = RECT{x, top, x + buttonHeight, top + buttonHeight};
        }
        x = button.rect.right + 1;
        if (!button.tip.empty() && toolTips_) {
            TOOLINFOW ti = MakeToolInfo(hwnd_, button);
            SendMessageW(toolTips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CKvToolBar::SendToParent(WPARAM wp, LPARAM lp) const {
    if (!hwnd_ || !(GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD)) return;
    HWND parent = GetParent(hwnd_);
    if (parent && parent != hwnd_) SendMessageW(parent, WM_COMMAND, wp, lp);
}

LRESULT CKvToolBar::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_;
    switch (msg) {
    case WM_PAINT: {
        kv::PaintDc dc(hwnd);
        RECT client{};
        GetClientRect(hwnd, &client);
        PaintBuffered(dc.get(), client);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(hwnd, &client);
        Paint(reinterpret_cast<HDC>(wp), client);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_SIZE:
        Layout();
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    case WM_LBUTTONDOWN:
        OnButtonDown(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != hwnd) CancelTracking();
        return 0;
    case WM_KILLFOCUS:
        ClearHot();
        return 0;
    case WM_ENABLE:
        if (!wp) ClearHot();
        return 0;
    case WM_COMMAND:
        for (const KvToolButton& button : buttons_) {
            if (button.kind == KvToolButton::Icon && button.command == LOWORD(wp)) {
                SendToParent(wp, lp);
                break;
            }
        }
        return 0;
    case WM_DESTROY:
        hwnd_ = nullptr;
        return 0;
    case WM_CREATE:
    case WM_KEYDOWN:
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}
