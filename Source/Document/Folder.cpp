// Structure of the folder tree: inserting, removing and finding entries, folder ids, the root.
// Entry paths (resolution, relative form, backup paths) are in FolderEntry.cpp, sorting in
// FolderSort.cpp.
#include "Document/Folder.h"

#include <iterator>
#include <new>
#include <unordered_set>
#include <utility>

namespace {

uint32_t g_folderIdCounter = 1;
uint64_t g_folderStamp = 0;

// Moves the subfolder of `entry` and every folder below it into `out`, so that destroying them one
// by one never nests destructor calls deeper than one level.
void DetachSubtree(CEntry& entry, std::vector<std::unique_ptr<CFolder>>& out) {
    if (!entry.subfolder) return;
    size_t next = out.size();
    out.push_back(std::move(entry.subfolder));
    for (; next < out.size(); ++next) {
        for (CEntry& e : out[next]->entries)
            if (e.subfolder) out.push_back(std::move(e.subfolder));
    }
}

void DetachAllSubfolders(CFolder& folder, std::vector<std::unique_ptr<CFolder>>& out) {
    for (CEntry& e : folder.entries) DetachSubtree(e, out);
}

template <typename Match>
CFolder* FindFolder(CFolder& start, Match match) {
    // Depth first in entry order: children are pushed in reverse so the first entry is visited first.
    std::vector<CFolder*> stack{&start};
    std::vector<CFolder*> children;
    while (!stack.empty()) {
        CFolder* f = stack.back();
        stack.pop_back();
        if (match(*f)) return f;
        children.clear();
        for (CEntry& e : f->entries)
            if (e.subfolder) children.push_back(e.subfolder.get());
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return nullptr;
}

}  // namespace

CFolder::~CFolder() {
    std::vector<std::unique_ptr<CFolder>> detached;
    DetachAllSubfolders(*this, detached);
}

uint64_t CFolder::NextFolderStamp() {
    return ++g_folderStamp;
}

uint64_t FolderModelStamp() {
    return g_folderStamp;
}

CFolder::Position CFolder::InsertAt(size_t index) {
    if (index > entries.size()) return entries.end();
    NoteChanged();
    Position before = index == entries.size() ? entries.end() : EntryAt(index);
    NoteEntriesChanged();
    return entries.emplace(before, this);
}

CEntry& CFolder::Append() {
    NoteChanged();
    NoteEntriesChanged();
    return entries.emplace_back(this);
}

CFolder::Position CFolder::RemoveAt(size_t index) {
    if (index >= entries.size()) return entries.end();
    NoteChanged();
    Position pos = EntryAt(index);
    std::vector<std::unique_ptr<CFolder>> detached;
    DetachSubtree(*pos, detached);
    NoteEntriesChanged();
    return entries.erase(pos);
}

CFolder::Position CFolder::EntryAt(size_t index) {
    size_t count = entries.size();
    if (index >= count) return entries.end();
    if (index <= count / 2) return std::next(entries.begin(), static_cast<std::ptrdiff_t>(index));
    return std::prev(entries.end(), static_cast<std::ptrdiff_t>(count - index));
}

void CFolder::Clear() {
    NoteChanged();
    std::vector<std::unique_ptr<CFolder>> detached;
    DetachAllSubfolders(*this, detached);
    NoteEntriesChanged();
    entries.clear();
}

int CFolder::FindByPath(const std::wstring& path) const {
    int index = 0;
    for (const CEntry& e : entries) {
        if (e.ResolvedPath() == path) return index;
        ++index;
    }
    return -1;
}

CFolder* CFolder::FindById(uint32_t folderId) {
    return FindFolder(*this, [folderId](const CFolder& f) { return f.id == folderId; });
}

CFolder* CFolder::FindByTreeItem(HTREEITEM item) {
    return FindFolder(*this, [item](const CFolder& f) { return f.treeItem == item; });
}

std::wstring CFolder::Name() const {
    return ownerEntry ? ownerEntry->name.str() : std::wstring();
}

std::wstring CFolder::Path(bool useBackslash) const {
    std::vector<const CFolder*> chain;
    for (const CFolder* f = this; f->parent; f = f->parent) chain.push_back(f);
    const wchar_t separator = useBackslash ? L'\\' : L'/';
    std::wstring result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        result += (*it)->Name();
        result += separator;
    }
    return result;
}

bool CFolder::CreateSubfolder(CEntry& entry, uint32_t folderKind) {
    if (entry.subfolder || !entry.owner) return false;
    std::unique_ptr<CFolder> folder(new (std::nothrow) CFolder(0, folderKind));
    if (!folder) return false;
    folder->parent = entry.owner;
    folder->ownerEntry = &entry;
    folder->id = NewFolderId();
    entry.subfolder = std::move(folder);
    return true;
}

FolderPathIndex::FolderPathIndex(const CFolder& folder) {
    first_.reserve(folder.Count());
    for (const CEntry& e : folder.entries) NoteAppended(e.ResolvedPath());
}

int FolderPathIndex::Find(const std::wstring& resolvedPath) const {
    auto it = first_.find(resolvedPath);
    return it == first_.end() ? -1 : it->second;
}

void FolderPathIndex::NoteAppended(const std::wstring& resolvedPath) {
    first_.emplace(resolvedPath, count_);
    ++count_;
}

uint32_t FolderIdCounter() {
    return g_folderIdCounter;
}

void SetFolderIdCounter(uint32_t value) {
    g_folderIdCounter = value;
}

uint32_t NewFolderId() {
    std::unordered_set<uint32_t> used;
    FindFolder(RootFolder(), [&used](const CFolder& f) {
        used.insert(f.id);
        return false;
    });
    // The tree holds fewer than 2^32 - 1 folders, so the walk always finds a free id.
    do {
        g_folderIdCounter = g_folderIdCounter == 0xFFFFFFFFu ? 1u : g_folderIdCounter + 1;
    } while (used.count(g_folderIdCounter) != 0);
    return g_folderIdCounter;
}

const EntryDisplay& CEntry::NoDisplay() {
    static const EntryDisplay none;
    return none;
}

CFolder& RootFolder() {
    static CFolder root(1, kFolderKindPlain);
    return root;
}

void ResetFolderModel() {
    CFolder& root = RootFolder();
    root.Clear();
    root.parent = nullptr;
    root.ownerEntry = nullptr;
    root.kind = kFolderKindPlain;
    root.id = 1;
    root.reserved = 1;
    root.sortFlags = 0;
    root.treeItem = nullptr;
    root.search = SearchSettings();
    g_folderIdCounter = 1;
}
