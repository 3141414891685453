#include "Search/AutoSearch.h"

#include <system_error>
#include <thread>
#include <utility>

void AutoSearch::Start(CFolder& folder, std::function<void()> wake) {
    if (Running()) return;
    auto walk = std::make_shared<Walk>();
    try {
        std::thread([walk, list = BuildWalkList(folder.search), wake = std::move(wake), hook = matchHook_] {
            Run(walk, list, wake, hook);
        }).detach();
    } catch (const std::system_error&) {
        return;
    }
    walk_ = std::move(walk);
}

std::vector<std::wstring> AutoSearch::Stop() {
    if (!walk_) return {};
    walk_->stop = true;
    std::vector<std::wstring> found = TakeFound();
    walk_.reset();
    return found;
}

bool AutoSearch::Running() const {
    return walk_ && walk_->running.load();
}

std::vector<std::wstring> AutoSearch::TakeFound() {
    if (!walk_) return {};
    std::lock_guard<std::mutex> lock(walk_->mutex);
    walk_->woken = false;
    return std::exchange(walk_->found, {});
}

void AutoSearch::Run(const std::shared_ptr<Walk>& walk, const std::vector<SearchWalkItem>& list,
                     const std::function<void()>& wake, const std::function<void()>& hook) {
    RunWalkList(list, walk->stop, [&](const std::wstring& path, bool) {
        if (walk->stop) return;
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(walk->mutex);
            walk->found.push_back(path);
            first = !std::exchange(walk->woken, true);
        }
        if (first && wake) wake();
        if (hook) hook();
    });
    walk->running = false;
    if (wake && !walk->stop) wake();
}

AutoSearch& ProgramAutoSearch() {
    static AutoSearch search;
    return search;
}
