// The project settings dialog (see PrjSetupDlg.h): the tab control, the four pages made from the
// empty dialog template IDD_TAB_PAGE, the dialog's buttons, and the commands of the pages' controls,
// which each page forwards to the dialog.
#include "ProjectSetup/PrjSetupDlg.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvFileDialogs.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"
#include "ProjectSetup/PrjSetupState.h"
#include "resource.h"

using namespace prj_setup;

namespace {

constexpr int kSize = 400;
const int kTabTexts[kPageCount] = {kGtSetupTabGeneral, kGtSetupTabTitle, kGtSetupTabBackup, kGtSetupTabMenu};

// A page passes its controls' commands, notifications and context menus on to the dialog, and the
// dialog's answer to a notification back to the control.
INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_COMMAND && msg != WM_NOTIFY && msg != WM_CONTEXTMENU) return FALSE;
    SetWindowLongPtrW(page, DWLP_MSGRESULT, SendMessageW(GetParent(page), msg, wp, lp));
    return TRUE;
}

void ShowPage(SetupState& s, int shown) {
    for (int i = 0; i < kPageCount; ++i) ShowWindow(s.pages[i], i == shown ? SW_SHOW : SW_HIDE);
    InvalidateRect(s.dlg, nullptr, TRUE);
}

HWND CreateTab(SetupState& s, RECT& display) {
    const SIZE client = KvClientSize96(s.dlg);
    if (!KvBuildControls(s.dlg, s.font.get(), {{kTab, KvCtl::Tab, L"", 10, 10, client.cx - 20, client.cy - 50}}))
        return nullptr;
    HWND tab = GetDlgItem(s.dlg, kTab);
    for (int i = 0; i < kPageCount; ++i) {
        std::wstring text = GlobalText::Get(kTabTexts[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = &text[0];
        SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    KvSetDialogTabStrip(s.dlg, tab);
    GetClientRect(tab, &display);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    MapWindowPoints(tab, s.dlg, reinterpret_cast<POINT*>(&display), 2);
    return tab;
}

// The pages follow the tab strip in the Tab order (only the shown one is visible, so Tab never
// enters a hidden page) and are drawn over it.
void CreatePages(SetupState& s, HWND tab, const RECT& display) {
    const KvSystemInfo& info = KvGetSystemInfo();
    const bool themed = info.majorVersion > 5 || (info.majorVersion == 5 && info.minorVersion >= 1);
    HWND previous = tab;
    for (int i = 0; i < kPageCount; ++i) {
        HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TAB_PAGE), s.dlg, PageProc, 0);
        s.pages[i] = page;
        if (!page) continue;
        SetWindowLongPtrW(page, GWLP_ID, kPrjSetupPageFirst + i);
        if (themed) EnableThemeDialogTexture(page, ETDT_ENABLETAB);
        SetWindowPos(page, previous, display.left, display.top, display.right - display.left,
                     display.bottom - display.top, SWP_NOACTIVATE);
        previous = page;
    }
}

void OnCreate(SetupState& s, HWND dlg) {
    s.dlg = dlg;
    s.font.reset(KvCreateDialogFont(dlg));
    RECT display{};
    HWND tab = CreateTab(s, display);
    if (!tab) return;
    CreatePages(s, tab, display);
    for (HWND page : s.pages)
        if (!page) return;
    CreatePageControls(s);
    ShowPage(s, 0);
    KvCentreOnOwner(dlg);
    KvBuildControls(dlg, s.font.get(), {
        {IDOK, KvCtl::Button, KvOkLabel, kSize - 220, kSize - 30, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, kSize - 110, kSize - 30, 100, 20, KvRowFromWindow},
    });
}

void BrowseBackupDir(SetupState& s) {
    HWND edit = GetDlgItem(s.pages[2], kBackupDir);
    std::wstring path = KvGetItemWholeText(s.pages[2], kBackupDir);
    if (KvBrowseForFolder(path, s.dlg, GlobalText::Get(kGtSetupBackupDirBrowse))) SetWindowTextW(edit, path.c_str());
}

bool OnNotify(SetupState& s, const NMHDR& hdr) {
    if (hdr.idFrom == kTab && hdr.code == TCN_SELCHANGE) {
        ShowPage(s, static_cast<int>(SendMessageW(hdr.hwndFrom, TCM_GETCURSEL, 0, 0)));
        return true;
    }
    if (hdr.idFrom != kAppList) return false;
    if (hdr.code == NM_DBLCLK && reinterpret_cast<const NMITEMACTIVATE&>(hdr).iItem >= 0) EditSelectedApplication(s);
    if (hdr.code == LVN_KEYDOWN) OnAppListKey(s, reinterpret_cast<const NMLVKEYDOWN&>(hdr).wVKey);
    return true;
}

bool OnCommand(SetupState& s, HWND dlg, int id) {
    switch (id) {
    case kAppAdd:
        AddApplication(s);
        return true;
    case kAppDelete:
        DeleteSelectedApplication(s);
        return true;
    case kAppEdit:
        EditSelectedApplication(s);
        return true;
    case kBackupEnabled:
        EnableBackupControls(s);
        return true;
    case kBackupBrowse:
        BrowseBackupDir(s);
        return true;
    case IDOK:
        ApplyPages(s);
        KvEndModal(dlg, 1);
        return true;
    default:
        return false;
    }
}

LRESULT Handle(SetupState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_NOTIFY:
        if (OnNotify(s, *reinterpret_cast<const NMHDR*>(lp))) return 0;
        break;
    case WM_COMMAND:
        if (OnCommand(s, dlg, LOWORD(wp))) return 0;
        break;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wp) != AppList(s)) break;
        ShowAppMenu(s, KvContextMenuPoint(AppList(s), lp));
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

bool CPrjSetupDlg::Run(HWND owner, const wchar_t* title) {
    SetupState state;
    state.apps = Project().apps;
    const KvModalScope<SetupState> scope(state, L"CPrjSetupDlg::WndProc");
    const int result = KvDoModalScaled(L"CPrjSetupDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title,
                                       kSize, kSize, owner, KvModalProc<SetupState, Handle>);
    return result == 1;
}
