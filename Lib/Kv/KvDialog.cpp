// The table-driven dialog builder and the keys every dialog shares (see KvDialog.h). Each control is
// created first and then measured with its own font in its own DC, so a fitted size matches what the
// control draws at the window's DPI.
#include "Kv/KvDialog.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"

namespace {

const wchar_t kTabStripProp[] = L"KvDialogTabStrip";
constexpr int kFontHeight = 12;        // the standard font's cell height at 96 DPI
constexpr int kMarkWidth = 26;         // check mark or radio dot plus its gap before the text
constexpr int kMarkMinHeight = 22;     // room for the mark whatever the text's height
constexpr int kButtonPadWidth = 10;    // a push button fitted to its text
constexpr int kButtonPadHeight = 5;

struct ClassAndStyle {
    const wchar_t* cls;
    DWORD exStyle;
    DWORD style;
    bool tabStop;
};

ClassAndStyle ClassOf(const KvControlRow& row) {
    switch (row.kind) {
    case KvCtl::Label:
        return {L"STATIC", 0, SS_NOPREFIX, false};
    case KvCtl::Edit: {
        const bool multiLine = (row.style & ES_MULTILINE) != 0;
        return {L"EDIT", WS_EX_CLIENTEDGE, multiLine ? static_cast<DWORD>(ES_AUTOVSCROLL) : ES_AUTOHSCROLL, true};
    }
    case KvCtl::Check:
        return {L"BUTTON", 0, BS_AUTOCHECKBOX, true};
    case KvCtl::Radio:
        return {L"BUTTON", 0, BS_AUTORADIOBUTTON, true};
    case KvCtl::Button:
        return {L"BUTTON", 0, static_cast<DWORD>((row.flags & KvRowDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                true};
    case KvCtl::Group:
        return {L"BUTTON", 0, BS_GROUPBOX, false};
    case KvCtl::List:
        return {L"LISTBOX", WS_EX_CLIENTEDGE, LBS_NOTIFY | WS_VSCROLL, true};
    case KvCtl::ListView:
        return {WC_LISTVIEWW, WS_EX_STATICEDGE, LVS_REPORT | LVS_SHOWSELALWAYS, true};
    case KvCtl::Combo:
        return {L"COMBOBOX", 0, CBS_DROPDOWNLIST | WS_VSCROLL, true};
    case KvCtl::Tab:
        return {WC_TABCONTROLW, 0, WS_CLIPSIBLINGS, true};
    case KvCtl::UpDown:
        return {UPDOWN_CLASSW, 0, WS_BORDER | UDS_ALIGNRIGHT | UDS_ARROWKEYS, false};
    case KvCtl::Progress:
        return {PROGRESS_CLASSW, 0, 0, false};
    }
    return {L"STATIC", 0, 0, false};
}

SIZE MeasureInControl(HWND hwnd, HFONT font, const wchar_t* text) {
    kv::WindowDc dc(hwnd);
    if (!dc) return SIZE{0, 0};
    kv::SelectObjectScope select(dc.get(), font);
    return KvMeasureText(dc.get(), text ? text : L"");
}

// The size of a control whose table leaves a dimension to its text.
SIZE FittedSize(const KvControlRow& row, HWND hwnd, HFONT font, UINT dpi, SIZE size) {
    const SIZE text = MeasureInControl(hwnd, font, row.text);
    switch (row.kind) {
    case KvCtl::Label:
        if (size.cx == 0) size.cx = text.cx;
        if (size.cy == 0) size.cy = text.cy;
        break;
    case KvCtl::Check:
    case KvCtl::Radio:
        if (size.cx == 0) size.cx = text.cx + KvScale(kMarkWidth, dpi);
        if (size.cy == 0) size.cy = std::max<int>(text.cy, KvScale(kMarkMinHeight, dpi));
        break;
    case KvCtl::Button:
        if (size.cx == 0) size.cx = text.cx + KvScale(kButtonPadWidth, dpi);
        if (size.cy == 0) size.cy = text.cy + KvScale(kButtonPadHeight, dpi);
        break;
    default:
        break;
    }
    return size;
}

// The client area's offset inside the window: the frame's width and the frame and caption's height.
POINT ClientOffset(HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return POINT{origin.x - outer.left, origin.y - outer.top};
}

// Where a table position lies in the parent's client area. A position measured from the window's
// outer corner loses the frame twice across (the layouts were drawn that way) and the caption once.
POINT Place(const KvControlRow& row, HWND parent, UINT dpi) {
    POINT at{KvScale(row.x, dpi), KvScale(row.y, dpi)};
    if (!(row.flags & KvRowFromWindow)) return at;
    const POINT offset = ClientOffset(parent);
    return POINT{at.x - 2 * offset.x, at.y - offset.y};
}

HWND TopDialog(HWND parent) {
    HWND root = GetAncestor(parent, GA_ROOT);
    return root ? root : parent;
}

}  // namespace

HFONT KvCreateDialogFont(HWND window) {
    LOGFONTW lf = KvMakeLogFont();
    lf.lfHeight = KvScale(kFontHeight, KvDpiOfWindow(window));
    return CreateFontIndirectW(&lf);
}

SIZE KvClientSize96(HWND window) {
    const SIZE size = KvClientSize(window);
    const UINT dpi = KvDpiOfWindow(window);
    return SIZE{KvUnscale(size.cx, dpi), KvUnscale(size.cy, dpi)};
}

bool KvBuildControls(HWND parent, HFONT font, const std::vector<KvControlRow>& rows) {
    const UINT dpi = KvDpiOfWindow(parent);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bool previousRadio = false;
    HWND previous = nullptr;
    for (const KvControlRow& row : rows) {
        const ClassAndStyle cs = ClassOf(row);
        const bool radio = row.kind == KvCtl::Radio;
        DWORD style = WS_CHILD | cs.style | row.style;
        if (!(row.flags & KvRowHidden)) style |= WS_VISIBLE;
        if (row.flags & KvRowDisabled) style |= WS_DISABLED;
        const bool opensGroup = radio ? (!previousRadio || (row.flags & KvRowNewGroup)) : previousRadio;
        if (opensGroup) style |= WS_GROUP;
        if (cs.tabStop && !(row.flags & KvRowNoTabStop) && (!radio || opensGroup)) style |= WS_TABSTOP;
        previousRadio = radio;

        const POINT at = Place(row, parent, dpi);
        SIZE size{KvScale(row.width, dpi), KvScale(row.height, dpi)};
        const std::wstring text = row.kind == KvCtl::Edit ? KvToCrLf(row.text ? row.text : L"")
                                                           : std::wstring(row.text ? row.text : L"");
        HWND hwnd = CreateWindowExW(cs.exStyle, cs.cls, text.c_str(), style, at.x, at.y, size.cx, size.cy, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        if (!hwnd) return false;
        if (font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (size.cx == 0 || size.cy == 0) {
            size = FittedSize(row, hwnd, font, dpi, size);
            SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (row.kind == KvCtl::UpDown && previous)
            SendMessageW(hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(previous), 0);
        if (row.flags & KvRowDefault) SendMessageW(TopDialog(parent), DM_SETDEFID, static_cast<WPARAM>(row.id), 0);
        previous = hwnd;
    }
    return true;
}

int KvDoModalScaled(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int width96,
                    int height96, HWND owner, WNDPROC proc) {
    const UINT dpi = owner ? KvDpiOfWindow(owner) : KvSystemDpi();
    return KvDoModal(className, exStyle, style, title, KvScale(width96, dpi), KvScale(height96, dpi), owner, proc);
}

bool KvCancelDialog(HWND dlg, UINT msg, WPARAM wp) {
    if (msg != WM_CLOSE && !(msg == WM_COMMAND && LOWORD(wp) == IDCANCEL)) return false;
    KvEndModal(dlg, 0);
    return true;
}

void KvSetDialogTabStrip(HWND dlg, HWND tab) {
    SetPropW(dlg, kTabStripProp, tab);
}

bool KvDialogTabKey(HWND dlg, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || GetKeyState(VK_CONTROL) >= 0) return false;
    if (msg.hwnd != dlg && !IsChild(dlg, msg.hwnd)) return false;
    HWND tab = static_cast<HWND>(GetPropW(dlg, kTabStripProp));
    if (!tab || !IsWindow(tab) || !IsWindowEnabled(tab)) return false;
    const int count = TabCtrl_GetItemCount(tab);
    if (count < 2) return true;
    const int step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
    const int next = (std::max(TabCtrl_GetCurSel(tab), 0) + step) % count;
    // The same notifications as a click on the tab, so the dialog switches its pages in one place.
    NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGING)};
    HWND parent = GetParent(tab);
    if (SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header))) return true;
    TabCtrl_SetCurSel(tab, next);
    header.code = static_cast<UINT>(TCN_SELCHANGE);
    SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    // The focus may have been on a control of the page just hidden.
    SetFocus(tab);
    return true;
}

POINT KvContextMenuPoint(HWND list, LPARAM lp) {
    if (lp != -1) return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    POINT at{0, 0};
    int item = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    if (item < 0) item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (item >= 0) {
        ListView_EnsureVisible(list, item, FALSE);
        RECT rc{};
        if (ListView_GetItemRect(list, item, &rc, LVIR_LABEL)) at = POINT{rc.left, rc.bottom};
    }
    ClientToScreen(list, &at);
    return at;
}
