// The live view of the shown folder (FilerFollow.h).
#include "Filer/FilerFollow.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Filer/FilerCaches.h"
#include "Filer/FilerDisplaySource.h"
#include "Filer/KvFiler.h"
#include "Follow/IdentityStore.h"
#include "Kv/KvFiles.h"
#include "Kv/KvSlowPaths.h"
#include "Kv/KvWindow.h"

namespace {

constexpr UINT_PTR kFollowTimer = 0x7D02;
// The tick of reported changes: a change shows within this plus one sweep.
constexpr UINT kTickMilliseconds = 200;
// How often every entry is looked at: the directories without a watch, drives that were away, and
// file systems that do not report changes (network shares, some emulated ones) are covered by it.
constexpr DWORD kPeriodicMilliseconds = 1000;
// Longest stretch of one slice of a sweep, as for the display queue.
constexpr DWORD kSliceMilliseconds = 30;

// The relink question lists at most this many files; the rest are counted.
constexpr size_t kListedInQuestion = 12;

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The directory holding `path`; a drive's root keeps its backslash. Empty when there is none.
std::wstring DirectoryOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) return {};
    std::wstring directory = path.substr(0, separator);
    if (directory.back() == L':') directory += L'\\';
    return directory;
}

}  // namespace

bool RefusedAsOffline(HWND owner, const CEntry& entry) {
    if (!entry.offline) return false;
    const std::wstring text = GtFormat(kGtOfflineRefused, {entry.ResolvedPath()});
    KvMessageBox(owner, GlobalText::Get(kGtOfflineType), text.c_str(), KvMbOk);
    return true;
}

void FilerFollow::FolderShown(HWND container) {
    Stop();
    container_ = container;
    if (container_ && !resting_) SetTimer(container_, kFollowTimer, kTickMilliseconds, nullptr);
    lastPeriodic_ = GetTickCount();
}

void FilerFollow::SetResting(bool resting) {
    if (resting == resting_) return;
    resting_ = resting;
    if (!container_) return;
    if (resting_) {
        KillTimer(container_, kFollowTimer);
        return;
    }
    lastPeriodic_ = GetTickCount() - kPeriodicMilliseconds;
    SetTimer(container_, kFollowTimer, kTickMilliseconds, nullptr);
}

void FilerFollow::DevicesChanged() {
    roots_.Forget();
    lastPeriodic_ = GetTickCount() - kPeriodicMilliseconds;
}

LRESULT FilerFollow::OnDeviceChange(WPARAM wp, LPARAM lp) {
    if (watch_.OnDeviceChange(wp, lp)) {
        // The removal ended: a volume that stayed is watched again, one that went is offline.
        roots_.Forget();
        gathered_ = false;
    }
    return TRUE;
}

void FilerFollow::Stop() {
    watch_.Stop();
    StopSearch();
    searched_.clear();
    waiting_.reset();
    if (container_) KillTimer(container_, kFollowTimer);
    container_ = nullptr;
    pending_.clear();
    roots_.Forget();
    gathered_ = false;
    reported_ = Sweep{};
    periodic_ = Sweep{};
    rowsChanged_ = false;
}

void FilerFollow::OnDirectoryChanged(WPARAM wp, LPARAM lp) {
    const std::wstring* directory = watch_.TakeChange(wp, lp);
    if (!directory) return;
    pending_.insert(KvUpperPath(*directory));
    roots_.Forget();
}

bool FilerFollow::OnTimer(UINT_PTR timerId) {
    if (timerId != kFollowTimer) return false;
    const CFolder* folder = filer_.CurrentFolder();
    if (!folder) return true;
    if (!gathered_) Gather();

    const DWORD now = GetTickCount();
    if (!periodic_.active && now - lastPeriodic_ >= kPeriodicMilliseconds) {
        lastPeriodic_ = now;
        if (folder->generation != gatheredEntries_) Gather();
        roots_.NoteDrives();
        Begin(periodic_, true);
        periodic_.slowToo = now - lastSlow_ >= kShareRecheckMilliseconds;
        if (periodic_.slowToo) lastSlow_ = now;
    }
    if (!reported_.active && !pending_.empty()) Begin(reported_, false);

    Sweep& sweep = reported_.active ? reported_ : periodic_;
    if (sweep.active && !Continue(sweep, kSliceMilliseconds)) {
        sweep.active = false;
        if (&sweep == &periodic_) SearchForLost();
    }
    if (rowsChanged_ && !reported_.active && !periodic_.active) {
        rowsChanged_ = false;
        filer_.OnSelectionChanged();
    }
    if (waiting_ && !asking_ && MayAsk()) AskWaiting();
    return true;
}

