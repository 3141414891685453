#include "Search/Dialogs/SearchEntryDlg.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvFileDialogs.h"
#include "Kv/KvGuard.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Search/Dialogs/SearchDialogParts.h"
#include "Search/Dialogs/SearchEntryPathDlg.h"
#include "Search/Dialogs/SearchEntryView.h"

namespace {

enum ControlId {
    kTabId = 200,
    kPathEditId = 201,
    kPathLabelId = 202,
    kBrowseId = 203,
    kAddFolderId = 204,
    kRemoveFolderId = 205,
    kChangeFolderId = 206,
    kListLabelId = 207,
    kFolderListId = 208,
    kAllLevelsId = 211,
    kLimitLevelsId = 212,
    kDepthId = 213,
    kIncludeCheckId = 214,
    kIncludeId = 215,
    kExcludeCheckId = 216,
    kExcludeId = 217,
};

// The record shown in the lower controls: none, the copy's own single search folder, or an item
// of the copy's list (an index, as the list may grow or shrink while it is shown).
constexpr int kShowNone = -2;
constexpr int kShowSingle = -1;

struct DlgState {
    SearchSettings* settings = nullptr;
    SearchSettings copy;
    int shown = kShowNone;
    std::vector<std::wstring>* results = nullptr;
    HWND page = nullptr;
    kv::UniqueFont font;
    // Set while the dialog itself writes control texts, so their change notices change nothing.
    bool filling = false;
};

DlgState*& Current() {
    static DlgState* state = nullptr;
    return state;
}

SearchFolder* ShownRecord(DlgState& s) {
    if (s.shown == kShowSingle) return &s.copy;
    if (s.shown >= 0 && static_cast<size_t>(s.shown) < s.copy.folders.size()) return &s.copy.folders[s.shown];
    return nullptr;
}

HWND Item(DlgState& s, int id) {
    return GetDlgItem(s.page, id);
}

void SetText(DlgState& s, int id, const std::wstring& text) {
    s.filling = true;
    SetWindowTextW(Item(s, id), text.c_str());
    s.filling = false;
}

void ShowRecord(DlgState& s, int which) {
    s.shown = which;
    const SearchFolder* record = ShownRecord(s);
    for (int id = kAllLevelsId; id <= kExcludeId; ++id) EnableWindow(Item(s, id), record != nullptr);
    if (!record) return;
    CheckDlgButton(s.page, kLimitLevelsId, record->limitDepth ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(s.page, kAllLevelsId, record->limitDepth ? BST_UNCHECKED : BST_CHECKED);
    if (record->limitDepth) SetText(s, kDepthId, std::to_wstring(record->depth));
    EnableWindow(Item(s, kDepthId), record->limitDepth);
    SetText(s, kIncludeId, record->includeText);
    CheckDlgButton(s.page, kIncludeCheckId, record->useInclude ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(Item(s, kIncludeId), record->useInclude);
    SetText(s, kExcludeId, record->exclusionText);
    CheckDlgButton(s.page, kExcludeCheckId, record->useExclusion ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(Item(s, kExcludeId), record->useExclusion);
}

void SwitchTab(DlgState& s, int tab) {
    const bool several = tab == 1;
    s.copy.multipleFolders = several;
    for (int id : {kListLabelId, kFolderListId, kAddFolderId, kRemoveFolderId, kChangeFolderId})
        ShowWindow(Item(s, id), several ? SW_SHOW : SW_HIDE);
    for (int id : {kPathLabelId, kPathEditId, kBrowseId}) ShowWindow(Item(s, id), several ? SW_HIDE : SW_SHOW);
    if (!several) {
        ShowRecord(s, kShowSingle);
        return;
    }
    HWND list = Item(s, kFolderListId);
    int selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (selected < 0 && !s.copy.folders.empty()) {
        selected = 0;
        SendMessageW(list, LB_SETCURSEL, 0, 0);
    }
    ShowRecord(s, selected < 0 ? kShowNone : selected);
}

int SelectedFolder(DlgState& s) {
    const int index = static_cast<int>(SendMessageW(Item(s, kFolderListId), LB_GETCURSEL, 0, 0));
    return index >= 0 && static_cast<size_t>(index) < s.copy.folders.size() ? index : -1;
}

void AddFolder(DlgState& s, HWND dlg) {
    std::wstring path;
    if (!CSearchEntryPathDlg::Run(path, dlg)) return;
    SearchFolder folder;
    folder.path = path;
    s.copy.folders.push_back(folder);
    HWND list = Item(s, kFolderListId);
    const LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowRecord(s, static_cast<int>(s.copy.folders.size()) - 1);
}

void RemoveFolder(DlgState& s) {
    const int index = SelectedFolder(s);
    if (index < 0) return;
    s.copy.folders.erase(s.copy.folders.begin() + index);
    SendMessageW(Item(s, kFolderListId), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    ShowRecord(s, kShowNone);
}

void ChangeFolder(DlgState& s, HWND dlg) {
    const int index = SelectedFolder(s);
    if (index < 0) return;
    std::wstring path = s.copy.folders[index].path;
    if (!CSearchEntryPathDlg::Run(path, dlg)) return;
    s.copy.folders[index].path = path;
    HWND list = Item(s, kFolderListId);
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowRecord(s, index);
}

void Browse(DlgState& s, HWND dlg) {
    std::wstring path = search_ui::WholeText(Item(s, kPathEditId));
    if (path.size() >= MAX_PATH) path.resize(MAX_PATH - 1);
    if (KvBrowseForFolder(path, dlg, L"検索フォルダの選択")) SetWindowTextW(Item(s, kPathEditId), path.c_str());
}

// A text edit of the shown record; ignored while no record is shown or the dialog fills the edit.
void OnEditChange(DlgState& s, int id) {
    SearchFolder* record = ShownRecord(s);
    if (!record || s.filling) return;
    switch (id) {
    case kPathEditId:
        record->path = search_ui::WholeText(Item(s, id));
        break;
    case kDepthId:
        record->depth = static_cast<int32_t>(KvGetItemNumber(s.page, kDepthId));
        break;
    case kIncludeId:
        record->includeText = search_ui::WholeText(Item(s, id));
        break;
    case kExcludeId:
        record->exclusionText = search_ui::WholeText(Item(s, id));
        break;
    default:
        break;
    }
}

void OnClick(DlgState& s, HWND dlg, int id) {
    SearchFolder* record = ShownRecord(s);
    switch (id) {
    case kBrowseId:
        Browse(s, dlg);
        return;
    case kAddFolderId:
        AddFolder(s, dlg);
        return;
    case kRemoveFolderId:
        RemoveFolder(s);
        return;
    case kChangeFolderId:
        ChangeFolder(s, dlg);
        return;
    default:
        break;
    }
    if (!record) return;
    switch (id) {
    case kAllLevelsId:
    case kLimitLevelsId:
        record->limitDepth = id == kLimitLevelsId;
        EnableWindow(Item(s, kDepthId), record->limitDepth);
        break;
    case kIncludeCheckId:
        record->useInclude = IsDlgButtonChecked(s.page, id) == BST_CHECKED;
        EnableWindow(Item(s, kIncludeId), record->useInclude);
        break;
    case kExcludeCheckId:
        record->useExclusion = IsDlgButtonChecked(s.page, id) == BST_CHECKED;
        EnableWindow(Item(s, kExcludeId), record->useExclusion);
        break;
    default:
        break;
    }
}

void Confirm(DlgState& s, HWND dlg) {
    *s.settings = s.copy;
    const bool viewed = CSearchEntryView::Run(SearchViewMode::Search, s.settings, dlg, *s.results);
    KvEndModal(dlg, viewed ? 1 : 0);
}

void OnCommand(DlgState& s, HWND dlg, int id, int code) {
    switch (id) {
    case IDOK:
        Confirm(s, dlg);
        return;
    case IDCANCEL:
        KvEndModal(dlg, 0);
        return;
    case kFolderListId:
        if (code == LBN_SELCHANGE) ShowRecord(s, SelectedFolder(s) < 0 ? kShowNone : SelectedFolder(s));
        if (code == LBN_DBLCLK) ChangeFolder(s, dlg);
        return;
    case kPathEditId:
    case kDepthId:
    case kIncludeId:
    case kExcludeId:
        if (code == EN_CHANGE) OnEditChange(s, id);
        return;
    default:
        if (code == BN_CLICKED) OnClick(s, dlg, id);
        return;
    }
}

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
    const int w = search_ui::ClientSize(page).cx;
    KvCreateLabel(GlobalText::Get(kGtSearchFolder), 10, 10, page, kListLabelId, font);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY,
                                10, 25, w - 65, 70, page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFolderListId)),
                                GetModuleHandleW(nullptr), nullptr);
    if (list) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    search_ui::CreateButton(GlobalText::Get(kGtSearchFolderAdd), w - 45, 16, 35, 20, page, kAddFolderId, font);
    search_ui::CreateButton(GlobalText::Get(kGtSearchFolderRemove), w - 45, 38, 35, 20, page, kRemoveFolderId, font);
    search_ui::CreateButton(GlobalText::Get(kGtSearchFolderChange), w - 45, 60, 35, 20, page, kChangeFolderId, font);
    KvCreateLabel(GlobalText::Get(kGtSearchFolder), 10, 44, page, kPathLabelId, font);
    KvCreateEdit(font, WS_TABSTOP, s.copy.path.c_str(), 10, 59, w - 55, 18, page, kPathEditId);
    search_ui::CreateButton(GlobalText::Get(kGtSearchBrowse), w - 40, 59, 25, 18, page, kBrowseId, font);
    search_ui::CreateButton(GlobalText::Get(kGtSearchConditions), 10, 90, w - 20, 220, page, -1, font, BS_GROUPBOX);
    KvCreateRadioButton(GlobalText::Get(kGtSearchAllLevels), 25, 110, page, kAllLevelsId, font);
    KvCreateRadioButton(GlobalText::Get(kGtSearchLimitDepth), 25, 135, page, kLimitLevelsId, font);
    KvCreateEdit(font, WS_TABSTOP, L"1", 45, 160, 50, 18, page, kDepthId);
    KvCreateCheckBox(GlobalText::Get(kGtSearchInclude), 25, 195, page, kIncludeCheckId, font);
    KvCreateEdit(font, WS_TABSTOP, L"", 45, 220, 190, 18, page, kIncludeId);
    KvCreateCheckBox(GlobalText::Get(kGtSearchExclude), 25, 250, page, kExcludeCheckId, font);
    KvCreateEdit(font, WS_TABSTOP, L"", 45, 275, 190, 18, page, kExcludeId);
    for (const SearchFolder& folder : s.copy.folders)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.path.c_str()));
}

