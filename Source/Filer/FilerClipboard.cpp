// Copy and paste of the filer: the files of the selected entries go to the clipboard as one file
// list (the format other programs paste as files); a pasted file list is added to the folder on
// screen, selecting the entries that are already there.
#include "Filer/KvFiler.h"

#include "Document/Folder.h"
#include "Kv/KvClipboard.h"
#include "Kv/KvHandles.h"

bool CKvFiler::CopySelected() {
    std::vector<std::wstring> paths;
    for (const CEntry* entry : SelectedEntries()) {
        if (entry->IsSubfolderEntry() || entry->missing) continue;
        std::wstring path = entry->ResolvedPath();
        if (!path.empty()) paths.push_back(std::move(path));
    }
    if (paths.empty()) return false;
    kv::UniqueGlobal block(KvMakeFileDrop(paths));
    if (!block) return false;
    if (!OpenClipboard(listView_)) return false;
    EmptyClipboard();
    // On success the clipboard owns the block.
    const bool placed = SetClipboardData(CF_HDROP, block.get()) != nullptr;
    if (placed) block.release();
    CloseClipboard();
    return placed;
}

int CKvFiler::PasteFiles() {
    std::vector<std::wstring> paths;
    if (!KvReadClipboardFiles(listView_, paths)) return 0;
    return AddPaths(paths, true);
}
