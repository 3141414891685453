// The automatic search: walks a folder's search settings on a worker thread each time the filer
// shows a folder whose settings carry autoUpdate, and hands what it finds to the filer in batches
// of owned copies. One object for the program, registered with CKvFiler::SetAutoSearch.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Filer/KvFiler.h"
#include "Search/SearchWalk.h"

class AutoSearch final : public FilerAutoSearch {
public:
    explicit AutoSearch(CKvFiler& filer) : filer_(filer) {}
    ~AutoSearch() override { StopAndWait(); }
    AutoSearch(const AutoSearch&) = delete;
    AutoSearch& operator=(const AutoSearch&) = delete;

    // UI thread. The walk list is copied from the folder's settings here, so the worker never
    // reads the model.
    void Start(CFolder& folder) override;
    void StopAndWait() override;
    bool Running() const override { return running_.load(); }

private:
    void Run(std::vector<SearchWalkItem> list);

    CKvFiler& filer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread worker_;
};

// The program's automatic search, working for Filer().
AutoSearch& ProgramAutoSearch();
