// The background threads of the thumbnail kind, one per processor by default: they decode, scale
// and compose thumbnails and hand each finished canvas to the UI thread, which they wake with one
// posted message for as many results as pile up meanwhile. Jobs come in batches (one per paint of
// the list): the newest batch is served first, in the order it was asked for, so the items on
// screen after a scroll do not wait for those scrolled past. Decoders that are not safe on several
// threads at once are serialised by the image back-ends themselves (ImageBackends.h).
//
// Jobs and results carry an opaque key and the showing (generation) they belong to; Cancel drops
// the queued jobs and makes the results of earlier showings stale, so the UI thread never applies a
// thumbnail to a folder that is no longer on screen.
//
// Nothing on the UI thread waits for a decode, which may sit on a share that does not answer: Stop
// tells the threads to end and leaves them; each keeps alive the state it shares and holds the
// decoders loaded until it ends, and posts nothing after Stop. Shut-down gives the threads of every
// worker a bounded time to end (WaitForAllThreads).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Image/DibImage.h"

class ThumbnailWorker {
public:
    struct Result {
        const void* key = nullptr;
        int item = -1;                    // list item the job was asked for
        std::unique_ptr<DibImage> canvas;  // null: the file could not be decoded
    };

    ThumbnailWorker();
    ~ThumbnailWorker() { Stop(); }
    ThumbnailWorker(const ThumbnailWorker&) = delete;
    ThumbnailWorker& operator=(const ThumbnailWorker&) = delete;

    // Starts `threads` threads (0: one per processor) unless they run; `notify` gets `message` when
    // results are waiting. False when not one thread could be started.
    bool Start(HWND notify, UINT message, unsigned threads = 0);
    // Tells the threads to end and drops everything queued and finished; never waits for them.
    void Stop();
    // Waits at most `milliseconds` for the threads of every worker of the process to end (shut-down,
    // once each worker was stopped). False when some are still running, held by a call that does
    // not return.
    static bool WaitForAllThreads(DWORD milliseconds);
    // Starts a new batch; later requests go into it.
    void BeginBatch();
    void Request(const void* key, int item, std::wstring path);
    // Drops the queued jobs and every result not taken yet; results in the making are dropped too.
    void Cancel();
    // The finished results of the current generation, in the order they were finished.
    std::vector<Result> TakeResults();

private:
    struct Shared;
    // A thread's loop; it lets its share of the state go before it counts as ended.
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};
