#include "Search/AutoSearch.h"

#include <system_error>
#include <utility>

void AutoSearch::Start(CFolder& folder, std::function<void()> wake) {
    if (Running()) return;
    if (worker_.joinable()) worker_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        found_.clear();
        woken_ = false;
    }
    stop_ = false;
    running_ = true;
    try {
        worker_ = std::thread(&AutoSearch::Run, this, BuildWalkList(folder.search), std::move(wake));
    } catch (const std::system_error&) {
        running_ = false;
    }
}

void AutoSearch::StopAndWait() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    running_ = false;
}

std::vector<std::wstring> AutoSearch::TakeFound() {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = false;
    return std::exchange(found_, {});
}

void AutoSearch::Run(std::vector<SearchWalkItem> list, std::function<void()> wake) {
    RunWalkList(list, stop_, [&](const std::wstring& path, bool) {
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            found_.push_back(path);
            first = !std::exchange(woken_, true);
        }
        if (first && wake) wake();
        if (matchHook_) matchHook_();
    });
    running_ = false;
    if (wake) wake();
}

AutoSearch& ProgramAutoSearch() {
    static AutoSearch search;
    return search;
}
