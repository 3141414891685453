// The live view of the shown folder (FilerFollow.h).
#include "Filer/FilerFollow.h"

#include <algorithm>
#include <cwctype>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Filer/FilerDisplaySource.h"
#include "Filer/KvFiler.h"
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

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towupper(c));
    return text;
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
    if (container_) SetTimer(container_, kFollowTimer, kTickMilliseconds, nullptr);
    lastPeriodic_ = GetTickCount();
}

void FilerFollow::Stop() {
    watch_.Stop();
    if (container_) KillTimer(container_, kFollowTimer);
    container_ = nullptr;
    pending_.clear();
    roots_.Forget();
    gathered_ = false;
    reported_ = Sweep{};
    periodic_ = Sweep{};
    rowsChanged_ = false;
}

bool FilerFollow::OnDirectoryChanged(WPARAM wp, LPARAM lp) {
    if (const std::wstring* directory = watch_.TakeChange(wp, lp)) pending_.insert(Upper(*directory));
    return true;
}

bool FilerFollow::OnTimer(UINT_PTR timerId) {
    if (timerId != kFollowTimer) return false;
    const CFolder* folder = filer_.CurrentFolder();
    if (!folder) return true;
    if (!gathered_) Gather();

    const DWORD now = GetTickCount();
    if (!periodic_.active && now - lastPeriodic_ >= kPeriodicMilliseconds) {
        lastPeriodic_ = now;
        if (folder->Count() != gatheredCount_) Gather();
        roots_.Forget();
        Begin(periodic_, true);
    }
    if (!reported_.active && !pending_.empty()) Begin(reported_, false);

    Sweep& sweep = reported_.active ? reported_ : periodic_;
    if (sweep.active && !Continue(sweep, kSliceMilliseconds)) sweep.active = false;
    if (rowsChanged_ && !reported_.active && !periodic_.active) {
        rowsChanged_ = false;
        filer_.OnSelectionChanged();
    }
    return true;
}

void FilerFollow::Gather() {
    watch_.Stop();
    const CFolder* folder = filer_.CurrentFolder();
    gathered_ = true;
    gatheredCount_ = folder ? folder->Count() : 0;
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
        Holder& holder = holders[Upper(directory)];
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
        if (roots_.Offline(holder->directory)) continue;
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
    if (sweep.folder != folder || sweep.count != folder->Count() || sweep.generation != filer_.displayGeneration_) {
        sweep.folder = folder;
        sweep.count = folder->Count();
        sweep.generation = filer_.displayGeneration_;
        sweep.pos = folder->entries.begin();
        sweep.index = 0;
    }
    const DWORD start = GetTickCount();
    while (sweep.pos != folder->entries.end()) {
        CEntry& entry = *sweep.pos;
        if (!entry.IsSubfolderEntry() &&
            (sweep.everything || sweep.directories.count(Upper(DirectoryOf(entry.ResolvedPath()))) != 0) &&
            Recheck(entry, sweep.index))
            rowsChanged_ = true;
        ++sweep.pos;
        ++sweep.index;
        if (GetTickCount() - start >= milliseconds) return sweep.pos != folder->entries.end();
    }
    return false;
}

bool FilerFollow::Recheck(CEntry& entry, int index) {
    // Entries still waiting for their display data get fresh data from the display queue.
    if (entry.displayGeneration != filer_.displayGeneration_) return false;
    const std::wstring resolved = entry.ResolvedPath();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    bool differs = false;
    if (!GetFileAttributesExW(resolved.c_str(), GetFileExInfoStandard, &data)) {
        const bool offline = roots_.Offline(resolved);
        differs = !entry.missing || (entry.offline != 0) != offline;
    } else if (entry.missing) {
        differs = true;
    } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        differs = FilerSizeValue(size) != entry.sizeValue || FilerDateText(data.ftLastWriteTime) != entry.dateText;
    }
    if (!differs) return false;
    // The listing the entry's data may have come from predates the change.
    filer_.displaySource_->ForgetListings();
    filer_.MakeDisplayData(entry, index);
    filer_.UpdateItem(index);
    return true;
}
