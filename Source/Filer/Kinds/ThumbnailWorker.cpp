// The thumbnail kind's background threads.
#include "Filer/Kinds/ThumbnailWorker.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "Image/ImageBackends.h"

namespace {

// The threads of every worker still running. Made once and never destroyed, so that a thread that
// ends late, even while the process exits, never finds it gone.
struct LiveThreads {
    std::mutex lock;
    std::condition_variable ended;
    size_t count = 0;
};

LiveThreads& Live() {
    static LiveThreads* live = new LiveThreads();
    return *live;
}

}  // namespace

struct ThumbnailWorker::Shared {
    struct Job {
        const void* key;
        int item;
        std::wstring path;
    };

    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::deque<Job>> batches;  // oldest first; only the last may be empty
    std::vector<Result> results;
    uint32_t generation = 0;
    bool stop = false;
    bool notified = false;
    HWND notify = nullptr;
    UINT message = 0;
    size_t threads = 0;
    ImageDecodersHold decoders;
};

ThumbnailWorker::ThumbnailWorker() : shared_(std::make_shared<Shared>()) {}

bool ThumbnailWorker::Start(HWND notify, UINT message, unsigned threads) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->notify = notify;
    shared_->message = message;
    if (shared_->threads > 0) return true;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    while (shared_->threads < threads) {
        {
            std::lock_guard<std::mutex> count(Live().lock);
            ++Live().count;
        }
        try {
            std::thread([shared = shared_]() mutable { Run(std::move(shared)); }).detach();
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> count(Live().lock);
            --Live().count;
            break;
        }
        ++shared_->threads;
    }
    return shared_->threads > 0;
}

void ThumbnailWorker::Stop() {
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        if (shared_->threads == 0) return;
        shared_->stop = true;
        shared_->batches.clear();
        shared_->results.clear();
    }
    shared_->wake.notify_all();
    // The stopped threads keep the old state; requests from now on go to a fresh one.
    shared_ = std::make_shared<Shared>();
}

bool ThumbnailWorker::WaitForAllThreads(DWORD milliseconds) {
    std::unique_lock<std::mutex> hold(Live().lock);
    return Live().ended.wait_for(hold, std::chrono::milliseconds(milliseconds), [] { return Live().count == 0; });
}

void ThumbnailWorker::BeginBatch() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (shared_->batches.empty() || !shared_->batches.back().empty()) shared_->batches.emplace_back();
}

void ThumbnailWorker::Request(const void* key, int item, std::wstring path) {
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        if (shared_->batches.empty()) shared_->batches.emplace_back();
        shared_->batches.back().push_back(Shared::Job{key, item, std::move(path)});
    }
    shared_->wake.notify_one();
}

void ThumbnailWorker::Cancel() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    ++shared_->generation;
    shared_->batches.clear();
    shared_->results.clear();
    shared_->notified = false;
}

std::vector<ThumbnailWorker::Result> ThumbnailWorker::TakeResults() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->notified = false;
    std::vector<Result> taken;
    taken.swap(shared_->results);
    return taken;
}

void ThumbnailWorker::Run(std::shared_ptr<Shared> shared) {
    // The image library decodes through COM; this thread has an apartment of its own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> hold(shared->lock);
    auto& batches = shared->batches;
    for (;;) {
        // Only the last batch can be empty (a paint that asked for nothing yet), so there is work
        // when it holds a job or an earlier batch exists.
        shared->wake.wait(hold, [&] {
            return shared->stop || (!batches.empty() && (!batches.back().empty() || batches.size() > 1));
        });
        if (shared->stop) break;
        auto newest = batches.end() - 1;
        if (newest->empty()) --newest;
        Shared::Job job = std::move(newest->front());
        newest->pop_front();
        if (newest->empty() && newest != batches.end() - 1) batches.erase(newest);
        const uint32_t generation = shared->generation;
        hold.unlock();

        Result result;
        result.key = job.key;
        result.item = job.item;
        try {
            std::unique_ptr<DibImage> canvas(new DibImage());
            if (ComposeThumbnail(job.path, *canvas)) result.canvas = std::move(canvas);
        } catch (const std::exception&) {
            result.canvas.reset();
        }

        hold.lock();
        if (shared->stop) break;
        if (generation != shared->generation) continue;
        try {
            shared->results.push_back(std::move(result));
        } catch (const std::exception&) {
            continue;
        }
        if (!shared->notified && shared->notify)
            shared->notified = PostMessageW(shared->notify, shared->message, 0, 0) != FALSE;
    }
    hold.unlock();
    shared.reset();  // the last thread of a stopped worker may unload the decoders here
    if (SUCCEEDED(com)) CoUninitialize();
    std::lock_guard<std::mutex> count(Live().lock);
    if (--Live().count == 0) Live().ended.notify_all();
}
