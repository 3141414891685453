// The history dialog's window: the rows, the comment and data view of the selected row, the offset
// box and its arrows, the row colours and the context menu of a version with its owner-drawn
// application items.
#include "Backup/Dialogs/BackupHistoryDlg.h"

#include <commctrl.h>

#include <algorithm>

#include "Backup/Dialogs/HistoryState.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvDpi.h"
#include "Kv/KvFiles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace backup_ui {

std::wstring RowPath(const HistoryState& s, const HistoryRow& row) {
    return row.version < 0 ? s.entry->ResolvedPath() : backup::VersionPath(s.directory, row.version);
}

void ShowRowCount(HistoryState& s) {
    ListView_SetItemCountEx(s.list, static_cast<int>(s.rows.size()), 0);
    InvalidateRect(s.list, nullptr, TRUE);
}

}  // namespace backup_ui

namespace {

using backup_ui::HistoryRow;
using backup_ui::HistoryState;

// The list is wide enough for both column titles and a whole time; the right side beside it (from
// kDetailsLeft) for the data view's hexadecimal rows of 16 bytes with their offset and characters.
constexpr int kListWidth = 250;
constexpr int kDetailsLeft = kListWidth + 20;
constexpr int kDialogWidth = kDetailsLeft + 440;
// The widest time a row shows (BackupTimeText), for the width of the time column.
const wchar_t kWidestTime[] = L"0000/00/00 00:00 00";
const COLORREF kMissingColour = RGB(168, 168, 168);
const COLORREF kCurrentFileColour = RGB(0, 0, 255);
const COLORREF kNowVersionColour = RGB(255, 0, 0);

// The rows: the version files present with their comments, then the current file. A damaged index
// lists the files without comments and offers to rebuild it; false when nothing can be read.
bool ReadRows(HistoryState& s, HWND owner) {
    const std::vector<int> files = backup::ListVersionFiles(s.directory);
    std::vector<backup::VersionNote> notes;
    for (int version : files) notes.push_back({version});
    const backup::IndexStatus status = backup::ReadHistory(s.directory, s.versions, notes);
    if (status == backup::IndexStatus::NoComponent) return false;
    if (status == backup::IndexStatus::Damaged) {
        const std::wstring text = GtFormat(kGtHistoryIndexDamaged, {backup::InfoPath(s.directory)});
        if (KvMessageBox(owner, GlobalText::Get(kGtBackupHistory), text.c_str(), KvMbYesNo) == IDYES &&
            backup::RebuildIndex(s.directory, files))
            return ReadRows(s, owner);
        notes.clear();
        for (int version : files) notes.push_back({version});
        s.versions = {files.empty() ? 0 : files.back(), files.empty() ? 0 : files.back()};
    }
    for (const backup::VersionNote& note : notes) s.rows.push_back({note.version, true, note.comment, note.time});
    s.rows.push_back({-1, KvPathExists(s.entry->ResolvedPath()), L"", L""});
    return true;
}

void FillDisplayInfo(const HistoryState& s, NMLVDISPINFOW& info) {
    if (!(info.item.mask & LVIF_TEXT) || info.item.iItem < 0 || static_cast<size_t>(info.item.iItem) >= s.rows.size())
        return;
    const HistoryRow& row = s.rows[static_cast<size_t>(info.item.iItem)];
    std::wstring text;
    if (info.item.iSubItem == 1)
        text = row.time;
    else
        text = row.version < 0 ? s.entry->name.str() : GtFormat(kGtHistoryVersion, {row.version});
    lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
}

// The time column is wide enough for a whole time and the version column takes the rest, each at
// least as wide as its title.
void SetUpList(HistoryState& s) {
    ListView_SetExtendedListViewStyle(s.list, LVS_EX_FULLROWSELECT);
    const UINT dpi = KvDpiOfWindow(s.list);
    const int width = KvClientSize(s.list).cx - KvScale(10, dpi);
    const wchar_t* captions[] = {GlobalText::Get(kGtBackupHistory), GlobalText::Get(kGtHistoryColumnTime)};
    const auto fits = [&](const wchar_t* text) { return ListView_GetStringWidth(s.list, text) + KvScale(14, dpi); };
    const int timeWidth = std::max(fits(kWidestTime), fits(captions[1]));
    const int widths[] = {std::max(width - timeWidth, fits(captions[0])), timeWidth};
    for (int c = 0; c < 2; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(captions[c]);
        column.cx = widths[c];
        ListView_InsertColumn(s.list, c, &column);
    }
    backup_ui::ShowRowCount(s);
}

void OnCreate(HistoryState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    KvCentreOnOwner(dlg);
    const int width = KvClientSize96(dlg).cx;
    if (!s.directory.empty()) {
        KvBuildControls(dlg, s.font.get(), {
            {backup_ui::kHistoryList, KvCtl::ListView, L"", 10, 10, kListWidth, 280, 0,
             LVS_SHAREIMAGELISTS | LVS_NOSORTHEADER | LVS_OWNERDATA},
            {-1, KvCtl::Label, GlobalText::Get(kGtBackupComment), kDetailsLeft, 10, 0, 0},
            {backup_ui::kHistoryComment, KvCtl::Edit, L"", kDetailsLeft, 25, width - kDetailsLeft - 10, 100, 0,
             ES_MULTILINE | ES_READONLY | WS_VSCROLL},
            {-1, KvCtl::Label, GlobalText::Get(kGtHistoryContent), kDetailsLeft, 140, 0, 0},
            {backup_ui::kHistoryHex, KvCtl::Radio, GlobalText::Get(kGtHistoryShowHex), kDetailsLeft + 10, 155, 0, 0},
            {backup_ui::kHistoryText, KvCtl::Radio, GlobalText::Get(kGtHistoryShowText), kDetailsLeft + 80, 155, 0, 0},
            {backup_ui::kHistoryOffset, KvCtl::Edit, L"0", kDetailsLeft + 170, 155, 50, 20},
            {backup_ui::kHistoryOffsetArrows, KvCtl::UpDown, L"", 0, 0, 0, 0},
        });
        s.list = GetDlgItem(dlg, backup_ui::kHistoryList);
        if (s.list) SetUpList(s);
        CheckDlgButton(dlg, backup_ui::kHistoryText, BST_CHECKED);
        HWND arrows = GetDlgItem(dlg, backup_ui::kHistoryOffsetArrows);
        SendMessageW(arrows, UDM_SETRANGE32, 0, 10000);
        SendMessageW(arrows, UDM_SETPOS32, 0, 0);
        const UINT dpi = KvDpiOfWindow(dlg);
        if (s.view.Create(dlg))
            MoveWindow(s.view.Window(), KvScale(kDetailsLeft, dpi), KvScale(180, dpi), KvScale(width - kDetailsLeft - 10, dpi),
                       KvScale(110, dpi), FALSE);
    }
    KvBuildControls(dlg, s.font.get(), {
        {IDCANCEL, KvCtl::Button, GlobalText::Get(kGtHistoryClose), kDialogWidth - 110, 330, 100, 20,
         KvRowFromWindow},
    });
}

// The one selected row, or null when none or several are selected.
HistoryRow* SingleSelection(HistoryState& s) {
    if (ListView_GetSelectedCount(s.list) != 1) return nullptr;
    const int index = ListView_GetNextItem(s.list, -1, LVNI_SELECTED);
    if (index < 0 || static_cast<size_t>(index) >= s.rows.size()) return nullptr;
    return &s.rows[static_cast<size_t>(index)];
}

void OnSelectionChanged(HistoryState& s, HWND dlg) {
    HistoryRow* row = SingleSelection(s);
    const bool shown = row && row->present;
    SetDlgItemTextW(dlg, backup_ui::kHistoryComment, shown ? KvToCrLf(row->comment.c_str()).c_str() : L"");
    s.view.SetFile(shown ? backup_ui::RowPath(s, *row) : std::wstring());
    SetDlgItemTextW(dlg, backup_ui::kHistoryOffset, L"0");
    InvalidateRect(s.view.Window(), nullptr, TRUE);
}

LRESULT OnCustomDraw(const HistoryState& s, NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const size_t index = draw.nmcd.dwItemSpec;
    if (index >= s.rows.size()) return CDRF_DODEFAULT;
    const HistoryRow& row = s.rows[index];
    if (!row.present)
        draw.clrText = kMissingColour;
    else if (row.version < 0)
        draw.clrText = kCurrentFileColour;
    else if (row.version == s.versions.nowVersion)
        draw.clrText = kNowVersionColour;
    return CDRF_DODEFAULT;
}

void AppendVersionItems(const HistoryState& s, HMENU menu, const HistoryRow& row) {
    if (GetMenuItemCount(menu) > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, backup_ui::kHistoryRestore, GlobalText::Get(kGtHistoryRestore));
    if (row.version < s.versions.nowVersion)
        AppendMenuW(menu, MF_STRING, backup_ui::kHistoryStepBack, GlobalText::Get(kGtHistoryStepBack));
    if (row.version > s.versions.nowVersion)
        AppendMenuW(menu, MF_STRING, backup_ui::kHistoryStepForward, GlobalText::Get(kGtHistoryStepForward));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, backup_ui::kHistoryEditComment, GlobalText::Get(kGtHistoryEditComment));
}

