// Label editing in the filer: renaming a subfolder, editing an entry's alias, or renaming the file
// on disk. A rename on disk stays inside the file's directory: the new text must be a single file
// name, the move never replaces an existing file, and the entry changes only when the move
// succeeded. A cancelled edit leaves everything as it was.
#include "Filer/KvFiler.h"

#include <cwchar>
#include <string>

#include "Filer/FilerCaches.h"
#include "Filer/FilerFollow.h"
#include "Filer/FilerLabelEdit.h"
#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvWindow.h"
#include "Document/Project.h"

namespace {

// Longest label taken from the edit control, terminator excluded.
constexpr size_t kMaxLabel = 511;

// `path` with its last component replaced by `name`; the rest (relative or absolute) is kept. A
// directory path may end in separators; they do not count as an empty last component.
std::wstring WithFileName(std::wstring path, const std::wstring& name) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return name;
    return path.substr(0, separator + 1) + name;
}

bool EditsAlias(const CEntry& entry) {
    return Project().allowAlias && entry.aliasMode;
}

void ShowNameRefused(HWND owner) {
    KvMessageBox(owner, GlobalText::Get(kGtBoxEmptyName), GlobalText::Get(kGtBoxEmptyName), KvMbOk);
}

}  // namespace

bool IsPlainFileName(const std::wstring& text) {
    static const wchar_t kForbidden[] = L"\\/:*?\"<>|";
    if (text.empty() || text == L"." || text == L"..") return false;
    for (wchar_t c : text) {
        if (c < 0x20 || wcschr(kForbidden, c)) return false;
    }
    return true;
}

BOOL CKvFiler::OnBeginLabelEdit(const NMLVDISPINFOW& info) {
    const CEntry* entry = EntryAtIndex(info.item.iItem);
    if (!entry) return TRUE;
    if (entry->IsSubfolderEntry()) return FALSE;
    if (RefusedAsOffline(listView_, *entry)) return TRUE;
    if (entry->missing) return TRUE;
    return (Project().allowRename || EditsAlias(*entry)) ? FALSE : TRUE;
}

BOOL CKvFiler::OnEndLabelEdit(const NMLVDISPINFOW& info) {
    // A null text is the list view's report that the edit was cancelled.
    if (!info.item.pszText) return FALSE;
    const int index = info.item.iItem;
    CEntry* entry = EntryAtIndex(index);
    if (!entry || entry->missing) return FALSE;

    std::wstring text(info.item.pszText);
    if (text.size() > kMaxLabel) text.resize(kMaxLabel);
    if (text.empty()) {
        ShowNameRefused(listView_);
        return FALSE;
    }
    // A name, alias or path may change below; whatever indexes the folder's texts reads them again.
    if (entry->owner) entry->owner->NoteChanged();

    if (entry->IsSubfolderEntry()) {
        entry->name = text;
        entry->EditDisplay().displayText = text;
        UpdateItem(index);
        SubfoldersChanged(current_);
        return FALSE;
    }
    if (EditsAlias(*entry)) {
        entry->alias = text;
        entry->EditDisplay().displayText = text;
        UpdateItem(index);
        return FALSE;
    }
    if (!Project().allowRename) return FALSE;
    if (!IsPlainFileName(text)) {
        ShowNameRefused(listView_);
        return FALSE;
    }

    const std::wstring from = entry->ResolvedPath();
    const std::wstring to = WithFileName(from, text);
    if (to != from && !MoveFileW(from.c_str(), to.c_str())) return FALSE;
    entry->path = WithFileName(entry->path, text);
    caches_->ResetPaths();
    entry->name = text;
    entry->EditDisplay().displayText = text;
    UpdateItem(index);
    return FALSE;
}
