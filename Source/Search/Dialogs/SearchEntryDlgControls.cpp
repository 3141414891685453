// The controls of the search settings dialog: the tab control, the tab page and what lies on it.
#include "Search/Dialogs/SearchEntryDlgState.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
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

void CreatePageControls(DlgState& s) {
    HWND page = s.page;
    HFONT font = s.font.get();
    const int w = KvClientSize(page).cx;
    KvCreateLabel(GlobalText::Get(kGtSearchFolder), 10, 10, page, kListLabelId, font);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY,
                                10, 25, w - 65, 70, page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFolderListId)),
                                GetModuleHandleW(nullptr), nullptr);
    if (list) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    KvCreateButton(GlobalText::Get(kGtSearchFolderAdd), w - 45, 16, 35, 20, page, kAddFolderId, font);
    KvCreateButton(GlobalText::Get(kGtSearchFolderRemove), w - 45, 38, 35, 20, page, kRemoveFolderId, font);
    KvCreateButton(GlobalText::Get(kGtSearchFolderChange), w - 45, 60, 35, 20, page, kChangeFolderId, font);
    KvCreateLabel(GlobalText::Get(kGtSearchFolder), 10, 44, page, kPathLabelId, font);
    KvCreateEdit(font, WS_TABSTOP, s.copy.path.c_str(), 10, 59, w - 55, 18, page, kPathEditId);
    KvCreateButton(GlobalText::Get(kGtSearchBrowse), w - 40, 59, 25, 18, page, kBrowseId, font);
    KvCreateGroupBox(GlobalText::Get(kGtSearchConditions), 10, 90, w - 20, 220, page, font);
    KvCreateRadioButton(GlobalText::Get(kGtSearchAllLevels), 25, 110, page, kAllLevelsId, font);
    KvCreateRadioButton(GlobalText::Get(kGtSearchLimitDepth), 25, 135, page, kLimitLevelsId, font);
    HWND depth = KvCreateEdit(font, WS_TABSTOP | ES_NUMBER, L"1", 45, 160, 50, 18, page, kDepthId);
    if (depth) SendMessageW(depth, EM_LIMITTEXT, kDepthDigits, 0);
    KvCreateCheckBox(GlobalText::Get(kGtSearchInclude), 25, 195, page, kIncludeCheckId, font);
    KvCreateEdit(font, WS_TABSTOP, L"", 45, 220, 190, 18, page, kIncludeId);
    KvCreateCheckBox(GlobalText::Get(kGtSearchExclude), 25, 250, page, kExcludeCheckId, font);
    KvCreateEdit(font, WS_TABSTOP, L"", 45, 275, 190, 18, page, kExcludeId);
    for (const SearchFolder& folder : s.copy.folders)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.path.c_str()));
}

}  // namespace

bool CreateSearchEntryControls(DlgState& s, HWND dlg) {
    s.font.reset(KvCreateDefaultFont());
    HFONT font = s.font.get();
    const SIZE client = KvClientSize(dlg);
    HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 10, 10,
                               client.cx - 20, client.cy - 50, dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabId)),
                               GetModuleHandleW(nullptr), nullptr);
    if (!tab) return false;
    SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const int labels[] = {kGtSearchTabSingle, kGtSearchTabMultiple};
    for (int i = 0; i < 2; ++i) {
        std::wstring text = GlobalText::Get(labels[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = &text[0];
        TabCtrl_InsertItem(tab, i, &item);
    }
    s.page = CreatePage(dlg);
    if (!s.page) return false;
    RECT area{0, 0, client.cx - 20, client.cy - 50};
    TabCtrl_AdjustRect(tab, FALSE, &area);
    MoveWindow(s.page, 10 + area.left, 10 + area.top, area.right - area.left, area.bottom - area.top, FALSE);
    SetWindowPos(s.page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const KvSystemInfo& info = KvGetSystemInfo();
    if (info.majorVersion > 5 || (info.majorVersion == 5 && info.minorVersion == 1))
        EnableThemeDialogTexture(s.page, ETDT_ENABLETAB);
    CreatePageControls(s);
    ShowWindow(s.page, SW_SHOW);
    KvCreateButton(GlobalText::Get(kGtSearchStart), 130 - info.frameWidth2, 410 - info.frameCaptionHeight, 100,
                            20, dlg, IDOK, font);
    KvCreateButton(GlobalText::Get(kGtSearchCancel), 240 - info.frameWidth2, 410 - info.frameCaptionHeight,
                            100, 20, dlg, IDCANCEL, font);
    return true;
}

}  // namespace search_entry_dlg
