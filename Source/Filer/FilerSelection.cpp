// The selection of the filer's list view as indexes and as entries of the current folder.
#include "Filer/KvFiler.h"

#include "Document/Folder.h"

std::vector<int> CKvFiler::SelectedIndexes() const {
    std::vector<int> indexes;
    if (!listView_) return indexes;
    int next = -1;
    while ((next = static_cast<int>(
                SendMessageW(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(next), LVNI_SELECTED))) >= 0) {
        // An owner-data list may report selected rows past the folder's end while it is refilled.
        if (current_ && static_cast<size_t>(next) >= current_->Count()) break;
        indexes.push_back(next);
    }
    return indexes;
}

std::vector<CEntry*> CKvFiler::SelectedEntries() {
    // One walk over the entry list: looking every index up on its own would be quadratic for a
    // large selection of a large folder. The entries handed out have their display data.
    std::vector<CEntry*> entries;
    if (!current_) return entries;
    const std::vector<int> indexes = SelectedIndexes();
    entries.reserve(indexes.size());
    size_t wanted = 0;
    int index = 0;
    for (auto it = current_->entries.begin(); it != current_->entries.end() && wanted < indexes.size(); ++it, ++index) {
        if (index != indexes[wanted]) continue;
        EnsureDisplayData(*it, index);
        entries.push_back(&*it);
        ++wanted;
    }
    return entries;
}