void FilerFollow::Gather() {
    watch_.Stop();
    const CFolder* folder = filer_.CurrentFolder();
    gathered_ = true;
    gatheredEntries_ = folder ? folder->generation : 0;
    if (!folder || !container_) return;

    struct Holder {
        std::wstring directory;
        size_t entries = 0;
    };
    std::unordered_map<std::wstring, Holder> holders;
    for (const CEntry& entry : folder->entries) {
        if (entry.IsSubfolderEntry()) continue;
        const std::wstring directory = DirectoryOf(entry.ResolvedPath());
        if (directory.empty()) continue;
        Holder& holder = holders[KvUpperPath(directory)];
        if (holder.directory.empty()) holder.directory = directory;
        ++holder.entries;
    }
    std::vector<const Holder*> order;
    order.reserve(holders.size());
    for (const auto& item : holders) order.push_back(&item.second);
    std::stable_sort(order.begin(), order.end(),
                     [](const Holder* a, const Holder* b) { return a->entries > b->entries; });
    std::vector<std::wstring> directories;
    for (const Holder* holder : order) {
        // Opening a directory on a share can wait as long as the share does: those are left to
        // the periodic check, which asks the display worker.
        if (KvMayBlock(holder->directory) || roots_.Offline(holder->directory)) continue;
        directories.push_back(holder->directory);
    }
    watch_.Start(directories, container_, kMsgDirectoryChanged);
}

void FilerFollow::Begin(Sweep& sweep, bool everything) {
    sweep = Sweep{};
    sweep.active = true;
    sweep.everything = everything;
    if (everything) return;
    sweep.directories = std::move(pending_);
    pending_.clear();
}

bool FilerFollow::Continue(Sweep& sweep, DWORD milliseconds) {
    CFolder* folder = filer_.CurrentFolder();
    if (!folder) return false;
    if (sweep.folder != folder || sweep.entries != folder->generation || sweep.generation != filer_.displayGeneration_) {
        sweep.folder = folder;
        sweep.entries = folder->generation;
        sweep.generation = filer_.displayGeneration_;
        sweep.pos = folder->entries.begin();
        sweep.index = 0;
    }
    const DWORD start = GetTickCount();
    while (sweep.pos != folder->entries.end()) {
        CEntry& entry = *sweep.pos;
        if (!entry.IsSubfolderEntry() &&
            (sweep.everything || sweep.directories.count(KvUpperPath(DirectoryOf(entry.ResolvedPath()))) != 0) &&
            Recheck(entry, sweep.index, sweep.slowToo))
            rowsChanged_ = true;
        ++sweep.pos;
        ++sweep.index;
        if (GetTickCount() - start >= milliseconds) return sweep.pos != folder->entries.end();
    }
    return false;
}

bool FilerFollow::Recheck(CEntry& entry, int index, bool slowToo) {
    // Entries still waiting for their display data get fresh data from the display queue.
    if (entry.Display().generation != filer_.displayGeneration_ || entry.Display().awaiting) return false;
    const std::wstring resolved = entry.ResolvedPath();
    // A path that may keep a call waiting is looked at by the display worker, at the pace of the
    // share back-off; its answer redraws the row.
    if (KvMayBlock(resolved)) {
        if (slowToo) filer_.AskDisplayAgain(entry, index);
        return false;
    }
    // While its drive or share stays away an offline entry costs no look of its own.
    if (entry.offline && roots_.Offline(resolved)) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    bool differs = false;
    if (!FilerDisplaySource::ReadFacts(resolved, data)) {
        const bool offline = roots_.Offline(resolved);
        differs = !entry.missing || (entry.offline != 0) != offline;
    } else if (entry.missing) {
        differs = true;
    } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        differs = FilerSizeValue(size) != entry.Display().sizeValue ||
                  FilerDateText(data.ftLastWriteTime) != entry.Display().dateText;
    }
    if (!differs) return false;
    // The listing the entry's data may have come from predates the change.
    filer_.displaySource_->ForgetListings();
    filer_.MakeDisplayData(entry, index);
    filer_.UpdateItem(index);
    return true;
}

void FilerFollow::SearchForLost() {
    const CFolder* folder = filer_.CurrentFolder();
    if (!folder || !container_ || asking_ || waiting_ || search_.Running()) return;
    const IdentityStore& identities = ProjectIdentities();
    if (identities.Count() == 0) return;
    std::vector<LostFile> lost;
    for (const CEntry& entry : folder->entries) {
        if (entry.IsSubfolderEntry() || !entry.missing || entry.offline || entry.relinkDeclined ||
            entry.Display().generation != filer_.displayGeneration_)
            continue;
        const std::wstring path = entry.ResolvedPath();
        const FileIdentity* identity = identities.Find(path);
        if (!identity || !searched_.insert(KvUpperPath(path)).second) continue;
        lost.push_back(LostFile{path, *identity});
    }
    if (!lost.empty()) StartSearch(std::move(lost), false);
}