void ShowRowMenu(HistoryState& s, HWND dlg, POINT at) {
    const int selected = ListView_GetSelectedCount(s.list);
    if (selected == 0) return;
    kv::UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    backup_ui::AppendRowApps(s, menu.get(), selected == 1);
    HistoryRow* row = SingleSelection(s);
    if (row && row->version > 0) AppendVersionItems(s, menu.get(), *row);
    if (GetMenuItemCount(menu.get()) == 0) return;
    TrackPopupMenu(menu.get(), TPM_LEFTBUTTON, at.x, at.y, 0, dlg, nullptr);
    s.menuApps.ReleaseDrawing();
}

void OnOffsetArrows(HistoryState& s, HWND dlg, const NMUPDOWN& change) {
    const double typed = KvGetItemNumber(dlg, backup_ui::kHistoryOffset);
    long long offset = static_cast<long long>(typed) + change.iDelta;
    if (offset < 0) offset = 0;
    SetDlgItemTextW(dlg, backup_ui::kHistoryOffset, std::to_wstring(offset).c_str());
    s.view.SetOffset(offset);
    InvalidateRect(s.view.Window(), nullptr, TRUE);
}

void OnCommand(HistoryState& s, HWND dlg, int id, int code) {
    HistoryRow* row = s.list ? SingleSelection(s) : nullptr;
    const bool version = row && row->version > 0;
    switch (id) {
    case IDOK:
        // Enter: the dialog has no default button, so Enter on the list opens the selected row.
        if (row && row->present && GetFocus() == s.list) backup_ui::OpenRow(s, dlg, *row);
        return;
    case backup_ui::kHistoryHex:
    case backup_ui::kHistoryText:
        s.view.SetMode(id == backup_ui::kHistoryHex ? CBackupDataView::kModeHex : CBackupDataView::kModeText);
        InvalidateRect(s.view.Window(), nullptr, TRUE);
        return;
    case backup_ui::kHistoryOffset:
        if (code != EN_CHANGE) return;
        s.view.SetOffset(static_cast<int64_t>(KvGetItemNumber(dlg, backup_ui::kHistoryOffset)));
        InvalidateRect(s.view.Window(), nullptr, TRUE);
        return;
    case backup_ui::kHistoryRestore:
        if (version) backup_ui::RestoreVersion(s, dlg, *row);
        return;
    case backup_ui::kHistoryStepBack:
        if (version && row->version < s.versions.nowVersion) backup_ui::StepBack(s, dlg, *row);
        return;
    case backup_ui::kHistoryStepForward:
        if (version && row->version > s.versions.nowVersion) backup_ui::StepForward(s, dlg, *row);
        return;
    case backup_ui::kHistoryEditComment:
        if (version) backup_ui::EditVersionComment(s, dlg, *row);
        return;
    default:
        if (s.list && id >= backup_ui::kHistoryOpenWith) backup_ui::OpenWithMenuApp(s, dlg, id);
        return;
    }
}

