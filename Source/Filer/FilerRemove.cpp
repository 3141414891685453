// Removing entries from the folder on screen (Delete, the context menu, the main window's remove
// command, and internal moves of drag and drop). Only the folder model changes; the files the
// entries name stay on disk. An entry's backup directory is deleted only when the user says so.
// Entries whose drive or share is away can be removed too (a drive gone for good would otherwise
// keep them for ever): one question names the drives first.
#include "Filer/KvFiler.h"
#include "Filer/FilerRemove.h"

#include "Commands/MainCommand.h"
#include "Filer/Kinds/FilerKind.h"
#include "Follow/PathRoot.h"
#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"

namespace {

std::wstring OfflineRoots(const std::vector<CEntry*>& entries) {
    std::wstring roots;
    for (const CEntry* entry : entries) {
        if (!entry->offline) continue;
        std::wstring root = PathRoot(entry->ResolvedPath());
        if (root.empty()) root = entry->ResolvedPath();
        if ((L"\n" + roots).find(L"\n" + root + L"\n") != std::wstring::npos) continue;
        roots += root + L"\n";
    }
    if (!roots.empty()) roots.pop_back();
    return roots;
}

}  // namespace

bool SettleBackupsOfRemovedEntry(HWND owner, const CEntry& entry) {
    if (!entry.HasBackup()) return true;
    // Entries of a folder never shown in this run have no display text yet.
    const std::wstring& shown = entry.Display().displayText;
    const std::wstring text = GtFormat(kGtBoxRemoveBackup, {shown.empty() ? entry.name.str() : shown, entry.BackupPath()});
    switch (KvMessageBox(owner, GlobalText::Get(kGtBoxRemoveBackupTitle), text.c_str(), KvMbYesNoCancel)) {
    case IDYES:
        KvDeleteTree(entry.BackupPath());
        return true;
    case IDNO:
        return true;
    default:
        return false;
    }
}

int CKvFiler::RemoveSelected(bool askFirst) {
    if (!current_ || !listView_) return 0;
    const std::vector<int> indexes = SelectedIndexes();
    if (indexes.empty()) return 0;
    // Offline entries are asked about once, naming their drives; that question is the confirmation.
    const std::wstring offline = OfflineRoots(SelectedEntries());
    if (!offline.empty()) {
        const std::wstring text = GtFormat(kGtOfflineRemove, {offline});
        if (KvMessageBox(listView_, GlobalText::Get(kGtOfflineType), text.c_str(), KvMbOkCancel) != IDOK) return 0;
    } else if (askFirst) {
        const int count = static_cast<int>(indexes.size());
        const std::wstring text =
            count == 1 ? std::wstring(GlobalText::Get(kGtBoxRemoveOne)) : GtFormat(kGtBoxRemoveMany, {count});
        // A refusal changes nothing, so the selection and the tool bar stay as they are.
        if (KvMessageBox(listView_, GlobalText::Get(kGtBoxRemoveTitle), text.c_str(), KvMbOkCancel) != IDOK) return 0;
    }

    // From the highest index down, so the indexes still to come keep naming the same entries.
    CFolder* folder = current_;
    int removed = 0;
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
        const size_t index = static_cast<size_t>(*it);
        auto position = folder->EntryAt(index);
        if (position == folder->End()) continue;
        CEntry& entry = *position;
        if (!SettleBackupsOfRemovedEntry(listView_, entry)) break;
        if (kind_) kind_->EntryRemoved(entry);
        folder->RemoveAt(index);
        ++removed;
    }

    if (removed == 0) return 0;
    ShowFolder(folder, false);
    SubfoldersChanged(folder);
    EnableTool(kCmdCopy, false);
    EnableTool(kCmdRemove, false);
    return removed;
}
