// Looks for files that were moved or renamed: a background search for files with the identity
// (FileIdentity.h: volume, id, size and date) of lost ones. Places are looked at in this order: each lost file's old directory,
// its parent and the parent's other subdirectories (the old directory's neighbours), the old
// directory's own subdirectories, then the places the caller gives (the directories the project's
// other entries use). A file is opened for its identity only when its size and date match the lost
// file's; a file of the same name but another identity is never taken.
//
// Bounded: at most kMaxSearchDirectories directories are listed and kMaxIdentityReads files opened
// per search, and the stop flag is read after every directory and every file opened. Stop never
// waits for the worker (a listing may sit on a share that does not answer): the worker keeps its
// own state, ends by itself and posts nothing once stopped. The result goes to the UI thread as one
// message: wParam = the search's run tag, lParam = an owned std::vector<FoundFile>* (taken with
// TakeResult, which frees it).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Follow/FileIdentity.h"

constexpr size_t kMaxSearchDirectories = 2000;
constexpr size_t kMaxIdentityReads = 500;

struct LostFile {
    std::wstring path;
    FileIdentity identity;
};

struct FoundFile {
    std::wstring oldPath;
    std::wstring newPath;
};

class MovedSearch {
public:
    MovedSearch() = default;
    ~MovedSearch();
    MovedSearch(const MovedSearch&) = delete;
    MovedSearch& operator=(const MovedSearch&) = delete;

    // Stops any earlier search, then searches for `lost` on a worker thread. False when there is
    // nothing to look for or the thread cannot start.
    bool Start(std::vector<LostFile> lost, std::vector<std::wstring> places, HWND target, UINT message);
    // Tells the worker to stop and lets it go at once; a stopped search posts nothing.
    void Stop();
    bool Running() const { return run_ && !run_->done; }
    uint32_t RunTag() const { return runTag_; }

    // The result a message carries, now owned by the caller; null (and freed) when stale.
    std::unique_ptr<std::vector<FoundFile>> TakeResult(WPARAM wp, LPARAM lp) const;

    // The search itself, on the calling thread (the worker runs it).
    static std::vector<FoundFile> Search(const std::vector<LostFile>& lost, const std::vector<std::wstring>& places,
                                         const std::atomic<bool>& stop);

private:
    // What one search's worker shares with the UI thread; the worker holds it until it ends.
    struct Run {
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
        std::mutex posting;  // held while the result is posted, so that nothing is posted after Stop
    };

    std::shared_ptr<Run> run_;
    uint32_t runTag_ = 0;
};
