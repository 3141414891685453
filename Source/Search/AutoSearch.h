// The automatic search: walks a folder's search settings on a worker thread each time the filer
// shows a folder whose settings carry autoUpdate. Each match is queued at once under a lock and the
// filer is woken when the queue was empty (one wake-up at a time) and at the end; the filer takes
// the queue on the UI thread (FilerAutoSearch), so a lone match shows at once however long the rest
// of the walk takes, and a wake-up lost to a full message queue is made up by the filer's timer. One object for the program, registered with CKvFiler::SetAutoSearch.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Filer/KvFiler.h"
#include "Search/SearchWalk.h"

class AutoSearch final : public FilerAutoSearch {
public:
    AutoSearch() = default;
    ~AutoSearch() override { StopAndWait(); }
    AutoSearch(const AutoSearch&) = delete;
    AutoSearch& operator=(const AutoSearch&) = delete;

    // UI thread. The walk list is copied from the folder's settings here, so the worker never
    // reads the model.
    void Start(CFolder& folder, std::function<void()> wake) override;
    void StopAndWait() override;
    bool Running() const override { return running_.load(); }
    std::vector<std::wstring> TakeFound() override;

    // Test seam: called on the worker after each match has been queued.
    void SetMatchHook(std::function<void()> hook) { matchHook_ = std::move(hook); }

private:
    void Run(std::vector<SearchWalkItem> list, std::function<void()> wake);

    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread worker_;
    std::mutex mutex_;
    std::vector<std::wstring> found_;  // matches not yet taken by the filer; under mutex_
    bool woken_ = false;               // the filer was woken since it last took; under mutex_
    std::function<void()> matchHook_;
};

// The program's automatic search.
AutoSearch& ProgramAutoSearch();
