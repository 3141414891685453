// What the find pane does with its rows (FindPane.h): opening, jumping to the entry's folder,
// the entry menu, removal from the folders, and the missing-entries list with its check, its
// search for moved files and its removal.
#include "Find/FindPane.h"

#include <commctrl.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/FolderMove.h"
#include "Document/Project.h"
#include "Filer/FilerDialogs.h"
#include "Filer/FilerFollow.h"
#include "Filer/FilerHost.h"
#include "Filer/FilerRemove.h"
#include "Filer/KvFiler.h"
#include "Filer/Kinds/FilerKind.h"
#include "Filer/Menu/FilerMenu.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Shell/ShellRun.h"

namespace {

// The pane's own menu commands, beside the filer's (Filer/Menu/FilerMenu.h).
constexpr UINT kFindCmdJump = 40;
constexpr UINT kFindCmdMovedAll = 41;
constexpr UINT kFindCmdRemoveAll = 42;

int IndexIn(const CFolder& folder, const CEntry* entry) {
    int index = 0;
    for (const CEntry& e : folder.entries) {
        if (&e == entry) return index;
        ++index;
    }
    return -1;
}

bool FileThere(const CEntry& entry) {
    return GetFileAttributesW(entry.ResolvedPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Append(HMENU menu, UINT id, int textEntry, UINT flags = 0) {
    AppendMenuW(menu, MF_STRING | flags, id, GlobalText::Get(textEntry));
}

}  // namespace

void CFindPane::Open(int row) {
    CEntry* entry = RowEntry(row);
    if (!entry) return;
    if (entry->IsSubfolderEntry()) {
        CFolder* folder = entry->subfolder.get();
        Close(false);
        Filer().NavigateTo(folder);
        if (FilerHost* host = Filer().Host()) host->SelectFolderSilently(*folder);
        return;
    }
    // As in a folder: a file that is gone is not opened.
    if (!FileThere(*entry)) {
        MessageBeep(MB_OK);
        return;
    }
    if (!entry->appPath.empty())
        OpenEntryWith(list_, entry->appPath, *entry);
    else
        ShellOpen(list_, entry->ResolvedPath(), L"");
}

void CFindPane::Jump(int row) {
    CEntry* entry = RowEntry(row);
    CFolder* folder = RowFolder(row);
    if (!entry || !folder) return;
    const int index = IndexIn(*folder, entry);
    Close(false);
    CKvFiler& filer = Filer();
    filer.NavigateTo(folder);
    if (FilerHost* host = filer.Host()) host->SelectFolderSilently(*folder);
    HWND list = filer.ListView();
    if (index < 0 || !list) return;
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(list, index);
    ListView_EnsureVisible(list, index, FALSE);
    SetFocus(list);
}

int CFindPane::RemoveSelected() {
    std::vector<int> selected = SelectedRows();
    if (selected.empty() || RowCount() == 0) return 0;
    std::vector<Row> chosen;
    for (int row : selected)
        if (static_cast<size_t>(row) < rows_.size()) chosen.push_back(rows_[static_cast<size_t>(row)]);
    for (const Row& row : chosen)
        if (RefusedAsOffline(list_, *row.entry)) return 0;
    const int count = static_cast<int>(chosen.size());
    const std::wstring text =
        count == 1 ? std::wstring(GlobalText::Get(kGtBoxRemoveOne)) : GtFormat(kGtBoxRemoveMany, {count});
    if (KvMessageBox(list_, GlobalText::Get(kGtBoxRemoveTitle), text.c_str(), KvMbOkCancel) != IDOK) return 0;

    CKvFiler& filer = Filer();
    int removed = 0;
    // A subfolder entry removed takes its folders with it: rows of those are skipped. Rows come in
    // tree order, so from the last up the entries of a folder go before the folder itself.
    std::unordered_set<const CFolder*> live;
    ForEachFolder(RootFolder(), [&](CFolder& f) { live.insert(&f); });
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        if (!live.count(it->folder)) continue;
        CFolder& folder = *it->folder;
        CEntry& entry = *it->entry;
        const int index = IndexIn(folder, &entry);
        if (index < 0) continue;
        if (!SettleBackupsOfRemovedEntry(list_, entry)) break;
        // The filer must not be left showing a folder that goes with this entry.
        if (entry.subfolder && FolderIsWithin(filer.CurrentFolder(), entry.subfolder.get()))
            Quietly([&] { filer.ShowFolder(&folder, false); });
        if (&folder == filer.CurrentFolder() && filer.Kind()) filer.Kind()->EntryRemoved(entry);
        const bool subfolder = entry.IsSubfolderEntry();
        folder.RemoveAt(static_cast<size_t>(index));
        if (subfolder) {
            live.clear();
            ForEachFolder(RootFolder(), [&](CFolder& f) { live.insert(&f); });
            if (filer.Host()) filer.Host()->SubfoldersChanged(folder);
        }
        if (&folder == filer.CurrentFolder()) Quietly([&] { filer.ShowFolder(&folder, false); });
        ++removed;
    }
    CheckRows();
    RowsChanged();
    return removed;
}

void CFindPane::ShowMenu(POINT screen) {
    const std::vector<int> selected = SelectedRows();
    if (selected.empty() || RowCount() == 0) return;
    CEntry* first = RowEntry(selected.front());
    if (!first) return;
    const CProject& project = Project();
    const bool one = selected.size() == 1;
    const bool file = !first->IsSubfolderEntry();

    kv::UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    HMENU m = menu.get();
    if (one) {
        Append(m, kFilerCmdOpen, kGtEntryMenuOpen);
        Append(m, kFindCmdJump, kGtFindMenuJump);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    if (file && mode_ == Mode::Missing) Append(m, kFilerCmdFindMoved, kGtEntryMenuFindMoved, movedSearching_ ? MF_GRAYED : 0);
    if (mode_ == Mode::Missing) {
        Append(m, kFindCmdMovedAll, kGtMissingMenuFindAll, movedSearching_ || checking_ ? MF_GRAYED : 0);
        Append(m, kFindCmdRemoveAll, kGtMissingMenuRemoveAll, movedSearching_ || checking_ ? MF_GRAYED : 0);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    Append(m, kFilerCmdRemove, kGtRemove);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    if (HMENU colours = CreatePopupMenu()) {
        for (UINT colour = 0; colour <= kFilerCmdColourLast - kFilerCmdColourFirst; ++colour)
            Append(colours, kFilerCmdColourFirst + colour, kGtColourNone + static_cast<int>(colour));
        AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(colours), GlobalText::Get(kGtEntryMenuColour));
    }
    if (project.allowAlias && file) {
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        Append(m, kFilerCmdAliasOff, kGtEntryMenuShowName, one && !first->aliasMode ? MF_CHECKED : 0);
        Append(m, kFilerCmdAliasOn, kGtEntryMenuShowAlias, one && first->aliasMode ? MF_CHECKED : 0);
    }
    if (project.backupEnabled && file) {
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        Append(m, one ? kFilerCmdBackup : kFilerCmdBackupAll, kGtEntryMenuBackup);
        if (one) Append(m, kFilerCmdBackupHistory, kGtBackupHistory, first->HasBackup() ? 0 : MF_GRAYED);
    }
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(m, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, pane_, nullptr));
    if (command != 0) RunMenuCommand(command);
}

void CFindPane::RunMenuCommand(UINT id) {
    const std::vector<int> selected = SelectedRows();
    if (selected.empty() || RowCount() == 0) return;
    const int firstRow = selected.front();
    CEntry* first = RowEntry(firstRow);
    if (!first) return;
    std::vector<CEntry*> entries;
    for (int row : selected)
        if (CEntry* entry = RowEntry(row)) entries.push_back(entry);

    if (id >= kFilerCmdColourFirst && id <= kFilerCmdColourLast) {
        for (CEntry* entry : entries) entry->colour = static_cast<uint8_t>(id - kFilerCmdColourFirst);
        InvalidateRect(list_, nullptr, FALSE);
        return;
    }
    switch (id) {
    case kFilerCmdOpen:
        Open(firstRow);
        break;
    case kFindCmdJump:
        Jump(firstRow);
        break;
    case kFilerCmdRemove:
        RemoveSelected();
        break;
    case kFilerCmdAliasOn:
    case kFilerCmdAliasOff:
        for (CEntry* entry : entries) {
            if (entry->IsSubfolderEntry()) continue;
            entry->aliasMode = id == kFilerCmdAliasOn ? 1 : 0;
            if (!entry->missing && entry->HasDisplay())
                entry->EditDisplay().displayText = entry->aliasMode ? entry->ShownName() : entry->name.str();
        }
        InvalidateRect(list_, nullptr, FALSE);
        break;
    case kFilerCmdBackup:
        if (!RefusedAsOffline(list_, *first) && FileThere(*first)) BackupEntry(list_, *first);
        break;
    case kFilerCmdBackupAll: {
        std::vector<CEntry*> files;
        for (CEntry* entry : entries) {
            if (RefusedAsOffline(list_, *entry)) return;
            if (!entry->IsSubfolderEntry() && FileThere(*entry)) files.push_back(entry);
        }
        if (!files.empty()) BackupEntries(list_, files);
        break;
    }
    case kFilerCmdBackupHistory:
        if (!first->IsSubfolderEntry()) ShowBackupHistory(list_, *first);
        break;
    case kFilerCmdFindMoved:
        FindMoved(false);
        break;
    case kFindCmdMovedAll:
        FindMoved(true);
        break;
    case kFindCmdRemoveAll:
        RemoveAllMissing(true);
        break;
    default:
        break;
    }
}

void CFindPane::ShowMissing() {
    ShowResults(Mode::Missing);
    // The find box belongs to the find; the list now shows something else.
    Quietly([&] { SetWindowTextW(edit_, L""); });
    check_.Stop();
    SetRows({});
    checking_ = true;
    taking_ = true;
    takeFolders_.clear();
    UpdateStatus();
    SetFocus(list_);
    TakeEntries();
}

void CFindPane::TakeEntries() {
    if (!taking_ || mode_ != Mode::Missing) return;
    // The entries' paths are copied for the worker a slice at a time, folder by folder, so the
    // window answers meanwhile; a tree changed between slices may have lost folders still to be
    // read, so the taking starts over.
    if (takeFolders_.empty() || takeStamp_ != FolderModelStamp()) {
        takeFolders_.clear();
        ForEachFolder(RootFolder(), [&](CFolder& folder) { takeFolders_.push_back(&folder); });
        takeStamp_ = FolderModelStamp();
        takeNext_ = 0;
        checked_.clear();
        takePaths_.clear();
    }
    const DWORD start = GetTickCount();
    while (takeNext_ < takeFolders_.size()) {
        CFolder& folder = *takeFolders_[takeNext_++];
        for (CEntry& entry : folder.entries) {
            if (entry.IsSubfolderEntry()) continue;
            checked_.push_back(Row{&folder, &entry, folder.stamp});
            takePaths_.push_back(entry.ResolvedPath());
        }
        if (takeNext_ < takeFolders_.size() && GetTickCount() - start >= kSliceMilliseconds) {
            PostMessageW(pane_, kMsgTakeEntries, 0, 0);
            return;
        }
    }
    taking_ = false;
    takeFolders_.clear();
    checkedStamp_ = takeStamp_;
    checking_ = check_.Start(std::move(takePaths_), pane_, kMsgMissingBatch);
    takePaths_.clear();
    UpdateStatus();
}

void CFindPane::OnMissingBatch(WPARAM wp, LPARAM lp) {
    bool complete = false;
    std::unique_ptr<std::vector<uint32_t>> batch = check_.TakeBatch(wp, lp, &complete);
    if (mode_ != Mode::Missing) return;
    if (complete) {
        checking_ = false;
        checked_.clear();
        UpdateStatus();
        return;
    }
    if (!batch) return;
    for (uint32_t at : *batch)
        if (at < checked_.size()) rows_.push_back(checked_[at]);
    // The snapshot may be older than the model: the rows are checked from that point on.
    rowsStamp_ = std::min(rowsStamp_, checkedStamp_);
    CheckRows();
    // The filer's own mark of a gone file, which its search for moved files goes by.
    for (const Row& row : rows_) row.entry->missing = 1;
    RowsChanged(true);
}

void CFindPane::FindMoved(bool all) {
    if (mode_ != Mode::Missing || movedSearching_ || checking_ || RowCount() == 0) return;
    std::vector<std::wstring> paths;
    if (all) {
        for (const Row& row : rows_) paths.push_back(row.entry->ResolvedPath());
    } else {
        for (int row : SelectedRows())
            if (CEntry* entry = RowEntry(row)) paths.push_back(entry->ResolvedPath());
    }
    if (paths.empty()) return;
    movedSearching_ = true;
    UpdateStatus();
    Filer().FindMovedFiles(paths, [this, all](bool finished, size_t found) { OnMovedSearchDone(finished, found, all); });
}

void CFindPane::OnMovedSearchDone(bool finished, size_t found, bool all) {
    movedSearching_ = false;
    if (mode_ != Mode::Missing) return;
    // Relinked entries name files that are there now; the rest are still missing.
    std::vector<Row> still;
    for (const Row& row : rows_)
        if (!FileThere(*row.entry)) still.push_back(row);
    if (still.size() != rows_.size()) {
        rows_ = std::move(still);
        RowsChanged();
    } else {
        UpdateStatus();
    }
    if (!finished) return;
    if (all && !rows_.empty())
        RemoveAllMissing(true);
    else if (!all && found == 0)
        KvMessageBox(list_, GlobalText::Get(kGtRelinkTitle), GlobalText::Get(kGtFindMovedNone), KvMbOk);
}

int CFindPane::RemoveAllMissing(bool askFirst) {
    if (mode_ != Mode::Missing || RowCount() == 0) return 0;
    const int count = static_cast<int>(rows_.size());
    if (askFirst) {
        const std::wstring text = GtFormat(kGtMissingRemoveQuestion, {count});
        if (KvMessageBox(list_, GlobalText::Get(kGtMissingRemoveTitle), text.c_str(), KvMbYesNo) != IDYES) return 0;
    }
    CKvFiler& filer = Filer();
    std::unordered_map<CFolder*, std::vector<const CEntry*>> byFolder;
    for (const Row& row : rows_) byFolder[row.folder].push_back(row.entry);
    int removed = 0;
    bool currentTouched = false;
    for (auto& item : byFolder) {
        CFolder& folder = *item.first;
        const bool current = &folder == filer.CurrentFolder();
        currentTouched = currentTouched || current;
        std::sort(item.second.begin(), item.second.end());
        // One pass over the folder, from its end, so each index removed is still right.
        std::vector<size_t> indexes;
        size_t index = 0;
        for (const CEntry& entry : folder.entries) {
            if (std::binary_search(item.second.begin(), item.second.end(), &entry)) indexes.push_back(index);
            ++index;
        }
        for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
            auto position = folder.EntryAt(*it);
            if (current && filer.Kind()) filer.Kind()->EntryRemoved(*position);
            folder.RemoveAt(*it);
            ++removed;
        }
    }
    rows_.clear();
    rowsStamp_ = FolderModelStamp();
    if (currentTouched) Quietly([&] { filer.ShowFolder(filer.CurrentFolder(), false); });
    RowsChanged();
    return removed;
}
