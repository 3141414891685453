// The controls of the search settings dialog: the tab control, the tab page and what lies on it.
#include "Search/Dialogs/SearchEntryDlgState.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvWindow.h"

namespace search_entry_dlg {

namespace {

// The tab page: an empty child dialog (child, DS_CONTROL, 187 x 90 dialog units, 8-point
// "MS Shell Dlg") built in memory; its commands go to the settings dialog.
INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND) {
        SendMessageW(GetParent(page), WM_COMMAND, wp, lp);
        return TRUE;
    }
    return FALSE;
}

HWND CreatePage(HWND dlg) {
    const DWORD style = WS_CHILD | DS_CONTROL | DS_SETFONT | DS_FIXEDSYS;
    std::vector<WORD> words = {LOWORD(style), HIWORD(style), 0, 0, 0, 0, 0, 187, 90, 0, 0, 0, 8};
    for (const wchar_t* c = L"MS Shell Dlg"; *c; ++c) words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), dlg,
                                      PageProc, 0);
}

// The list and its buttons show on the "several folders" tab, the path and its button on the other;
// both sets share the place under the tab strip. What lies below is the shown record's conditions.
bool CreatePageControls(DlgState& s) {
    const int w = KvClientSize96(s.page).cx;
    const bool ok = KvBuildControls(s.page, s.font.get(), {
        {kListLabelId, KvCtl::Label, GlobalText::Get(kGtSearchFolder), 10, 10, 0, 0},
        {kFolderListId, KvCtl::List, L"", 10, 25, w - 65, 70},
        {kAddFolderId, KvCtl::Button, GlobalText::Get(kGtSearchFolderAdd), w - 45, 16, 35, 20},
        {kRemoveFolderId, KvCtl::Button, GlobalText::Get(kGtSearchFolderRemove), w - 45, 38, 35, 20},
        {kChangeFolderId, KvCtl::Button, GlobalText::Get(kGtSearchFolderChange), w - 45, 60, 35, 20},
        {kPathLabelId, KvCtl::Label, GlobalText::Get(kGtSearchFolder), 10, 44, 0, 0},
        {kPathEditId, KvCtl::Edit, s.copy.path.c_str(), 10, 59, w - 55, 18},
        {kBrowseId, KvCtl::Button, GlobalText::Get(kGtSearchBrowse), w - 40, 59, 25, 18},
        {-1, KvCtl::Group, GlobalText::Get(kGtSearchConditions), 10, 90, w - 20, 220},
        {kAllLevelsId, KvCtl::Radio, GlobalText::Get(kGtSearchAllLevels), 25, 110, 0, 0},
        {kLimitLevelsId, KvCtl::Radio, GlobalText::Get(kGtSearchLimitDepth), 25, 135, 0, 0},
        {kDepthId, KvCtl::Edit, L"1", 45, 160, 50, 18, 0, ES_NUMBER},
        {kIncludeCheckId, KvCtl::Check, GlobalText::Get(kGtSearchInclude), 25, 195, 0, 0},
        {kIncludeId, KvCtl::Edit, L"", 45, 220, 190, 18},
        {kExcludeCheckId, KvCtl::Check, GlobalText::Get(kGtSearchExclude), 25, 250, 0, 0},
        {kExcludeId, KvCtl::Edit, L"", 45, 275, 190, 18},
    });
    if (!ok) return false;
    SendDlgItemMessageW(s.page, kDepthId, EM_LIMITTEXT, kDepthDigits, 0);
    for (const SearchFolder& folder : s.copy.folders)
        SendDlgItemMessageW(s.page, kFolderListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.path.c_str()));
    return true;
}

}  // namespace

bool CreateSearchEntryControls(DlgState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    const SIZE client = KvClientSize96(dlg);
    if (!KvBuildControls(dlg, s.font.get(), {{kTabId, KvCtl::Tab, L"", 10, 10, client.cx - 20, client.cy - 50}}))
        return false;
    HWND tab = GetDlgItem(dlg, kTabId);
    const int labels[] = {kGtSearchTabSingle, kGtSearchTabMultiple};
    for (int i = 0; i < 2; ++i) {
        std::wstring text = GlobalText::Get(labels[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = &text[0];
        TabCtrl_InsertItem(tab, i, &item);
    }
    KvSetDialogTabStrip(dlg, tab);
    s.page = CreatePage(dlg);
    if (!s.page) return false;
    RECT area{};
    GetWindowRect(tab, &area);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&area), 2);
    TabCtrl_AdjustRect(tab, FALSE, &area);
    // Right after the tab strip in the Tab order, and drawn over it.
    SetWindowPos(s.page, tab, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
    const KvSystemInfo& info = KvGetSystemInfo();
    if (info.majorVersion > 5 || (info.majorVersion == 5 && info.minorVersion == 1))
        EnableThemeDialogTexture(s.page, ETDT_ENABLETAB);
    if (!CreatePageControls(s)) return false;
    ShowWindow(s.page, SW_SHOW);
    return KvBuildControls(dlg, s.font.get(), {
        {IDOK, KvCtl::Button, GlobalText::Get(kGtSearchStart), 130, 410, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, GlobalText::Get(kGtSearchCancel), 240, 410, 100, 20, KvRowFromWindow},
    });
}

}  // namespace search_entry_dlg
