// Watches a bounded set of directories (ReadDirectoryChangesW) for changes made by anyone (files created, deleted, renamed,
// written or resized) on one worker thread, and tells a window of the UI thread which directory
// changed. It only says "look again": what changed is for the receiver to find out.
//
// Messages: `message` is posted to the target window with wParam = the directory's index in
// Watched() and lParam = the run tag of the Start that made the watch; a message whose tag is not
// RunTag() belongs to an earlier run and is to be ignored. While a directory's message waits in the
// queue no second one is posted for it (TakeChange re-arms it), so a burst of changes costs one
// message.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Kv/KvHandles.h"

// At most this many directories are watched at once. Each watch holds an open handle on its
// directory and a change buffer in the system, and one thread waits on all of them together
// (WaitForMultipleObjects takes at most 64 handles, one of which is the stop event); the directories
// beyond the limit are left to the caller's periodic check.
constexpr size_t kMaxWatchedDirectories = 32;
// Directories that cannot be watched (gone, or on a drive that is away) are skipped, but no more
// than this many are tried in all, so a folder of entries in thousands of vanished directories
// does not make Start slow.
constexpr size_t kMaxWatchAttempts = 4 * kMaxWatchedDirectories;

class DirectoryWatch {
public:
    DirectoryWatch();
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Stops any earlier run, then watches the first kMaxWatchedDirectories of `directories` that
    // can be watched (a directory that does not exist or whose drive is away is skipped, within
    // kMaxWatchAttempts). False
    // when nothing could be watched. UI thread.
    bool Start(const std::vector<std::wstring>& directories, HWND target, UINT message);
    // Sets the stop event and returns once the worker has ended; the watches are closed.
    void Stop();

    // WM_DEVICECHANGE sent to the target window. Each watch registers its directory handle for the
    // device's events, so the system asks before it removes a volume a watch holds open
    // (DBT_DEVICEQUERYREMOVE, or DBT_DEVICEREMOVEPENDING for a removal that does not ask): every watch
    // on that volume is closed at once, so "safely remove" can go ahead, and the others go on. Their
    // registrations stay until the system says how the removal ended (DBT_DEVICEQUERYREMOVEFAILED or
    // DBT_DEVICEREMOVECOMPLETE); then they are dropped and the result is true: the caller starts the
    // watch anew with its directories, which opens the volume again after a failed removal. Until
    // then Start skips the volume.
    bool OnDeviceChange(WPARAM wp, LPARAM lp);

    bool Running() const { return worker_.joinable(); }
    // The directories being watched, as given to Start.
    const std::vector<std::wstring>& Watched() const { return watched_; }
    // The open handle of Watched()[index], as the system's device events name it.
    HANDLE DirectoryHandle(size_t index) const;
    uint32_t RunTag() const { return runTag_; }
    // For a posted message: the directory it names (and re-arms its message), or null when the
    // message is stale.
    const std::wstring* TakeChange(WPARAM wp, LPARAM lp);

private:
    struct Watch;
    // A watch closed for its volume's removal, waiting to hear how the removal ended.
    struct Released {
        std::wstring volume;  // upper-cased, with its trailing backslash
        HANDLE closed = nullptr;  // the directory handle it had: the system's events name it
        kv::UniqueDeviceNotify notify;
    };
    void StartWorker();
    void StopWorker();
    void Run();
    // Closes every watch on the volume of the watch the event names.
    void ReleaseVolume(const DEV_BROADCAST_HANDLE& event);
    // True when the event ends a removal of a volume whose watches were released.
    bool RemovalEnded(const DEV_BROADCAST_HANDLE& event);
    bool OnReleasedVolume(const std::wstring& directory) const;

    std::vector<std::wstring> watched_;
    std::vector<std::unique_ptr<Watch>> watches_;  // watches_[i] watches watched_[i]
    std::vector<Released> released_;  // kept across Start and Stop
    std::unique_ptr<std::atomic<bool>[]> posted_;
    kv::UniqueKernel stopEvent_;
    std::thread worker_;
    HWND target_ = nullptr;
    UINT message_ = 0;
    uint32_t runTag_ = 0;
};
