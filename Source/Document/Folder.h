// The project's folder tree: CFolder is one user-made folder holding its entries in display order,
// CEntry one entry (a file or directory anywhere on disk, or the place where a subfolder hangs).
// The root folder owns the whole tree: a folder owns its entries, a subfolder entry owns its
// subfolder. Entries live in a std::list, so an entry's address (CFolder::ownerEntry) stays valid
// while the list is reordered; entries and folders are neither copied nor moved.
// Teardown, FindById, FindByTreeItem and Path walk the tree without recursion, so a deeply nested
// tree read from a file cannot exhaust the stack. UI thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Document/EntryText.h"
#include "Document/SmallBlocks.h"

class CFolder;

// Folder kinds (CFolder::kind), the numbers the project file stores. A folder of any other stored
// kind keeps it, and is shown and filled as a plain folder.
enum FolderKind : uint32_t {
    kFolderKindPlain = 1,
    kFolderKindMusic = 2,
    kFolderKindImage = 3,
};

// One directory that a folder's search walks (the walk itself belongs to the search units).
struct SearchFolder {
    std::wstring path;           // where the walk starts
    int32_t depth = 1;           // levels walked when limitDepth is set
    std::wstring includeText;    // substring a found name must contain (useInclude)
    std::wstring exclusionText;  // substring that excludes a directory name (useExclusion)
    bool limitDepth = true;
    bool useInclude = false;
    bool useExclusion = false;
};

// A folder's search settings: the single search folder (the inherited fields) or, when
// multipleFolders is set, the list `folders`. Copies are deep, so a dialog can edit a copy.
struct SearchSettings : SearchFolder {
    std::vector<SearchFolder> folders;
    bool autoUpdate = false;       // search again each time the folder is shown
    bool multipleFolders = false;  // also the settings dialog's selected tab (0 single, 1 multiple)
};

// The filer's display data of one entry: made when the entry is shown, dropped when its folder is
// left, so only entries shown in this run carry it. Current while `generation` equals the filer's.
struct EntryDisplay {
    static constexpr int32_t kIconUnset = -1;

    uint32_t generation = 0;
    std::wstring displayText;
    int32_t iconIndex = kIconUnset;
    int32_t sizeValue = 0;
    std::wstring sizeText;
    std::wstring typeText;
    std::wstring dateText;
    int32_t thumbIndex = 0;
    // The row shows what was known without a call (its path may keep a call waiting); the rest
    // comes from the filer's display worker.
    bool awaiting = false;
};

// Whether a backupName read from a project file names a place inside the backup directory: one or
// more plain directory names separated by backslashes (the store writes one after the last too),
// none empty, none made of dots and blanks only (".", ".."), none holding a drive or stream colon,
// a wildcard, a forward slash or a control character, none a device name (CON, NUL, COM1, ...).
// Anything else could lead out of the backup directory, so neither the store nor the removal of an
// entry uses it.
bool IsPlainBackupName(const std::wstring& name);
// Whether `name` is a device name of the system with or without an extension ("CON", "nul.txt").
bool IsDeviceName(const std::wstring& name);

class CEntry {
public:
    static constexpr int32_t kIconUnset = EntryDisplay::kIconUnset;

    explicit CEntry(CFolder* ownerFolder = nullptr) : owner(ownerFolder) {}
    CEntry(const CEntry&) = delete;
    CEntry& operator=(const CEntry&) = delete;

    bool IsSubfolderEntry() const { return subfolder != nullptr; }

    // The absolute path: `path` itself, or for a relative entry `path` taken against the project
    // directory with dots and separators resolved. Never cut: a cut path would name another file.
    std::wstring ResolvedPath() const;
    // Convert `path` between project-relative and absolute form; no-ops for subfolder entries, when
    // the project has no directory, when the entry is already in that form, or when the converted
    // path would not fit 259 characters.
    void MakeRelative();
    void MakeAbsolute();

    // `alias` when set, otherwise the name through the UI text table's kGtNameWithoutAlias format.
    std::wstring ShownName() const;

    void SetName(const std::wstring& text) { name = text; }
    void SetPath(const std::wstring& text) { path = text; }
    void SetAppPath(const std::wstring& text) { appPath = text; }
    void SetDisplayText(const std::wstring& text) { EditDisplay().displayText = text; }

