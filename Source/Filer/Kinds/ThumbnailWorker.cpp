// The thumbnail kind's background thread.
#include "Filer/Kinds/ThumbnailWorker.h"

#include <objbase.h>

bool ThumbnailWorker::Start(HWND notify, UINT message) {
    std::lock_guard<std::mutex> hold(lock_);
    notify_ = notify;
    message_ = message;
    if (thread_.joinable()) return true;
    stop_ = false;
    try {
        thread_ = std::thread(&ThumbnailWorker::Run, this);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void ThumbnailWorker::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
        jobs_.clear();
        results_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ThumbnailWorker::Request(const void* key, int item, std::wstring path) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        jobs_.push_back(Job{key, item, std::move(path)});
    }
    wake_.notify_one();
}

void ThumbnailWorker::Cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    ++generation_;
    jobs_.clear();
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
        wake_.wait(hold, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) break;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
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
