// The thumbnail kind's background threads.
#include "Filer/Kinds/ThumbnailWorker.h"

#include <objbase.h>

#include <algorithm>

bool ThumbnailWorker::Start(HWND notify, UINT message, unsigned threads) {
    std::lock_guard<std::mutex> hold(lock_);
    notify_ = notify;
    message_ = message;
    if (!threads_.empty()) return true;
    stop_ = false;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    try {
        threads_.reserve(threads);
        while (threads_.size() < threads) threads_.emplace_back(&ThumbnailWorker::Run, this);
    } catch (const std::exception&) {
        return !threads_.empty();
    }
    return true;
}

void ThumbnailWorker::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
        batches_.clear();
        results_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
}

void ThumbnailWorker::BeginBatch() {
    std::lock_guard<std::mutex> hold(lock_);
    if (batches_.empty() || !batches_.back().empty()) batches_.emplace_back();
}

void ThumbnailWorker::Request(const void* key, int item, std::wstring path) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (batches_.empty()) batches_.emplace_back();
        batches_.back().push_back(Job{key, item, std::move(path)});
    }
    wake_.notify_one();
}

void ThumbnailWorker::Cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    ++generation_;
    batches_.clear();
    results_.clear();
    notified_ = false;
}

std::vector<ThumbnailWorker::Result> ThumbnailWorker::TakeResults() {
    std::lock_guard<std::mutex> hold(lock_);
    notified_ = false;
    std::vector<Result> taken;
    taken.swap(results_);
    return taken;
}

void ThumbnailWorker::Run() {
    // The image library decodes through COM; this thread has an apartment of its own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        // Only the last batch can be empty (a paint that asked for nothing yet), so there is work
        // when it holds a job or an earlier batch exists.
        wake_.wait(hold, [this] {
            return stop_ || (!batches_.empty() && (!batches_.back().empty() || batches_.size() > 1));
        });
        if (stop_) break;
        auto newest = batches_.end() - 1;
        if (newest->empty()) --newest;
        Job job = std::move(newest->front());
        newest->pop_front();
        if (newest->empty() && newest != batches_.end() - 1) batches_.erase(newest);
        const uint32_t generation = generation_;
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
        if (stop_) break;
        if (generation != generation_) continue;
        try {
            results_.push_back(std::move(result));
        } catch (const std::exception&) {
            continue;
        }
        if (!notified_ && notify_) notified_ = PostMessageW(notify_, message_, 0, 0) != FALSE;
    }
    hold.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}
