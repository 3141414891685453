#include "Search/AutoSearch.h"

#include <windows.h>

#include <system_error>
#include <utility>

namespace {

// A batch goes to the UI thread when it holds this many paths or is this old, whichever comes
// first: few enough messages for a fast walk, yet matches of a slow walk still appear at once.
constexpr size_t kBatchPaths = 256;
constexpr ULONGLONG kBatchMilliseconds = 50;

}  // namespace

void AutoSearch::Start(CFolder& folder) {
    if (Running()) return;
    if (worker_.joinable()) worker_.join();
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

void AutoSearch::Run(std::vector<SearchWalkItem> list) {
    std::vector<std::wstring> batch;
    ULONGLONG batchStart = GetTickCount64();
    RunWalkList(list, stop_, [&](const std::wstring& path, bool) {
        if (batch.empty()) batchStart = GetTickCount64();
        batch.push_back(path);
        if (batch.size() < kBatchPaths && GetTickCount64() - batchStart < kBatchMilliseconds) return;
        filer_.PostFoundPaths(std::move(batch));
        batch.clear();
    });
    if (!stop_) filer_.PostFoundPaths(std::move(batch));
    running_ = false;
}

AutoSearch& ProgramAutoSearch() {
    static AutoSearch search(Filer());
    return search;
}
