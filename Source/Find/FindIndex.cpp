// The find index (FindIndex.h): gathering the tree's folders, folding them slice by slice, and
// the searches.
#include "Find/FindIndex.h"

#include <algorithm>
#include <utility>

#include "Document/Folder.h"

namespace {

// Past this many remembered directories the cache starts again, so a project that keeps moving
// between directories does not grow it without end.
constexpr size_t kMaxDirectories = 200000;

// The length of the directory part of `path`, its last separator included; 0 when there is none.
size_t DirectoryLength(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

}  // namespace

bool FindIndex::Current() const {
    return built_ && !updating_ && builtStamp_ == FolderModelStamp();
}

void FindIndex::Clear() {
    slots_.clear();
    entryCount_ = 0;
    built_ = false;
    changed_ = true;
    updating_ = false;
    pending_.clear();
    fresh_.clear();
    old_.clear();
    directories_.clear();
}

void FindIndex::Gather(CFolder& root) {
    // In the tree's order, so the results come folder by folder as the tree shows them.
    pending_.clear();
    ForEachFolder(root, [this](CFolder& folder) { pending_.push_back(Pending{&folder, folder.stamp}); });
    gatherStamp_ = FolderModelStamp();
    next_ = 0;
    fresh_.clear();
    fresh_.reserve(pending_.size());
    old_.clear();
    for (size_t i = 0; i < slots_.size(); ++i) old_[slots_[i].folder] = i;
    updating_ = true;
}

bool FindIndex::Update(CFolder& root, DWORD budgetMs) {
    if (Current()) return true;
    // A tree changed since the gathering may have destroyed folders still to be read.
    if (!updating_ || gatherStamp_ != FolderModelStamp()) Gather(root);
    const DWORD start = GetTickCount();
    while (next_ < pending_.size()) {
        const Pending& folder = pending_[next_++];
        auto old = old_.find(folder.folder);
        if (old != old_.end() && slots_[old->second].stamp == folder.stamp) {
            // Stamps are never reused, so the same stamp means the same entries and texts.
            fresh_.push_back(std::move(slots_[old->second]));
            slots_[old->second].folder = nullptr;
            old_.erase(old);
        } else {
            Slot slot;
            slot.folder = folder.folder;
            slot.stamp = folder.stamp;
            Fill(slot);
            fresh_.push_back(std::move(slot));
        }
        if (budgetMs != 0 && next_ < pending_.size() && GetTickCount() - start >= budgetMs) return false;
    }
    Finish();
    return true;
}

void FindIndex::Finish() {
    // Every folder of the tree has its slot in the fresh list; what is left behind belonged to
    // folders that are gone.
    slots_ = std::move(fresh_);
    fresh_.clear();
    pending_.clear();
    old_.clear();
    entryCount_ = 0;
    for (const Slot& slot : slots_) entryCount_ += slot.entries.size();
    builtStamp_ = gatherStamp_;
    built_ = true;
    updating_ = false;
    changed_ = true;
    if (directories_.size() > kMaxDirectories) directories_.clear();
}

void FindIndex::AppendFolded(Slot& slot, const std::wstring& raw) {
    if (!raw.empty()) slot.text += FoldForFind(raw);
    slot.text += kFieldEnd;
}

void FindIndex::AppendPath(Slot& slot, const std::wstring& path) {
    const size_t split = DirectoryLength(path);
    if (split > 0) {
        std::wstring directory = path.substr(0, split);
        auto known = directories_.find(directory);
        if (known == directories_.end()) {
            std::wstring folded = FoldForFind(directory);
            known = directories_.emplace(std::move(directory), std::move(folded)).first;
        }
        slot.text += known->second;
    }
    if (split < path.size()) slot.text += FoldForFind(path.data() + split, path.size() - split);
    slot.text += kFieldEnd;
}

void FindIndex::Fill(Slot& slot) {
    slot.entries.reserve(slot.folder->entries.size());
    slot.starts.reserve(slot.folder->entries.size());
    for (CEntry& entry : slot.folder->entries) {
        slot.starts.push_back(static_cast<uint32_t>(slot.text.size()));
        slot.entries.push_back(&entry);
        if (entry.IsSubfolderEntry()) {
            AppendFolded(slot, entry.name);
            AppendFolded(slot, entry.alias);
        } else {
            const std::wstring path = entry.ResolvedPath();
            // The name is most often the path's file name, which the path field already holds.
            const size_t fileName = DirectoryLength(path);
            const bool nameInPath = !entry.name.empty() && path.find(entry.name, fileName) != std::wstring::npos;
            AppendFolded(slot, nameInPath ? std::wstring() : entry.name.str());
            AppendFolded(slot, entry.alias);
            AppendPath(slot, path);
        }
        slot.text += kRecordEnd;
    }
}

std::vector<FindHit> FindIndex::Search(const FindQuery& query) {
    changed_ = false;
    std::vector<FindHit> hits;
    if (query.Empty()) return hits;
    // The longest word is the rarest as a rule: it alone is scanned for, the others are checked
    // only in the records where it was found.
    const auto& words = query.Words();
    const std::wstring& scan =
        *std::max_element(words.begin(), words.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
    for (size_t s = 0; s < slots_.size(); ++s) {
        const Slot& slot = slots_[s];
        const wchar_t* text = slot.text.data();
        const size_t length = slot.text.size();
        size_t at = 0;
        while (at < length) {
            const wchar_t* found = FindWord(text + at, length - at, scan);
            if (!found) break;
            const size_t place = static_cast<size_t>(found - text);
            // The record holding the place, and where it ends.
            const size_t record =
                static_cast<size_t>(std::upper_bound(slot.starts.begin(), slot.starts.end(), place) - slot.starts.begin()) - 1;
            const size_t begin = slot.starts[record];
            const size_t end = record + 1 < slot.starts.size() ? slot.starts[record + 1] : length;
            if (words.size() == 1 || query.Matches(text + begin, end - begin))
                hits.push_back(FindHit{static_cast<uint32_t>(s), static_cast<uint32_t>(record)});
            at = end;
        }
    }
    return hits;
}

std::vector<FindHit> FindIndex::SearchWithin(const FindQuery& query, const std::vector<FindHit>& earlier) {
    changed_ = false;
    std::vector<FindHit> hits;
    if (query.Empty()) return hits;
    for (FindHit hit : earlier) {
        const Slot& slot = slots_[hit.slot];
        const size_t begin = slot.starts[hit.record];
        const size_t end = hit.record + 1 < slot.starts.size() ? slot.starts[hit.record + 1] : slot.text.size();
        if (query.Matches(slot.text.data() + begin, end - begin)) hits.push_back(hit);
    }
    return hits;
}

std::vector<std::wstring> FindIndex::RecordTexts() const {
    std::vector<std::wstring> texts;
    texts.reserve(entryCount_);
    for (const Slot& slot : slots_) {
        for (size_t r = 0; r < slot.starts.size(); ++r) {
            const size_t end = r + 1 < slot.starts.size() ? slot.starts[r + 1] : slot.text.size();
            texts.emplace_back(slot.text, slot.starts[r], end - slot.starts[r]);
        }
    }
    return texts;
}
