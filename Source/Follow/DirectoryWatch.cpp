// The directory watch's worker: each watched directory has an overlapped ReadDirectoryChangesW
// outstanding with an event of its own; one wait covers the stop event and all of them. A completed
// read is re-issued at once (what changed in between is merged by the system, and the records
// themselves are not needed) and reported unless its last report is still queued.
#include "Follow/DirectoryWatch.h"

namespace {

constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                  FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

}  // namespace

// One watched directory: its handle, the read outstanding on it and the buffer the system writes
// into until the read completes or is cancelled.
struct DirectoryWatch::Watch {
    kv::UniqueFile directory;
    kv::UniqueKernel event;
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
    ++runTag_;
    target_ = target;
    message_ = message;
    size_t attempts = 0;
    for (const std::wstring& directory : directories) {
        if (watches_.size() >= kMaxWatchedDirectories || ++attempts > kMaxWatchAttempts) break;
        auto watch = std::make_unique<Watch>();
        watch->directory.reset(CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        watch->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!watch->directory || !watch->event || !watch->Arm()) continue;
        watched_.push_back(directory);
        watches_.push_back(std::move(watch));
    }
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (watches_.empty() || !stopEvent_) {
        Stop();
        return false;
    }
    posted_ = std::make_unique<std::atomic<bool>[]>(watches_.size());
    for (size_t i = 0; i < watches_.size(); ++i) posted_[i] = false;
    worker_ = std::thread([this] { Run(); });
    return true;
}

void DirectoryWatch::Stop() {
    if (worker_.joinable()) {
        SetEvent(stopEvent_.get());
        worker_.join();
    }
    for (auto& watch : watches_) watch->Cancel();
    watches_.clear();
    watched_.clear();
    posted_.reset();
    stopEvent_.reset();
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
