// The background check of the missing-entries list: every path it is given is looked at on a
// worker thread, and the ones whose file is gone while its drive or share can be reached (missing,
// not offline) are posted to the UI thread in batches, the first after a few findings so that the
// list starts filling at once. The stop flag is read after every path. Stop never waits for the
// worker (a path may sit on a share that does not answer): the worker keeps its own state, ends by
// itself and posts nothing once stopped.
//
// Messages to `target`: `message` with wParam = the run tag and lParam = an owned
// std::vector<uint32_t>* of positions in the list given to Start (taken with TakeBatch), and a last
// one with lParam = 0 when the check is complete.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class MissingCheck {
public:
    MissingCheck() = default;
    ~MissingCheck();
    MissingCheck(const MissingCheck&) = delete;
    MissingCheck& operator=(const MissingCheck&) = delete;

    // Stops an earlier check, then checks `paths` on a worker thread. False when the thread
    // cannot start.
    bool Start(std::vector<std::wstring> paths, HWND target, UINT message);
    // Tells the worker to stop and lets it go at once; queued batches become stale.
    void Stop();
    bool Running() const { return run_ && !run_->done; }

    // The batch a message carries, now owned by the caller; null (and freed) when stale or when
    // it is the end of the check. `complete` says whether it was the end of the current run.
    std::unique_ptr<std::vector<uint32_t>> TakeBatch(WPARAM wp, LPARAM lp, bool* complete) const;

private:
    // What one check's worker shares with the UI thread; the worker holds it until it ends.
    struct Run {
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
        std::mutex posting;  // held while a batch is posted, so that nothing is posted after Stop
    };
    static void Work(const std::shared_ptr<Run>& run, std::vector<std::wstring> paths, HWND target, UINT message,
                     uint32_t tag);

    std::shared_ptr<Run> run_;
    uint32_t runTag_ = 0;
};
