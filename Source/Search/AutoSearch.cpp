#include "Search/AutoSearch.h"

#include <system_error>
#include <utility>

void AutoSearch::Start(CFolder& folder) {
    if (Running()) return;
    if (worker_.joinable()) worker_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        found_.clear();
    }
    stop_ = false;
    running_ = true;
    try {
        worker_ = std::thread(&AutoSearch::Run, this, BuildWalkList(folder.search));
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
    return std::exchange(found_, {});
}

void AutoSearch::Run(std::vector<SearchWalkItem> list) {
    RunWalkList(list, stop_, [&](const std::wstring& path, bool) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            found_.push_back(path);
        }
        if (matchHook_) matchHook_();
    });
    running_ = false;
}

AutoSearch& ProgramAutoSearch() {
    static AutoSearch search;
    return search;
}
