// The automatic search: walks a folder's search settings on a worker thread each time the filer
// shows a folder whose settings carry autoUpdate. Each match is queued at once under a lock and the
// filer is woken when the queue was empty (one wake-up at a time) and at the end; the filer takes
// the queue on the UI thread (FilerAutoSearch), so a lone match shows at once however long the rest
// of the walk takes, and a wake-up lost to a full message queue is made up by the filer's timer.
//
// Stopping never waits for the worker, which may sit in a call on a share that does not answer:
// each walk has a state of its own, shared with its worker, which is told to stop and ends by itself
// later; whatever it finds after that stays in its own state and is dropped with it. One object for
// the program, registered with CKvFiler::SetAutoSearch.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Filer/KvFiler.h"
#include "Search/SearchWalk.h"

class AutoSearch final : public FilerAutoSearch {
public:
    AutoSearch() = default;
    ~AutoSearch() override { Stop(); }
    AutoSearch(const AutoSearch&) = delete;
    AutoSearch& operator=(const AutoSearch&) = delete;

    // UI thread. The walk list is copied from the folder's settings here, so the worker never
    // reads the model.
    void Start(CFolder& folder, std::function<void()> wake) override;
    std::vector<std::wstring> Stop() override;
    bool Running() const override;
    std::vector<std::wstring> TakeFound() override;

    // Test seam: called on the worker after each match has been queued (taken by the walks started
    // from then on).
    void SetMatchHook(std::function<void()> hook) { matchHook_ = std::move(hook); }

private:
    // One walk, shared by its worker and (until it is stopped) the search.
    struct Walk {
        std::atomic<bool> stop{false};
        std::atomic<bool> running{true};
        std::mutex mutex;
        std::vector<std::wstring> found;  // matches not yet taken by the filer; under mutex
        bool woken = false;               // the filer was woken since it last took; under mutex
    };
    static void Run(const std::shared_ptr<Walk>& walk, const std::vector<SearchWalkItem>& list,
                    const std::function<void()>& wake, const std::function<void()>& hook);

    std::shared_ptr<Walk> walk_;  // the walk of the folder shown; null when none
    std::function<void()> matchHook_;
};

// The program's automatic search.
AutoSearch& ProgramAutoSearch();