bool CreateControls(DlgState& s, HWND dlg) {
    s.font.reset(KvCreateDefaultFont());
    HFONT font = s.font.get();
    const SIZE client = search_ui::ClientSize(dlg);
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
    search_ui::CreateButton(GlobalText::Get(kGtSearchStart), 130 - info.frameWidth2, 410 - info.frameCaptionHeight, 100,
                            20, dlg, IDOK, font);
    search_ui::CreateButton(GlobalText::Get(kGtSearchCancel), 240 - info.frameWidth2, 410 - info.frameCaptionHeight,
                            100, 20, dlg, IDCANCEL, font);
    const int tabIndex = s.copy.multipleFolders ? 1 : 0;
    TabCtrl_SetCurSel(tab, tabIndex);
    SwitchTab(s, tabIndex);
    return true;
}

LRESULT Handle(DlgState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        if (!CreateControls(s, dlg)) {
            KvErrorBox(L"ウィンドウを作成できません", L".\\Source\\Search", L"CSearchEntryDlg::Create", __LINE__);
            return -1;
        }
        search_ui::CentreOnOwner(dlg);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->idFrom == kTabId && header->code == TCN_SELCHANGE)
            SwitchTab(s, TabCtrl_GetCurSel(header->hwndFrom) == 1 ? 1 : 0);
        return 0;
    }
    case WM_COMMAND:
        OnCommand(s, dlg, LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_CLOSE:
        KvEndModal(dlg, 0);
        return 0;
    case WM_DESTROY:
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

LRESULT CALLBACK DlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    DlgState* state = Current();
    if (!state) return DefDlgProcW(dlg, msg, wp, lp);
    return KvGuardedWindowProc(L"CSearchEntryDlg::WndProc", __LINE__, DefDlgProcW, dlg, msg, wp, lp,
                               [&] { return Handle(*state, dlg, msg, wp, lp); });
}

}  // namespace

bool CSearchEntryDlg::Run(SearchSettings& settings, HWND parent, const wchar_t* title,
                          std::vector<std::wstring>& results) {
    results.clear();
    DlgState state;
    state.settings = &settings;
    state.copy = settings;
    state.results = &results;
    DlgState* outer = Current();
    Current() = &state;
    const int result = KvDoModal(L"CSearchEntryDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title, 350,
                                 440, parent, DlgProc);
    Current() = outer;
    if (result == 0) results.clear();
    return result != 0;
}