void FilerFollow::FindMoved(const CEntry& entry) {
    if (entry.IsSubfolderEntry() || !entry.missing || entry.offline || asking_) return;
    const std::wstring path = entry.ResolvedPath();
    const FileIdentity* identity = ProjectIdentities().Find(path);
    if (!identity || !container_) {
        KvMessageBox(filer_.ListView(), GlobalText::Get(kGtRelinkTitle), GlobalText::Get(kGtFindMovedNone), KvMbOk);
        return;
    }
    searched_.insert(KvUpperPath(path));
    StartSearch({LostFile{path, *identity}}, true);
}

void FilerFollow::FindMovedFiles(const std::vector<std::wstring>& paths, std::function<void(bool, size_t)> done) {
    if (asking_) {
        done(false, 0);
        return;
    }
    const IdentityStore& identities = ProjectIdentities();
    std::vector<LostFile> lost;
    for (const std::wstring& path : paths) {
        if (const FileIdentity* identity = identities.Find(path)) {
            searched_.insert(KvUpperPath(path));
            lost.push_back(LostFile{path, *identity});
        }
    }
    if (lost.empty() || !container_) {
        done(true, 0);
        return;
    }
    StartSearch(std::move(lost), true);
    done_ = std::move(done);
}

void FilerFollow::StartSearch(std::vector<LostFile> lost, bool onDemand) {
    // The directories the project's entries use, most used first, are the places after the
    // lost files' own neighbourhoods.
    std::unordered_map<std::wstring, std::pair<std::wstring, size_t>> used;
    ForEachFileEntry(RootFolder(), [&](CFolder&, const CEntry& entry, int) {
        const std::wstring directory = DirectoryOf(entry.ResolvedPath());
        if (directory.empty()) return;
        auto& place = used[KvUpperPath(directory)];
        if (place.first.empty()) place.first = directory;
        ++place.second;
    });
    std::vector<std::pair<std::wstring, size_t>> order;
    order.reserve(used.size());
    for (auto& item : used) order.push_back(std::move(item.second));
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::wstring> places;
    for (auto& place : order) {
        if (places.size() >= kMaxSearchDirectories) break;
        // The project's other places are only looked at where answers come quickly: a share there
        // could hold the search for minutes before it reaches the rest.
        if (!KvMayBlock(place.first) && !roots_.Offline(place.first)) places.push_back(std::move(place.first));
    }
    StopSearch();
    onDemand_ = onDemand;
    search_.Start(std::move(lost), std::move(places), container_, kMsgMovedFound);
}

void FilerFollow::StopSearch() {
    search_.Stop();
    onDemand_ = false;
    if (done_) {
        std::function<void(bool, size_t)> done = std::move(done_);
        done_ = nullptr;
        done(false, 0);
    }
    if (!container_) return;
    // Results already queued belong to a search that is over; each owns its list.
    MSG message;
    while (PeekMessageW(&message, container_, kMsgMovedFound, kMsgMovedFound, PM_REMOVE))
        delete reinterpret_cast<std::vector<FoundFile>*>(message.lParam);
}

void FilerFollow::OnMovedFound(WPARAM wp, LPARAM lp) {
    std::unique_ptr<std::vector<FoundFile>> found = search_.TakeResult(wp, lp);
    if (!found) return;
    const bool onDemand = onDemand_;
    onDemand_ = false;
    std::function<void(bool, size_t)> done = std::move(done_);
    done_ = nullptr;
    if (found->empty()) {
        if (done)
            done(true, 0);
        else if (onDemand)
            KvMessageBox(filer_.ListView(), GlobalText::Get(kGtRelinkTitle), GlobalText::Get(kGtFindMovedNone), KvMbOk);
        return;
    }
    // A search the user asked for is answered at once; one of the live view's own waits until the
    // user is looking at the window (not in the tray, not behind another program or a box).
    const size_t count = found->size();
    waiting_ = std::move(found);
    if (onDemand || MayAsk()) AskWaiting();
    if (done) done(true, count);
}

bool FilerFollow::MayAsk() const {
    HWND list = filer_.ListView();
    HWND window = list ? GetAncestor(list, GA_ROOT) : nullptr;
    return window && IsWindowVisible(window) && !IsIconic(window) && IsWindowEnabled(window) &&
           GetForegroundWindow() == window;
}