    // "<backup dir>\<backupName>"; empty without a backupName or backup directory, when backupName
    // is not a plain relative name (IsPlainBackupName), or when the result would be 252 characters
    // or longer (the backup store appends file names to it).
    std::wstring BackupPath() const;
    // BackupPath is set and its info.xml can be opened for reading.
    bool HasBackup() const;

    // The display data, or defaults (empty texts, generation 0) for an entry that has none.
    const EntryDisplay& Display() const { return display_ ? *display_ : NoDisplay(); }
    // The display data to fill in, made on first use.
    EntryDisplay& EditDisplay() {
        if (!display_) display_.reset(new EntryDisplay);
        return *display_;
    }
    bool HasDisplay() const { return display_ != nullptr; }
    void DropDisplay() { display_.reset(); }
    // Hands the display data over to `other` (an entry moved to another folder keeps it).
    void MoveDisplayTo(CEntry& other) { other.display_ = std::move(display_); }

    // Stored in the project file.
    EntryText name;
    EntryText alias;
    EntryText path;
    EntryText appPath;
    EntryText backupName;
    std::unique_ptr<CFolder> subfolder;
    uint8_t aliasMode = 0;
    uint8_t relative = 0;
    uint8_t colour = 0;

    // Not stored.
    uint8_t missing = 0;
    uint8_t offline = 0;  // missing only because the drive or network share of its file is away
    // The user answered No when asked to relink this entry to its moved file; it is not asked
    // about again. Kept in the project's sidecar of extras (FolderExtras.h).
    uint8_t relinkDeclined = 0;
    CFolder* owner = nullptr;

private:
    static const EntryDisplay& NoDisplay();

    std::unique_ptr<EntryDisplay> display_;
};

class CFolder {
public:
    using EntryList = std::list<CEntry, SmallBlockAllocator<CEntry>>;
    using Position = EntryList::iterator;

    // Filer columns, also the sortFlags bit numbers.
    enum Column { kColumnName = 0, kColumnPath = 1, kColumnSize = 2, kColumnType = 3, kColumnDate = 4 };

    CFolder() : stamp(NextFolderStamp()) {}
    CFolder(uint32_t folderId, uint32_t folderKind) : kind(folderKind), id(folderId), stamp(NextFolderStamp()) {}
    ~CFolder();
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;

    size_t Count() const { return entries.size(); }
    Position End() { return entries.end(); }

    // A new default entry before position `index`; index == Count() appends, a larger index inserts
    // nothing and returns End().
    Position InsertAt(size_t index);
    // A new default entry at the end, in constant time.
    CEntry& Append();
    // Destroys the entry at `index` with its subfolder tree; returns the following position, or
    // End() (and removes nothing) for an index at or past the end.
    Position RemoveAt(size_t index);
    // Walks from the nearer end of the list; End() when out of range.
    Position EntryAt(size_t index);
    // Destroys every entry and the subfolder trees under them.
    void Clear();
    // Gives the folder a new stamp: its entries were added, removed or renamed. InsertAt, Append,
    // RemoveAt and Clear do this themselves; whoever changes an entry's name, alias or path calls it.
    void NoteChanged() { stamp = NextFolderStamp(); }

    // Index of the first entry whose resolved path equals `path` exactly (case-sensitive), or -1.
    // Linear; to test many paths against one folder use FolderPathIndex.
    int FindByPath(const std::wstring& path) const;
    // This folder or the first folder below it (depth first, entry order) with that id / tree item.
    CFolder* FindById(uint32_t folderId);
    CFolder* FindByTreeItem(HTREEITEM item);

    // The owning entry's name; empty for the root.
    std::wstring Name() const;
    // Empty for the root, otherwise every folder name from the top down each followed by `\`
    // (useBackslash) or `/`.
    std::wstring Path(bool useBackslash) const;

    // Hangs a new folder (kind `folderKind`, a fresh id) on `entry`, which must belong to a folder
    // and have no subfolder yet. False when it cannot be allocated or the entry is unsuitable.
    bool CreateSubfolder(CEntry& entry, uint32_t folderKind);

