// The background check of the missing-entries list: every path it is given is looked at on a
// worker thread, and the ones whose file is gone while its drive or share can be reached (missing,
// not offline) are posted to the UI thread in batches, the first after a few findings so that the
// list starts filling at once. The stop flag is read after every path.
//
// Messages to `target`: `message` with wParam = the run tag and lParam = an owned
// std::vector<uint32_t>* of positions in the list given to Start (taken with TakeBatch), and a last
// one with lParam = 0 when the check is complete.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
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
    // Sets the stop flag and returns once the worker has ended; queued batches become stale.
    void Stop();
    bool Running() const { return worker_.joinable() && !done_; }

    // The batch a message carries, now owned by the caller; null (and freed) when stale or when
    // it is the end of the check. `complete` says whether it was the end of the current run.
    std::unique_ptr<std::vector<uint32_t>> TakeBatch(WPARAM wp, LPARAM lp, bool* complete) const;

private:
    void Run(std::vector<std::wstring> paths, HWND target, UINT message, uint32_t tag);

    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    uint32_t runTag_ = 0;
};