void FilerFollow::AskWaiting() {
    std::unique_ptr<std::vector<FoundFile>> found = std::move(waiting_);
    if (!found) return;
    std::wstring text = GlobalText::Get(kGtRelinkQuestion);
    text += L"\n";
    for (size_t i = 0; i < found->size() && i < kListedInQuestion; ++i)
        text += L"\n" + (*found)[i].oldPath + L"\n  \u2192 " + (*found)[i].newPath;
    if (found->size() > kListedInQuestion) text += L"\n(+" + std::to_wstring(found->size() - kListedInQuestion) + L")";
    asking_ = true;
    const int answer = KvMessageBox(filer_.ListView(), GlobalText::Get(kGtRelinkTitle), text.c_str(), KvMbYesNo);
    asking_ = false;
    if (answer == IDYES) {
        Relink(*found);
        return;
    }
    // No is remembered on every entry that uses an old path, so nothing asks about them again.
    ForEachFileEntry(RootFolder(), [&](CFolder&, CEntry& entry, int) {
        const std::wstring resolved = entry.ResolvedPath();
        for (const FoundFile& file : *found)
            if (SamePath(resolved, file.oldPath)) entry.relinkDeclined = 1;
    });
}

void FilerFollow::Relink(const std::vector<FoundFile>& found) {
    IdentityStore& identities = ProjectIdentities();
    for (const FoundFile& file : found) {
        if (const FileIdentity* identity = identities.Find(file.oldPath)) {
            const FileIdentity kept = *identity;
            identities.Forget(file.oldPath);
            identities.Remember(file.newPath, kept);
        }
    }
    // An entry whose folder already lists the new path is removed rather than made a second entry
    // of the same file; the others are pointed at the new path.
    std::vector<std::pair<CFolder*, const CEntry*>> duplicates;
    bool shownChanged = false;
    // The upper-cased resolved paths of a folder, made once per folder that needs them.
    std::unordered_map<const CFolder*, std::unordered_set<std::wstring>> listedPaths;
    auto lists = [&](const CFolder& folder, const std::wstring& path) {
        auto made = listedPaths.try_emplace(&folder);
        if (made.second)
            for (const CEntry& other : folder.entries)
                if (!other.IsSubfolderEntry()) made.first->second.insert(KvUpperPath(other.ResolvedPath()));
        return made.first->second.count(KvUpperPath(path)) != 0;
    };
    ForEachFileEntry(RootFolder(), [&](CFolder& folder, CEntry& entry, int at) {
        const std::wstring resolved = entry.ResolvedPath();
        for (const FoundFile& file : found) {
            if (!SamePath(resolved, file.oldPath)) continue;
            const bool shown = &folder == filer_.CurrentFolder();
            if (lists(folder, file.newPath)) {
                duplicates.emplace_back(&folder, &entry);
                shownChanged = shownChanged || shown;
                return;
            }
            const bool relative = entry.relative != 0;
            // The duplicate check of bulk adds indexes resolved paths.
            if (shown) filer_.caches_->ResetPaths();
            entry.path = file.newPath;
            folder.NoteChanged();
            entry.relative = 0;
            entry.relinkDeclined = 0;
            listedPaths[&folder].insert(KvUpperPath(file.newPath));  // a second entry of the old path goes
            if (relative) entry.MakeRelative();
            if (shown) {
                filer_.displaySource_->ForgetListings();
                filer_.MakeDisplayData(entry, at);
                filer_.UpdateItem(at);
            }
            return;
        }
    });
    for (const auto& duplicate : duplicates) {
        CFolder& folder = *duplicate.first;
        size_t index = 0;
        for (auto it = folder.entries.begin(); it != folder.entries.end() && &*it != duplicate.second; ++it) ++index;
        folder.RemoveAt(index);
    }
    if (shownChanged) {
        filer_.ShowFolder(filer_.CurrentFolder(), false);
        return;
    }
    filer_.OnSelectionChanged();
}

void CKvFiler::FindMovedEntry(const CEntry& entry) {
    follow_->FindMoved(entry);
}

void CKvFiler::FindMovedFiles(const std::vector<std::wstring>& paths, std::function<void(bool, size_t)> done) {
    follow_->FindMovedFiles(paths, std::move(done));
}

bool CKvFiler::SearchingMovedFiles() const {
    return follow_->Searching();
}

void CKvFiler::WindowResting(bool resting) {
    follow_->SetResting(resting);
}

void CKvFiler::DevicesChanged() {
    follow_->DevicesChanged();
}

const DirectoryWatch& CKvFiler::LiveWatch() const {
    return follow_->Watch();
}
