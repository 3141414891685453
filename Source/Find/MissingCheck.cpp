// The worker of the missing-entries list (MissingCheck.h).
#include "Find/MissingCheck.h"

#include <new>
#include <utility>

#include "Follow/PathRoot.h"

namespace {

// The first batch goes out after this many findings, later ones after more or after a while, so
// that the list shows its first screen soon without a message per entry.
constexpr size_t kFirstBatch = 40;
constexpr size_t kLaterBatch = 2000;
constexpr DWORD kBatchMilliseconds = 250;

bool FileThere(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

MissingCheck::~MissingCheck() {
    Stop();
}

bool MissingCheck::Start(std::vector<std::wstring> paths, HWND target, UINT message) {
    Stop();
    stop_ = false;
    done_ = false;
    const uint32_t tag = ++runTag_;
    try {
        worker_ = std::thread(&MissingCheck::Run, this, std::move(paths), target, message, tag);
    } catch (...) {
        done_ = true;
        return false;
    }
    return true;
}

void MissingCheck::Stop() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
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

void MissingCheck::Run(std::vector<std::wstring> paths, HWND target, UINT message, uint32_t tag) {
    RootAvailability roots;  // this thread's own
    auto batch = std::make_unique<std::vector<uint32_t>>();
    bool first = true;
    DWORD last = GetTickCount();
    auto send = [&] {
        if (batch->empty()) return;
        if (PostMessageW(target, message, tag, reinterpret_cast<LPARAM>(batch.get()))) batch.release();
        batch = std::make_unique<std::vector<uint32_t>>();
        first = false;
        last = GetTickCount();
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (stop_) break;
        if (!paths[i].empty() && !FileThere(paths[i]) && !roots.Offline(paths[i]))
            batch->push_back(static_cast<uint32_t>(i));
        const size_t due = first ? kFirstBatch : kLaterBatch;
        if (batch->size() >= due || (!batch->empty() && GetTickCount() - last >= kBatchMilliseconds)) send();
    }
    if (!stop_) {
        send();
        PostMessageW(target, message, tag, 0);
    }
    done_ = true;
}