    // Sorts by a filer column in the direction chosen by the column's sortFlags bit (set: ascending,
    // then cleared; clear: descending, then set). Returns true when the order applied was ascending.
    // Stable, except that a descending path sort puts equal paths in reverse of their previous order.
    bool SortByColumn(int column);
    void SortByName(bool ascending);
    void SortByPath(bool ascending);
    void SortBySize(bool ascending);
    void SortByType(bool ascending);
    void SortByDate(bool ascending);
    // Moves the entries whose displayText starts with `text` (A-Z compared without case) in front
    // of the others, keeping the order inside both groups. True when anything moved.
    bool SortByPrefix(const std::wstring& text);
    // The index of the first entry whose display text begins with `text` as SortByPrefix compares;
    // -1 when none does.
    int FirstWithPrefix(const std::wstring& text) const;

    EntryList entries;
    CFolder* parent = nullptr;
    CEntry* ownerEntry = nullptr;
    uint32_t kind = kFolderKindPlain;  // a FolderKind, or another stored number (shown as plain)
    uint32_t id = 0;
    uint16_t reserved = 1;  // kept and written back unchanged
    uint16_t sortFlags = 0;
    HTREEITEM treeItem = nullptr;
    SearchSettings search;
    // Unique over the process's life (never reused, even by a folder made at the same address):
    // a folder whose stamp is unchanged still holds the same entries with the same names and
    // paths, so what was learnt about them (the find index) still holds.
    uint64_t stamp;
    // Advanced by every change of the list `entries` itself, its order included (insert, append,
    // remove, clear, sort, swap), so that whoever keeps a position or index into the list can tell
    // it may have gone stale; unlike `stamp` it ignores renames and follows sorts. Code that
    // changes `entries` directly calls NoteEntriesChanged.
    uint32_t generation = 0;
    void NoteEntriesChanged() { ++generation; }

private:
    static uint64_t NextFolderStamp();
};

// Resolved path -> first index, built once over a folder so that many paths can be tested and
// appended in near-linear time. Find gives the same answer as CFolder::FindByPath as long as
// every change to the folder after construction is an append reported through NoteAppended.
class FolderPathIndex {
public:
    explicit FolderPathIndex(const CFolder& folder);
    int Find(const std::wstring& resolvedPath) const;
    void NoteAppended(const std::wstring& resolvedPath);

private:
    std::unordered_map<std::wstring, int> first_;
    int count_ = 0;
};

// Calls visit(folder, entry, index) for every entry of `root` and of the folders below it that
// points at a file or directory (subfolder entries are descended into, not visited); `index` is the
// entry's position in its folder. Works on a const tree and on a mutable one.
template <class Folder, class Visit>
void ForEachFileEntry(Folder& root, Visit visit) {
    std::vector<Folder*> pending{&root};
    while (!pending.empty()) {
        Folder* folder = pending.back();
        pending.pop_back();
        int index = 0;
        for (auto& entry : folder->entries) {
            const int at = index++;
            if (entry.subfolder)
                pending.push_back(entry.subfolder.get());
            else
                visit(*folder, entry, at);
        }
    }
}

// Calls visit(folder) for `root` and every folder below it, depth first in entry order.
template <class Folder, class Visit>
void ForEachFolder(Folder& root, Visit visit) {
    std::vector<Folder*> pending{&root};
    std::vector<Folder*> children;
    while (!pending.empty()) {
        Folder* folder = pending.back();
        pending.pop_back();
        visit(*folder);
        children.clear();
        for (auto& entry : folder->entries)
            if (entry.subfolder) children.push_back(entry.subfolder.get());
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

// The stamp most recently given to any folder: unchanged means no folder of the tree has gained,
// lost or renamed an entry, and none was made.
uint64_t FolderModelStamp();

// The process-wide folder id counter (initially 1; stored in the project file).
uint32_t FolderIdCounter();
void SetFolderIdCounter(uint32_t value);
// Advances the counter (0xFFFFFFFF wraps to 1, 0 is never produced) until it names no folder of
// the tree, and returns it.
uint32_t NewFolderId();

// The single root folder (id 1, a plain folder), created on first use and never replaced.
CFolder& RootFolder();
// Test support: empties the root and gives it and the counter their start-up state.
void ResetFolderModel();
