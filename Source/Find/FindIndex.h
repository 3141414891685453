// The index of the find in the project: for every entry of the tree one folded text (its name,
// alias and resolved path, FindText.h), kept folder by folder in one buffer per folder. It is
// built once, in slices so that the window stays responsive, and then kept up to date: an update
// reads again only the folders whose stamp (CFolder::stamp) changed and drops the folders that are
// gone, so the texts are never all folded again while the tree changes in small steps.
//
// Buffer layout of a folder: each entry's record is its fields (name, alias, path; a subfolder
// entry has no path) each followed by kFieldEnd, then kRecordEnd. A word never holds either
// separator, so a match never spans two fields or two records. UI thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Find/FindText.h"

class CFolder;
class CEntry;

// One result: a record of the index. Valid until the index changes (Update returning true).
struct FindHit {
    uint32_t slot;
    uint32_t record;
};

class FindIndex {
public:
    // True when the index covers the tree as it is now.
    bool Current() const;
    // Brings the index up to date with the tree under `root`, working at most `budgetMs`
    // milliseconds (0: no limit). True when it is current afterwards; false when it needs another
    // call (a tree changed between calls makes the work start over from the folders' stamps).
    bool Update(CFolder& root, DWORD budgetMs);
    // True when an update finished since the last search: hits of earlier searches are void.
    bool ChangedSinceSearch() const { return changed_; }
    void Clear();

    // The entries whose text holds every word of `query`, in tree order (folders depth first,
    // entries in folder order). Only on a current index.
    std::vector<FindHit> Search(const FindQuery& query);
    // The same, looking only among `earlier`, the hits of a query that this one narrows, made on
    // the index as it is now.
    std::vector<FindHit> SearchWithin(const FindQuery& query, const std::vector<FindHit>& earlier);

    CEntry* EntryOf(FindHit hit) const { return slots_[hit.slot].entries[hit.record]; }
    CFolder* FolderOf(FindHit hit) const { return slots_[hit.slot].folder; }
    size_t EntryCount() const { return entryCount_; }
    size_t FolderCount() const { return slots_.size(); }
    // Every record's folded text, in tree order (for measuring the search against a plain scan).
    std::vector<std::wstring> RecordTexts() const;

    static constexpr wchar_t kFieldEnd = L'\x1F';
    static constexpr wchar_t kRecordEnd = L'\x1E';

private:
    struct Slot {
        CFolder* folder = nullptr;
        uint64_t stamp = 0;
        std::wstring text;
        std::vector<uint32_t> starts;  // where each record begins in text
        std::vector<CEntry*> entries;
    };
    struct Pending {
        CFolder* folder;
        uint64_t stamp;
    };

    void Gather(CFolder& root);
    void Fill(Slot& slot);
    void AppendFolded(Slot& slot, const std::wstring& raw);
    void AppendPath(Slot& slot, const std::wstring& path);
    void Finish();

    std::vector<Slot> slots_;
    size_t entryCount_ = 0;
    uint64_t builtStamp_ = 0;
    bool built_ = false;
    bool changed_ = false;

    // An update in progress: the folders of the tree in order, the next to take, the slots made.
    bool updating_ = false;
    uint64_t gatherStamp_ = 0;
    std::vector<Pending> pending_;
    size_t next_ = 0;
    std::vector<Slot> fresh_;
    std::unordered_map<const CFolder*, size_t> old_;  // folder -> its slot in slots_
    // Folded directory parts of paths; most entries share their directory with others.
    std::unordered_map<std::wstring, std::wstring> directories_;
};
