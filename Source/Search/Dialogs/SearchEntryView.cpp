// The result view: the worker, its queue of rows and the virtual list showing them newest first.
#include "Search/Dialogs/SearchEntryView.h"

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvDpi.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"
#include "Search/Dialogs/SearchRows.h"
#include "Search/RegisteredApps.h"
#include "Search/SearchWalk.h"
#include "Shell/ShellRun.h"

namespace {

constexpr int kAddId = 200;
constexpr int kStopId = 202;
constexpr int kAutoUpdateId = 203;
constexpr int kListId = 204;
constexpr int kStateId = 205;
constexpr UINT_PTR kStartTimer = 1;
// Posted by the worker: rows wait in the queue; the walk has ended.
constexpr UINT kMsgRows = WM_APP + 1;
constexpr UINT kMsgDone = WM_APP + 2;
// How the view ended (KvEndModal results): add, cancel; 0 is the close box.
constexpr int kEndAdd = 1;
constexpr int kEndCancel = 3;

// What the worker shares with the view. Each walk has its own: stopping one never waits for its
// worker, which may sit in a call on a share that does not answer; it ends by itself later, and
// whatever it makes after the stop stays here and is dropped with it.
struct Walk {
    unsigned run = 0;  // tags the walk's messages
    std::atomic<bool> stop{false};
    // Rows made by the worker, waiting for the UI thread; `notified` while a kMsgRows is on its way.
    std::mutex mutex;
    std::vector<SearchRow> pending;
    bool notified = false;
    size_t queued = 0;  // worker only
};

struct ViewState {
    SearchViewMode mode = SearchViewMode::Search;
    SearchSettings* settings = nullptr;
    std::vector<SearchWalkItem> walkList;
    // UI thread only: the rows in the order found. The list is virtual and shows them newest first.
    std::vector<SearchRow> rows;
    HWND list = nullptr;
    kv::UniqueFont font;
    std::shared_ptr<Walk> walk;  // the walk running; null once it ended or was stopped
    unsigned runs = 0;
    bool walking = false;
};

SearchViewRowHook& RowHook() {
    static SearchViewRowHook hook;
    return hook;
}

// Worker: a row for each path the shell can parse, queued for the UI thread.
void QueueRow(Walk& walk, HWND dlg, SearchRowMaker& maker, const std::wstring& path) {
    SearchRow row;
    if (walk.stop || !maker.Make(path, row)) return;
    {
        std::lock_guard<std::mutex> lock(walk.mutex);
        walk.pending.push_back(std::move(row));
        if (!walk.notified) walk.notified = PostMessageW(dlg, kMsgRows, 0, 0) != FALSE;
    }
    ++walk.queued;
    if (RowHook()) RowHook()(walk.queued);
}

void RunWorker(const std::shared_ptr<Walk>& walk, SearchViewMode mode, const std::vector<SearchWalkItem>& walkList,
               HWND dlg) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        SearchRowMaker maker;
        auto report = [&](const std::wstring& path) { QueueRow(*walk, dlg, maker, path); };
        if (mode == SearchViewMode::Search)
            RunWalkList(walkList, walk->stop, [&](const std::wstring& path, bool) { report(path); });
        else
            ListRegisteredApps(walk->stop, report);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    if (!walk->stop) PostMessageW(dlg, kMsgDone, walk->run, 0);
}

// Tells the worker to stop and lets go of its walk at once: nothing it makes later is shown.
void StopWorker(ViewState& s) {
    if (s.walk) s.walk->stop = true;
    s.walk.reset();
    s.walking = false;
}

