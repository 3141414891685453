// Adding to folders and opening entries: paths from drops, pastes and searches, new subfolders, and
// the open action of Enter and double-click.
//
// Duplicate check: a folder may hold 100,000 entries and a search adds its results one by one, so
// the first-match lookup by resolved path goes through an index built once per folder showing and
// extended on every append, rather than a walk of the whole folder per added path.
#include "Filer/KvFiler.h"

#include "Filer/FilerCaches.h"
#include "Filer/Kinds/FilerKind.h"
#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"

namespace {

// The name a new folder of this kind starts with.
int NewFolderNameEntry(unsigned kind) {
    switch (kind) {
    case kFolderKindMusic:
        return kGtNewMusicFolderName;
    case kFolderKindImage:
        return kGtNewImageFolderName;
    default:
        return kGtNewPlainFolderName;
    }
}

}  // namespace

int CKvFiler::FindPath(const std::wstring& resolved) {
    FilerCaches& cache = *caches_;
    if (!cache.pathIndex || cache.pathFolder != current_ || cache.pathEntries != current_->generation) {
        cache.pathIndex = std::make_unique<FolderPathIndex>(*current_);
        cache.pathFolder = current_;
        cache.pathEntries = current_->generation;
    }
    return cache.pathIndex->Find(resolved);
}

bool CKvFiler::AddPath(const std::wstring& path, bool selectExisting) {
    if (!AppendPath(path, selectExisting)) return false;
    SetItemCount();
    StartDisplayQueue();
    return true;
}

int CKvFiler::AddPaths(const std::vector<std::wstring>& paths, bool selectExisting) {
    int added = 0;
    for (const std::wstring& path : paths)
        if (AppendPath(path, selectExisting)) ++added;
    if (added) {
        SetItemCount();
        StartDisplayQueue();
    }
    return added;
}

bool CKvFiler::AppendPath(const std::wstring& path, bool selectExisting) {
    if (!current_ || path.empty()) return false;
    int existing = FindPath(path);
    if (existing >= 0) {
        if (selectExisting && listView_) {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            SendMessageW(listView_, LVM_SETITEMSTATE, existing, reinterpret_cast<LPARAM>(&state));
        }
        return false;
    }
    if (kind_ && !kind_->AcceptsPath(path)) return false;

    CEntry& entry = current_->Append();
    entry.path = path;
    // The display data comes when the row is shown or from the background queue.
    const std::wstring resolved = entry.ResolvedPath();
    if (resolved.empty()) {
        current_->RemoveAt(current_->Count() - 1);
        return false;
    }
    FilerCaches& cache = *caches_;
    cache.pathIndex->NoteAppended(resolved);
    cache.pathEntries = current_->generation;
    return true;
}

int CKvFiler::AddAndSelect(const std::vector<std::wstring>& paths) {
    if (!current_ || !listView_) return 0;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(listView_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    const int before = static_cast<int>(current_->Count());
    const int added = AddPaths(paths, true);
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    for (int i = before; i < before + added; ++i)
        SendMessageW(listView_, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
    const int first = static_cast<int>(SendMessageW(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (first < 0) return added;
    state.stateMask = LVIS_FOCUSED;
    state.state = LVIS_FOCUSED;
    SendMessageW(listView_, LVM_SETITEMSTATE, static_cast<WPARAM>(first), reinterpret_cast<LPARAM>(&state));
    SendMessageW(listView_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(first), FALSE);
    return added;
}

bool CKvFiler::AddPathToFolder(CFolder* folder, const std::wstring& path) {
    if (!folder) return false;
    if (folder == current_) return AddPath(path, true);
    if (path.empty() || folder->FindByPath(path) >= 0) return false;
    folder->Append().path = path;
    return true;
}

bool CKvFiler::NewFolder(unsigned kind) {
    if (!current_) return false;
    if (kind != kFolderKindMusic && kind != kFolderKindImage) kind = kFolderKindPlain;
    CEntry& entry = current_->Append();
    entry.name = GlobalText::Get(NewFolderNameEntry(kind));
    const int index = static_cast<int>(current_->Count()) - 1;
    if (!current_->CreateSubfolder(entry, kind)) {
        current_->RemoveAt(static_cast<size_t>(index));
        return false;
    }
    MakeDisplayData(entry, index);
    SetItemCount();
    SubfoldersChanged(current_);
    if (listView_) {
        SetFocus(listView_);
        SendMessageW(listView_, LVM_EDITLABELW, index, 0);
    }
    return true;
}

void CKvFiler::OpenEntry(int index) {
    CEntry* entry = EntryAtIndex(index);
    if (!entry) return;
    if (entry->IsSubfolderEntry()) {
        CFolder* folder = entry->subfolder.get();
        NavigateTo(folder);
        SelectInTree(folder);
        return;
    }
    if (entry->missing || !kind_) return;
    kind_->OpenEntry(index, *entry);
}
