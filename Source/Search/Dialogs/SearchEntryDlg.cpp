// The search settings dialog: its tabs, the folder list and the record shown in the lower controls.
#include "Search/Dialogs/SearchEntryDlg.h"

#include <commctrl.h>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvFileDialogs.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"
#include "Search/Dialogs/SearchEntryDlgState.h"
#include "Search/Dialogs/SearchEntryPathDlg.h"
#include "Search/Dialogs/SearchEntryView.h"

namespace {

using namespace search_entry_dlg;

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
    // The box always shows the record's depth, also while it is disabled, so ticking "limit" shows
    // the depth the walk will use.
    SetText(s, kDepthId, std::to_wstring(record->depth));
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
    std::wstring path = KvGetWholeText(Item(s, kPathEditId));
    if (path.size() >= MAX_PATH) path.resize(MAX_PATH - 1);
    if (KvBrowseForFolder(path, dlg, L"検索フォルダの選択")) SetWindowTextW(Item(s, kPathEditId), path.c_str());
}

// The depth box takes only digits, at most three (ES_NUMBER, EM_LIMITTEXT): 1 to 999. An empty box
// is a moment of typing and leaves the record alone (the box gets the record's depth back when it
// loses the focus); a typed 0 becomes 1 in the box and the record at once.
void OnDepthChange(DlgState& s, SearchFolder& record) {
    if (KvGetWholeText(Item(s, kDepthId)).empty()) return;
    const int depth = static_cast<int>(KvGetItemNumber(s.page, kDepthId));
    record.depth = depth < kMinDepth ? kMinDepth : depth > kMaxDepth ? kMaxDepth : depth;
    if (record.depth != depth) SetText(s, kDepthId, std::to_wstring(record.depth));
}

void RestoreEmptyDepth(DlgState& s) {
    const SearchFolder* record = ShownRecord(s);
    if (record && KvGetWholeText(Item(s, kDepthId)).empty()) SetText(s, kDepthId, std::to_wstring(record->depth));
}

// A text edit of the shown record; ignored while no record is shown or the dialog fills the edit.
void OnEditChange(DlgState& s, int id) {
    SearchFolder* record = ShownRecord(s);
    if (!record || s.filling) return;
    switch (id) {
    case kPathEditId:
        record->path = KvGetWholeText(Item(s, id));
        break;
    case kDepthId:
        OnDepthChange(s, *record);
        break;
    case kIncludeId:
        record->includeText = KvGetWholeText(Item(s, id));
        break;
    case kExcludeId:
        record->exclusionText = KvGetWholeText(Item(s, id));
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
    RestoreEmptyDepth(s);
    *s.settings = s.copy;
    const bool viewed = CSearchEntryView::Run(SearchViewMode::Search, s.settings, dlg, *s.results);
    KvEndModal(dlg, viewed ? 1 : 0);
}

void OnCommand(DlgState& s, HWND dlg, int id, int code) {
    switch (id) {
    case IDOK:
        Confirm(s, dlg);
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
        if (code == EN_KILLFOCUS && id == kDepthId) RestoreEmptyDepth(s);
        return;
    default:
        if (code == BN_CLICKED) OnClick(s, dlg, id);
        return;
    }
}

LRESULT Handle(DlgState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE: {
        if (!CreateSearchEntryControls(s, dlg)) {
            KvErrorBox(L"ウィンドウを作成できません", L".\\Source\\Search", L"CSearchEntryDlg::Create", __LINE__);
            return -1;
        }
        const int tab = s.copy.multipleFolders ? 1 : 0;
        TabCtrl_SetCurSel(GetDlgItem(dlg, kTabId), tab);
        SwitchTab(s, tab);
        KvCentreOnOwner(dlg);
        return 0;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->idFrom == kTabId && header->code == TCN_SELCHANGE)
            SwitchTab(s, TabCtrl_GetCurSel(header->hwndFrom) == 1 ? 1 : 0);
        return 0;
    }
    case WM_COMMAND:
        OnCommand(s, dlg, LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_DESTROY:
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

bool CSearchEntryDlg::Run(SearchSettings& settings, HWND parent, const wchar_t* title,
                          std::vector<std::wstring>& results) {
    results.clear();
    DlgState state;
    state.settings = &settings;
    state.copy = settings;
    state.results = &results;
    const KvModalScope<DlgState> scope(state, L"CSearchEntryDlg::WndProc");
    const int result = KvDoModalScaled(L"CSearchEntryDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title,
                                       350, 440, parent, KvModalProc<DlgState, Handle>);
    if (result == 0) results.clear();
    return result != 0;
}