LRESULT OnNotify(HistoryState& s, HWND dlg, NMHDR& header) {
    if (header.idFrom == backup_ui::kHistoryOffsetArrows && header.code == UDN_DELTAPOS) {
        OnOffsetArrows(s, dlg, reinterpret_cast<NMUPDOWN&>(header));
        return 1;
    }
    if (header.hwndFrom != s.list || !s.list) return 0;
    switch (header.code) {
    case LVN_GETDISPINFOW:
        FillDisplayInfo(s, reinterpret_cast<NMLVDISPINFOW&>(header));
        return 0;
    case LVN_ITEMCHANGED:
        if (reinterpret_cast<NMLISTVIEW&>(header).uChanged & LVIF_STATE) OnSelectionChanged(s, dlg);
        return 0;
    case NM_CUSTOMDRAW:
        return OnCustomDraw(s, reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    case LVN_KEYDOWN:
        // The menu key opens the menu on its press; the open menu takes its release.
        if (reinterpret_cast<NMLVKEYDOWN&>(header).wVKey == VK_APPS)
            ShowRowMenu(s, dlg, KvContextMenuPoint(s.list, -1));
        return 0;
    case NM_DBLCLK:
        if (HistoryRow* row = SingleSelection(s); row && row->present) backup_ui::OpenRow(s, dlg, *row);
        return 0;
    default:
        return 0;
    }
}

LRESULT Handle(HistoryState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND:
        OnCommand(s, dlg, LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(s, dlg, *reinterpret_cast<NMHDR*>(lp));
    case WM_MEASUREITEM:
        if (s.menuApps.Measure(dlg, *reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (s.menuApps.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_CONTEXTMENU:
        // A right click and Shift+F10 or the menu key alike; the keyboard's menu opens at the item.
        if (!s.list || reinterpret_cast<HWND>(wp) != s.list) break;
        ShowRowMenu(s, dlg, KvContextMenuPoint(s.list, lp));
        return 0;
    case WM_DESTROY:
        s.view.Destroy();
        s.list = nullptr;
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

bool CBackupHistoryDlg::Run(CEntry& entry, HWND parent, const wchar_t* title) {
    HistoryState state;
    state.entry = &entry;
    state.directory = backup::ExistingBackupFolder(entry);
    if (!state.directory.empty() && !ReadRows(state, parent)) state.directory.clear();
    const KvModalScope<HistoryState> scope(state, L"CBackupHistoryDlg::WndProc");
    const int result = KvDoModalScaled(L"CBackupHistoryDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title,
                                       kDialogWidth, 360, parent, KvModalProc<HistoryState, Handle>);
    return result != 0;
}
