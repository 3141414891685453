// The filer's list view under the user's hands: Delete, the Ctrl shortcuts, type-ahead, the right
// button with its gesture and context menu, menu commands and the messages of the menu's
// owner-drawn items. The list view's own right-click handling and incremental search never run.
#include "Filer/KvFiler.h"

#include <windowsx.h>

#include <cstdlib>

#include "Filer/Menu/FilerMenu.h"
#include "Document/Folder.h"
#include "Document/Project.h"

namespace {

// Timer of the list view that ends a type-ahead run one second after the last letter.
constexpr UINT_PTR kTypeAheadTimer = 1;
constexpr UINT kTypeAheadDelay = 1000;
// The type-ahead buffer holds at most this many characters; further letters are ignored.
constexpr size_t kMaxTypeAhead = 259;

// Characters Ctrl+A, Ctrl+C and Ctrl+V produce.
constexpr WPARAM kCtrlA = 0x01;
constexpr WPARAM kCtrlC = 0x03;
constexpr WPARAM kCtrlV = 0x16;

// A right-button drag that moves less than this vertically and more than the horizontal threshold
// is a gesture rather than a click.
constexpr int kGestureMaxDy = 10;
constexpr int kGestureMinDx = 5;

// Rows whose bounds end above this are skipped ten at a time when the right-clicked row is looked
// for; the walk ends at the first row below the visible area.
constexpr int kFarAbove = -500;
constexpr int kSkipRows = 10;

bool IsTypeAheadChar(WPARAM ch) {
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9') || ch == L'_' ||
           ch == L'.';
}

void SetAllItemsState(HWND listView, UINT state, UINT mask) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

bool SelectionBounds(HWND listView, int index, RECT* bounds) {
    bounds->left = LVIR_SELECTBOUNDS;
    return SendMessageW(listView, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(bounds)) != 0;
}

bool Contains(const RECT& bounds, POINT at) {
    return at.x >= bounds.left && at.x <= bounds.right && at.y >= bounds.top && at.y <= bounds.bottom;
}

}  // namespace

FilerMenuState& CKvFiler::MenuState() {
    if (!menu_) menu_ = std::make_unique<FilerMenuState>();
    return *menu_;
}

bool CKvFiler::OnListInput(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    *result = 0;
    switch (msg) {
    case WM_KEYDOWN:
        if (wp != VK_DELETE) return false;
        RemoveSelected(true);
        return true;
    case WM_CHAR:
        OnListChar(wp);
        return true;
    case WM_TIMER:
        // Timers with a procedure of their own belong to the list view.
        if (wp != kTypeAheadTimer || lp != 0) return false;
        KillTimer(hwnd, kTypeAheadTimer);
        typeAhead_.clear();
        SetStatus(2, L"");
        return true;
    case WM_RBUTTONDOWN:
        rightDown_ = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        SetFocus(hwnd);
        return true;
    case WM_RBUTTONUP:
        OnRightButtonUp(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return true;
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_CONTEXTMENU: {
        // The keyboard's menu: the Apps key's release and Shift+F10 are taken here, before the
        // system would turn them into WM_CONTEXTMENU (which not every system does for both), so the
        // menu opens once; a WM_CONTEXTMENU from elsewhere with no point (lp -1) opens it too. The
        // mouse's menu comes from the button messages above.
        const bool apps = msg == WM_KEYUP && wp == VK_APPS;
        const bool shiftF10 = msg == WM_SYSKEYDOWN && wp == VK_F10 && GetKeyState(VK_SHIFT) < 0;
        if (!apps && !shiftF10 && !(msg == WM_CONTEXTMENU && lp == -1)) return false;
        const POINT at = KeyboardMenuPoint();
        ShowContextMenu(&at);
        return true;
    }
    case WM_COMMAND:
        // Menu commands only; the label editor's notifications go on to the list view.
        if (lp != 0 || HIWORD(wp) != 0) return false;
        RunMenuCommand(LOWORD(wp));
        return true;
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        if (measure->CtlType != ODT_MENU) return false;
        if (MenuState().apps.Measure(hwnd, *measure)) {
            *result = TRUE;
            return true;
        }
        return ForwardShellMenuMessage(MenuState(), msg, wp, lp, result);
    }
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (draw->CtlType != ODT_MENU) return false;
        if (MenuState().apps.Draw(*draw)) {
            *result = TRUE;
            return true;
        }
        return ForwardShellMenuMessage(MenuState(), msg, wp, lp, result);
    }
    case WM_INITMENUPOPUP:
    case WM_MENUCHAR:
        return ForwardShellMenuMessage(MenuState(), msg, wp, lp, result);
    default:
        return false;
    }
}

void CKvFiler::OnListChar(WPARAM ch) {
    if (GetKeyState(VK_CONTROL) < 0) {
        switch (ch) {
        case kCtrlA: {
            const LRESULT count = SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0);
            const LRESULT selected = SendMessageW(listView_, LVM_GETSELECTEDCOUNT, 0, 0);
            SetAllItemsState(listView_, selected == count ? 0 : LVIS_SELECTED, LVIS_SELECTED);
            break;
        }
        case kCtrlC:
            CopySelected();
            break;
        case kCtrlV:
            PasteFiles();
            break;
        default:
            break;
        }
        return;
    }
    if (!IsTypeAheadChar(ch)) return;
    if (typeAhead_.size() < kMaxTypeAhead) typeAhead_.push_back(static_cast<wchar_t>(ch));
    SetStatus(2, typeAhead_);
    BringMatchesToFront(typeAhead_);
    SetTimer(listView_, kTypeAheadTimer, kTypeAheadDelay, nullptr);
}

POINT CKvFiler::KeyboardMenuPoint() const {
    POINT at{0, 0};
    int index = static_cast<int>(SendMessageW(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
    if (index < 0) index = static_cast<int>(SendMessageW(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index >= 0) {
        SendMessageW(listView_, LVM_ENSUREVISIBLE, index, FALSE);
        RECT label{};
        label.left = LVIR_LABEL;
        if (SendMessageW(listView_, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&label)))
            at = POINT{label.left, label.bottom};
    }
    ClientToScreen(listView_, &at);
    return at;
}

void CKvFiler::OnRightButtonUp(POINT at) {
    if (Project().mouseGesture) {
        const int dx = at.x - rightDown_.x;
        const int dy = at.y - rightDown_.y;
        if (std::abs(dy) < kGestureMaxDy && std::abs(dx) > kGestureMinDx) {
            if (dx <= 0)
                GoBack();
            else
                GoForward();
            return;
        }
    }

    for (int index : SelectedIndexes()) {
        RECT bounds{};
        if (SelectionBounds(listView_, index, &bounds) && Contains(bounds, at)) {
            ShowContextMenu();
            return;
        }
    }

    SetAllItemsState(listView_, 0, LVIS_SELECTED | LVIS_FOCUSED);
    RECT client{};
    GetClientRect(container_, &client);
    const int count = static_cast<int>(SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        RECT bounds{};
        if (!SelectionBounds(listView_, index, &bounds)) continue;
        if (bounds.bottom < kFarAbove) {
            index += kSkipRows - 1;
            continue;
        }
        if (bounds.top > client.bottom) break;
        if (!Contains(bounds, at)) continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(listView_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    }
    ShowContextMenu();
}
