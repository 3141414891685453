// The worker of the missing-entries list (MissingCheck.h).
#include "Find/MissingCheck.h"

#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "Follow/PathRoot.h"
#include "Kv/KvSlowPaths.h"

namespace {

// The first batch goes out after this many findings, later ones after more or after a while, so
// that the list shows its first screen soon without a message per entry.
constexpr size_t kFirstBatch = 40;
constexpr size_t kLaterBatch = 2000;
constexpr DWORD kBatchMilliseconds = 250;

bool FileThere(const std::wstring& path) {
    KvPathCallGate(path);
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

MissingCheck::~MissingCheck() {
    Stop();
}

bool MissingCheck::Start(std::vector<std::wstring> paths, HWND target, UINT message) {
    Stop();
    const uint32_t tag = ++runTag_;
    auto run = std::make_shared<Run>();
    try {
        std::thread(&MissingCheck::Work, run, std::move(paths), target, message, tag).detach();
    } catch (const std::system_error&) {
        return false;
    }
    run_ = std::move(run);
    return true;
}

void MissingCheck::Stop() {
    if (run_) {
        std::lock_guard<std::mutex> hold(run_->posting);
        run_->stop = true;
    }
    run_.reset();
    // Whatever a stopped run still has queued is recognised as stale by its tag.
    ++runTag_;
}

std::unique_ptr<std::vector<uint32_t>> MissingCheck::TakeBatch(WPARAM wp, LPARAM lp, bool* complete) const {
    std::unique_ptr<std::vector<uint32_t>> batch(reinterpret_cast<std::vector<uint32_t>*>(lp));
    const bool current = static_cast<uint32_t>(wp) == runTag_;
    if (complete) *complete = current && !batch;
    if (!current) batch.reset();
    return batch;
}

void MissingCheck::Work(const std::shared_ptr<Run>& run, std::vector<std::wstring> paths, HWND target, UINT message,
                        uint32_t tag) {
    RootAvailability roots;  // this thread's own
    auto batch = std::make_unique<std::vector<uint32_t>>();
    bool first = true;
    DWORD last = GetTickCount();
    auto send = [&] {
        if (batch->empty()) return;
        {
            std::lock_guard<std::mutex> hold(run->posting);
            if (!run->stop && PostMessageW(target, message, tag, reinterpret_cast<LPARAM>(batch.get()))) batch.release();
        }
        batch = std::make_unique<std::vector<uint32_t>>();
        first = false;
        last = GetTickCount();
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (run->stop) break;
        if (!paths[i].empty() && !FileThere(paths[i]) && !roots.Offline(paths[i]))
            batch->push_back(static_cast<uint32_t>(i));
        const size_t due = first ? kFirstBatch : kLaterBatch;
        if (batch->size() >= due || (!batch->empty() && GetTickCount() - last >= kBatchMilliseconds)) send();
    }
    send();
    {
        std::lock_guard<std::mutex> hold(run->posting);
        if (!run->stop) PostMessageW(target, message, tag, 0);
    }
    run->done = true;
}
