// The directory watch's worker: each watched directory has an overlapped ReadDirectoryChangesW
// outstanding with an event of its own; one wait covers the stop event and all of them. A completed
// read is re-issued at once (what changed in between is merged by the system, and the records
// themselves are not needed) and reported unless its last report is still queued.
#include "Follow/DirectoryWatch.h"

#include <algorithm>

#include "Kv/KvFiles.h"
#include "Kv/KvSlowPaths.h"

namespace {

constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                  FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

// The volume holding `directory` (its root, or the folder it is mounted on), upper-cased with a
// trailing backslash; empty when the system cannot say.
std::wstring VolumeOf(const std::wstring& directory) {
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(directory.c_str(), volume, MAX_PATH)) return {};
    std::wstring result = KvUpperPath(volume);
    if (result.empty() || result.back() != L'\\') result += L'\\';
    return result;
}

bool OnVolume(const std::wstring& directory, const std::wstring& volume) {
    return (KvUpperPath(directory) + L'\\').compare(0, volume.size(), volume) == 0;
}

}  // namespace

// One watched directory: its handle, the read outstanding on it and the buffer the system writes
// into until the read completes or is cancelled.
struct DirectoryWatch::Watch {
    kv::UniqueFile directory;
    kv::UniqueKernel event;
    kv::UniqueDeviceNotify notify;
    OVERLAPPED overlapped{};
    alignas(DWORD) unsigned char buffer[4096];
    bool pending = false;

    bool Arm() {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.get();
        pending = ReadDirectoryChangesW(directory.get(), buffer, sizeof(buffer), FALSE, kWatchedChanges, nullptr,
                                        &overlapped, nullptr) != 0;
        return pending;
    }
    // The read is cancelled and its completion awaited, so the system no longer writes to buffer.
    void Cancel() {
        if (!pending) return;
        CancelIoEx(directory.get(), &overlapped);
        DWORD bytes = 0;
        GetOverlappedResult(directory.get(), &overlapped, &bytes, TRUE);
        pending = false;
    }
};

DirectoryWatch::DirectoryWatch() = default;

DirectoryWatch::~DirectoryWatch() {
    Stop();
}

