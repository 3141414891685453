// Reordering a folder's entries: the five filer column sorts and the type-ahead prefix sort. Nodes
// are relinked, never copied, so entry addresses survive every sort. Texts compare code unit by
// code unit as unsigned 16-bit values, sizes as signed 32-bit values.
#include "Document/Folder.h"

#include <algorithm>
#include <utility>

namespace {

// std::list::sort is a stable merge sort: equal keys keep their previous order in both directions.
template <typename Key>
void SortByKey(CFolder::EntryList& entries, bool ascending, Key key) {
    if (ascending)
        entries.sort([&key](const CEntry& a, const CEntry& b) { return key(a) < key(b); });
    else
        entries.sort([&key](const CEntry& a, const CEntry& b) { return key(b) < key(a); });
}

wchar_t FoldAsciiCase(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool StartsWithFolded(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (FoldAsciiCase(text[i]) != FoldAsciiCase(prefix[i])) return false;
    return true;
}

}  // namespace

bool CFolder::SortByColumn(int column) {
    if (column < kColumnName || column > kColumnDate) return false;
    const uint16_t bit = static_cast<uint16_t>(1u << column);
    const bool ascending = (sortFlags & bit) != 0;
    sortFlags = static_cast<uint16_t>(ascending ? (sortFlags & ~bit) : (sortFlags | bit));
    switch (column) {
    case kColumnName:
        SortByName(ascending);
        break;
    case kColumnPath:
        SortByPath(ascending);
        break;
    case kColumnSize:
        SortBySize(ascending);
        break;
    case kColumnType:
        SortByType(ascending);
        break;
    default:
        SortByDate(ascending);
        break;
    }
    return ascending;
}

void CFolder::SortByName(bool ascending) {
    NoteEntriesChanged();
    SortByKey(entries, ascending, [](const CEntry& e) -> const std::wstring& { return e.Display().displayText; });
}

void CFolder::SortBySize(bool ascending) {
    NoteEntriesChanged();
    SortByKey(entries, ascending, [](const CEntry& e) { return e.Display().sizeValue; });
}

void CFolder::SortByType(bool ascending) {
    NoteEntriesChanged();
    SortByKey(entries, ascending, [](const CEntry& e) -> const std::wstring& { return e.Display().typeText; });
}

void CFolder::SortByDate(bool ascending) {
    NoteEntriesChanged();
    SortByKey(entries, ascending, [](const CEntry& e) -> const std::wstring& { return e.Display().dateText; });
}

void CFolder::SortByPath(bool ascending) {
    NoteEntriesChanged();
    // Resolving is not free, so every key is made once. Descending puts equal paths in reverse of
    // their previous order: the keys are reversed first and then sorted stably.
    std::vector<std::pair<std::wstring, Position>> keyed;
    keyed.reserve(entries.size());
    for (Position it = entries.begin(); it != entries.end(); ++it) keyed.emplace_back(it->ResolvedPath(), it);
    if (ascending) {
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    } else {
        std::reverse(keyed.begin(), keyed.end());
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
    }
    for (auto& item : keyed) entries.splice(entries.end(), entries, item.second);
}

int CFolder::FirstWithPrefix(const std::wstring& text) const {
    int index = 0;
    for (const CEntry& entry : entries) {
        if (StartsWithFolded(entry.Display().displayText, text)) return index;
        ++index;
    }
    return -1;
}

bool CFolder::SortByPrefix(const std::wstring& text) {
    if (text.empty()) return false;
    NoteEntriesChanged();
    EntryList matches;
    bool moved = false;
    bool sawOther = false;
    for (Position it = entries.begin(); it != entries.end();) {
        Position next = std::next(it);
        if (StartsWithFolded(it->Display().displayText, text)) {
            moved = moved || sawOther;
            matches.splice(matches.end(), entries, it);
        } else {
            sawOther = true;
        }
        it = next;
    }
    entries.splice(entries.begin(), matches);
    return moved;
}
