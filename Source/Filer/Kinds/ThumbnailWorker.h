// The one background thread of the thumbnail kind: it decodes, scales and composes thumbnails and
// hands each finished canvas to the UI thread, which it wakes with one posted message for as many
// results as pile up meanwhile. Jobs come in batches (one per paint of the list): the newest batch
// is served first, in the order it was asked for, so the items on screen after a scroll do not wait
// for those scrolled past. One thread only, so the image
// library and the plug-ins are never entered twice at once by thumbnails.
//
// Jobs and results carry an opaque key and the showing (generation) they belong to; Cancel drops
// the queued jobs and makes the results of earlier showings stale, so the UI thread never applies a
// thumbnail to a folder that is no longer on screen.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Image/DibImage.h"

class ThumbnailWorker {
public:
    struct Result {
        const void* key = nullptr;
        int item = -1;                    // list item the job was asked for
        std::unique_ptr<DibImage> canvas;  // null: the file could not be decoded
    };

    ThumbnailWorker() = default;
    ~ThumbnailWorker() { Stop(); }
    ThumbnailWorker(const ThumbnailWorker&) = delete;
    ThumbnailWorker& operator=(const ThumbnailWorker&) = delete;

    // Starts the thread unless it runs; `notify` gets `message` when results are waiting.
    bool Start(HWND notify, UINT message);
    // Ends the thread and drops everything queued.
    void Stop();
    // Starts a new batch; later requests go into it.
    void BeginBatch();
    void Request(const void* key, int item, std::wstring path);
    // Drops the queued jobs and every result not taken yet; results in the making are dropped too.
    void Cancel();
    // The finished results of the current generation, in the order they were made.
    std::vector<Result> TakeResults();

private:
    struct Job {
        const void* key;
        int item;
        std::wstring path;
    };
    void Run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::deque<Job>> batches_;  // oldest first; only the last may be empty
    std::vector<Result> results_;
    uint32_t generation_ = 0;
    bool stop_ = false;
    bool notified_ = false;
    HWND notify_ = nullptr;
    UINT message_ = 0;
    std::thread thread_;
};