bool DirectoryWatch::Start(const std::vector<std::wstring>& directories, HWND target, UINT message) {
    Stop();
    target_ = target;
    message_ = message;
    size_t attempts = 0;
    for (const std::wstring& directory : directories) {
        if (watches_.size() >= kMaxWatchedDirectories || ++attempts > kMaxWatchAttempts) break;
        if (OnReleasedVolume(directory)) continue;
        auto watch = std::make_unique<Watch>();
        KvPathCallGate(directory);
        watch->directory.reset(CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        watch->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!watch->directory || !watch->event || !watch->Arm()) continue;
        // Without the registration (a system that has none) the watch works, only a removal of its
        // volume is refused while it is open.
        DEV_BROADCAST_HANDLE filter{};
        filter.dbch_size = sizeof(filter);
        filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
        filter.dbch_handle = watch->directory.get();
        watch->notify.reset(RegisterDeviceNotificationW(target, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
        watched_.push_back(directory);
        watches_.push_back(std::move(watch));
    }
    if (watches_.empty()) return false;
    StartWorker();
    if (Running()) return true;
    Stop();
    return false;
}

void DirectoryWatch::Stop() {
    StopWorker();
    for (auto& watch : watches_) watch->Cancel();
    watches_.clear();
    watched_.clear();
}

void DirectoryWatch::StartWorker() {
    ++runTag_;
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_ || watches_.empty()) return;
    posted_ = std::make_unique<std::atomic<bool>[]>(watches_.size());
    for (size_t i = 0; i < watches_.size(); ++i) posted_[i] = false;
    worker_ = std::thread([this] { Run(); });
}

void DirectoryWatch::StopWorker() {
    if (worker_.joinable()) {
        SetEvent(stopEvent_.get());
        worker_.join();
    }
    posted_.reset();
    stopEvent_.reset();
}

HANDLE DirectoryWatch::DirectoryHandle(size_t index) const {
    return index < watches_.size() ? watches_[index]->directory.get() : INVALID_HANDLE_VALUE;
}

bool DirectoryWatch::OnDeviceChange(WPARAM wp, LPARAM lp) {
    const auto* event = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(lp);
    if (!event || event->dbch_devicetype != DBT_DEVTYP_HANDLE) return false;
    switch (wp) {
    case DBT_DEVICEQUERYREMOVE:
    case DBT_DEVICEREMOVEPENDING:
        ReleaseVolume(*event);
        return false;
    case DBT_DEVICEQUERYREMOVEFAILED:
    case DBT_DEVICEREMOVECOMPLETE:
        return RemovalEnded(*event);
    default:
        return false;
    }
}

void DirectoryWatch::ReleaseVolume(const DEV_BROADCAST_HANDLE& event) {
    size_t named = 0;
    while (named < watches_.size() && !((watches_[named]->notify && watches_[named]->notify.get() == event.dbch_hdevnotify) ||
                                        watches_[named]->directory.get() == event.dbch_handle))
        ++named;
    if (named == watches_.size()) return;
    const std::wstring volume = VolumeOf(watched_[named]);
    // The worker waits on the watches' events: it is stopped while the list changes, and the
    // changes it had reported and not yet delivered are dropped with its run tag.
    StopWorker();
    for (size_t i = watches_.size(); i-- > 0;) {
        if (i != named && (volume.empty() || !OnVolume(watched_[i], volume))) continue;
        Watch& watch = *watches_[i];
        watch.Cancel();
        Released released;
        released.volume = volume.empty() ? VolumeOf(watched_[i]) : volume;
        released.closed = watch.directory.get();
        released.notify = std::move(watch.notify);
        watch.directory.reset();
        released_.push_back(std::move(released));
        watches_.erase(watches_.begin() + static_cast<std::ptrdiff_t>(i));
        watched_.erase(watched_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    StartWorker();
}

bool DirectoryWatch::RemovalEnded(const DEV_BROADCAST_HANDLE& event) {
    auto named = std::find_if(released_.begin(), released_.end(), [&](const Released& released) {
        return (released.notify && released.notify.get() == event.dbch_hdevnotify) || released.closed == event.dbch_handle;
    });
    if (named == released_.end()) return false;
    const std::wstring volume = named->volume;
    released_.erase(std::remove_if(released_.begin(), released_.end(),
                                   [&](const Released& released) { return released.volume == volume; }),
                    released_.end());
    return true;
}

bool DirectoryWatch::OnReleasedVolume(const std::wstring& directory) const {
    for (const Released& released : released_)
        if (!released.volume.empty() && OnVolume(directory, released.volume)) return true;
    return false;
}

const std::wstring* DirectoryWatch::TakeChange(WPARAM wp, LPARAM lp) {
    if (static_cast<uint32_t>(lp) != runTag_ || wp >= watched_.size() || !posted_) return nullptr;
    posted_[wp] = false;
    return &watched_[wp];
}

void DirectoryWatch::Run() {
    // waits[0] is the stop event; waits[k] is the event of watch slots[k - 1].
    std::vector<HANDLE> waits{stopEvent_.get()};
    std::vector<size_t> slots;
    for (size_t i = 0; i < watches_.size(); ++i) {
        // A watch whose directory went away in an earlier run stays out.
        if (!watches_[i]->pending) continue;
        waits.push_back(watches_[i]->event.get());
        slots.push_back(i);
    }
    while (!slots.empty()) {
        const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
        if (result <= WAIT_OBJECT_0 || result >= WAIT_OBJECT_0 + waits.size()) return;
        const size_t position = result - WAIT_OBJECT_0;
        const size_t index = slots[position - 1];
        Watch& watch = *watches_[index];
        DWORD bytes = 0;
        watch.pending = false;
        const bool read = GetOverlappedResult(watch.directory.get(), &watch.overlapped, &bytes, FALSE) != 0 ||
                          GetLastError() == ERROR_NOTIFY_ENUM_DIR;
        if (!read || !watch.Arm()) {
            // The directory went away (or its drive did): it leaves the wait, and the caller's
            // periodic check covers it from now on.
            waits.erase(waits.begin() + static_cast<std::ptrdiff_t>(position));
            slots.erase(slots.begin() + static_cast<std::ptrdiff_t>(position) - 1);
        }
        if (!posted_[index].exchange(true) &&
            !PostMessageW(target_, message_, static_cast<WPARAM>(index), static_cast<LPARAM>(runTag_)))
            posted_[index] = false;
    }
    WaitForSingleObject(stopEvent_.get(), INFINITE);
}