// UI thread: the queued rows join the list on top, so the newest is shown first; the selection
// moves down with the rows it was on.
void TakeRows(ViewState& s) {
    if (!s.walk) return;
    std::vector<SearchRow> rows;
    {
        std::lock_guard<std::mutex> lock(s.walk->mutex);
        rows.swap(s.walk->pending);
        s.walk->notified = false;
    }
    if (rows.empty()) return;
    std::vector<int> selected;
    for (int i = ListView_GetNextItem(s.list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(s.list, i, LVNI_SELECTED))
        selected.push_back(i);
    const int focused = ListView_GetNextItem(s.list, -1, LVNI_FOCUSED);
    const int added = static_cast<int>(rows.size());
    s.rows.insert(s.rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    ListView_SetItemCountEx(s.list, static_cast<int>(s.rows.size()), LVSICF_NOSCROLL);
    if (!selected.empty() || focused >= 0) {
        ListView_SetItemState(s.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int i : selected) ListView_SetItemState(s.list, i + added, LVIS_SELECTED, LVIS_SELECTED);
        if (focused >= 0) ListView_SetItemState(s.list, focused + added, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    InvalidateRect(s.list, nullptr, FALSE);
}

// The row shown at list index `index`, null past the end.
SearchRow* RowAt(ViewState& s, int index) {
    if (index < 0 || static_cast<size_t>(index) >= s.rows.size()) return nullptr;
    return &s.rows[s.rows.size() - 1 - static_cast<size_t>(index)];
}

void OnGetDisplayInfo(ViewState& s, NMLVDISPINFOW& info) {
    SearchRow* row = RowAt(s, info.item.iItem);
    if (!row) return;
    if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
        const std::wstring& text = info.item.iSubItem == 0 ? row->name : row->path;
        lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
    }
    if (info.item.mask & LVIF_IMAGE) info.item.iImage = row->icon;
}

// The walk has ended (or could not start): the label says so and the buttons of the result appear,
// Add being the default button.
void ShowFinished(ViewState& s, HWND dlg) {
    SetDlgItemTextW(dlg, kStateId, GlobalText::Get(kGtResultsHint));
    ShowWindow(GetDlgItem(dlg, kStopId), SW_HIDE);
    ShowWindow(GetDlgItem(dlg, IDCANCEL), SW_SHOW);
    ShowWindow(GetDlgItem(dlg, kAddId), SW_SHOW);
    if (s.mode == SearchViewMode::Search) ShowWindow(GetDlgItem(dlg, kAutoUpdateId), SW_SHOW);
    if (GetFocus() == nullptr || !IsWindowVisible(GetFocus())) SetFocus(s.list);
}

void StartWorker(ViewState& s, HWND dlg) {
    auto walk = std::make_shared<Walk>();
    walk->run = ++s.runs;
    try {
        std::thread(RunWorker, walk, s.mode, s.walkList, dlg).detach();
    } catch (const std::system_error&) {
        ShowFinished(s, dlg);
        return;
    }
    s.walk = std::move(walk);
    s.walking = true;
}

void SetUpList(ViewState& s) {
    ListView_SetExtendedListViewStyle(s.list, LVS_EX_FULLROWSELECT);
    // The system image lists belong to the shell; LVS_SHAREIMAGELISTS keeps the list from freeing them.
    SHFILEINFOW info{};
    auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    auto large = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    ListView_SetImageList(s.list, small, LVSIL_SMALL);
    ListView_SetImageList(s.list, large, LVSIL_NORMAL);
    const int width = KvClientSize(s.list).cx - KvScale(20, KvDpiOfWindow(s.list));
    const int entries[] = {kGtColumnName, kGtColumnPath};
    const int widths[] = {width * 3 / 10, width * 7 / 10};
    for (int i = 0; i < 2; ++i) {
        std::wstring text = GlobalText::Get(entries[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = &text[0];
        column.cx = widths[i];
        ListView_InsertColumn(s.list, i, &column);
    }
}

// The Stop button stands where Cancel will stand once the walk ends; the auto-update box stands
// under the state line, which is as wide as the list, and ends at the right margin.
void CreateControls(ViewState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    const int width = KvClientSize96(dlg).cx;
    const bool autoUpdate = s.settings && s.settings->autoUpdate;
    KvBuildControls(dlg, s.font.get(), {
        {kListId, KvCtl::ListView, L"", 15, 15, width - 30, 200, 0, LVS_OWNERDATA | LVS_SHAREIMAGELISTS | LVS_NOSORTHEADER},
        {kStateId, KvCtl::Label, GlobalText::Get(kGtResultsSearching), 15, 222, width - 30, 15},
        {kAutoUpdateId, KvCtl::Check, GlobalText::Get(kGtResultsAutoUpdate), 0, 240, 0, 0, KvRowHidden},
        {kAddId, KvCtl::Button, GlobalText::Get(kGtResultsAdd), 180, 300, 100, 20,
         KvRowDefault | KvRowHidden | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, GlobalText::Get(kGtSearchCancel), 290, 300, 100, 20, KvRowHidden | KvRowFromWindow},
        {kStopId, KvCtl::Button, GlobalText::Get(kGtResultsStop), 290, 300, 100, 20, KvRowFromWindow},
    });
    s.list = GetDlgItem(dlg, kListId);
    if (s.list) SetUpList(s);
    if (HWND check = GetDlgItem(dlg, kAutoUpdateId)) {
        RECT rc{};
        GetWindowRect(check, &rc);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
        KvMoveWindow(check, KvClientSize(dlg).cx - KvScale(15, KvDpiOfWindow(dlg)) - (rc.right - rc.left), rc.top);
        if (autoUpdate) CheckDlgButton(dlg, kAutoUpdateId, BST_CHECKED);
    }
}

// Type-ahead in the virtual list: the next row from the start row on (wrapping) whose name begins
// with the typed text, ignoring case. Rows are compared by the name shown in the first column.
LRESULT FindRow(ViewState& s, const NMLVFINDITEMW& find) {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
    const int count = static_cast<int>(s.rows.size());
    const int typed = lstrlenW(find.lvfi.psz);
    if (count == 0 || typed == 0) return -1;
    const bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
    const int start = find.iStart >= 0 && find.iStart < count ? find.iStart : 0;
    for (int n = 0; n < count; ++n) {
        const int index = (start + n) % count;
        const std::wstring& name = RowAt(s, index)->name;
        if (partial && static_cast<int>(name.size()) < typed) continue;
        const int length = partial ? typed : static_cast<int>(name.size());
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE, name.c_str(),
                           length, find.lvfi.psz, typed) == CSTR_EQUAL)
            return index;
    }
    return -1;
}

void OpenFirstSelected(ViewState& s, HWND dlg) {
    const SearchRow* row = RowAt(s, ListView_GetNextItem(s.list, -1, LVNI_SELECTED));
    if (row && !row->path.empty()) ShellOpen(dlg, row->path, L"");
}

LRESULT Handle(ViewState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls(s, dlg);
        KvCentreOnOwner(dlg);
        SetTimer(dlg, kStartTimer, 100, nullptr);
        return 0;
    case WM_TIMER:
        if (wp != kStartTimer) break;
        KillTimer(dlg, kStartTimer);
        if (!s.walk) StartWorker(s, dlg);
        return 0;
    case kMsgRows:
        TakeRows(s);
        return 0;
    case kMsgDone:
        if (!s.walk || wp != s.walk->run) return 0;
        TakeRows(s);
        StopWorker(s);
        ShowFinished(s, dlg);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case kAddId:
            // Offered only once the walk has ended: the results are complete.
            if (s.walking) return 0;
            if (s.mode == SearchViewMode::Search && s.settings)
                s.settings->autoUpdate = IsDlgButtonChecked(dlg, kAutoUpdateId) == BST_CHECKED;
            KvEndModal(dlg, kEndAdd);
            return 0;
        case kStopId:
        case IDCANCEL:
            // Stop, and Esc while the walk runs, keep the rows found so far; the worker is not waited
            // for. Once the walk has ended, Esc and the Cancel button drop the results.
            if (s.walk) {
                TakeRows(s);
                StopWorker(s);
                ShowFinished(s, dlg);
                return 0;
            }
            if (LOWORD(wp) == kStopId) return 0;
            s.rows.clear();
            KvEndModal(dlg, kEndCancel);
            return 0;
        default:
            break;
        }
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header->hwndFrom != s.list) return 0;
        if (header->code == NM_DBLCLK) OpenFirstSelected(s, dlg);
        if (header->code == LVN_GETDISPINFOW) OnGetDisplayInfo(s, *reinterpret_cast<NMLVDISPINFOW*>(header));
        if (header->code == LVN_ODFINDITEMW) return FindRow(s, *reinterpret_cast<NMLVFINDITEMW*>(header));
        return 0;
    }
    case WM_CLOSE:
        StopWorker(s);
        KvEndModal(dlg, 0);
        return 0;
    case WM_DESTROY:
        KillTimer(dlg, kStartTimer);
        StopWorker(s);
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

void SetSearchViewRowHook(SearchViewRowHook hook) {
    RowHook() = std::move(hook);
}

bool CSearchEntryView::Run(SearchViewMode mode, SearchSettings* settings, HWND parent,
                           std::vector<std::wstring>& results) {
    results.clear();
    if (mode == SearchViewMode::Search && !settings) return false;
    ViewState state;
    state.mode = mode;
    if (mode == SearchViewMode::Search) {
        state.settings = settings;
        state.walkList = BuildWalkList(*settings);
    }
    const KvModalScope<ViewState> scope(state, L"CSearchEntryView::WndProc");
    const int result = KvDoModalScaled(L"CSearchEntryView", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                       GlobalText::Get(kGtResultsTitle), 400, 360, parent,
                                       KvModalProc<ViewState, Handle>);
    StopWorker(state);
    if (result != kEndAdd && result != kEndCancel) return false;
    if (result != kEndAdd) return true;
    results.reserve(state.rows.size());
    for (SearchRow& row : state.rows) results.push_back(std::move(row.path));
    return true;
}
