// Display data of entries whose paths may keep a call waiting (KvMayBlock: shares, optical drives),
// made on a worker thread so that the list never waits: such a row shows its stored name and blank
// columns until its answer comes (CKvFiler::MakeDisplayData, OnDisplayAnswers). The worker has a
// display source and root answers of its own.
//
// Requests carry the showing they belong to (the filer's display generation) and the folder with
// its entries' generation when asked; a new showing drops the older requests unread, and the UI
// thread uses an answer only while the folder, its entries and the showing are still the same, so
// the entry pointer it carries still names a live entry. Nothing on the UI thread waits for the
// worker: Stop tells it to end and waits at most kDisplayWorkerStopMilliseconds, and a worker held
// by a hung call is left to end by itself; everything it touches is kept alive by itself (shared
// state), and its last message goes to a window that may be gone.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Filer/FilerDisplaySource.h"

class CEntry;
class CFolder;

constexpr DWORD kDisplayWorkerStopMilliseconds = 2000;
// Posted to the filer's container when answers wait.
constexpr UINT kMsgDisplayAnswers = WM_APP + 0x34;

class FilerDisplayWorker {
public:
    struct Request {
        const CFolder* folder = nullptr;
        uint32_t entries = 0;  // the folder's generation when asked
        uint32_t showing = 0;
        CEntry* entry = nullptr;
        int index = -1;
        std::wstring path;     // resolved
        std::wstring program;  // the entry's own application, whose icon it shows; may be empty
    };
    struct Answer {
        Request request;
        PathDisplay display;
        bool offline = false;  // missing because its drive or share is away
        int programIcon = -1;
    };

    FilerDisplayWorker();
    ~FilerDisplayWorker();
    FilerDisplayWorker(const FilerDisplayWorker&) = delete;
    FilerDisplayWorker& operator=(const FilerDisplayWorker&) = delete;

    // Queues a request, starting the worker first if it does not run; `target` gets `message` when
    // answers wait (one message for as many as pile up). False when no worker could be started.
    bool Ask(Request request, HWND target, UINT message);
    // Requests of showings before `showing` are dropped unread.
    void NewShowing(uint32_t showing);
    // The answers waiting, oldest first.
    std::vector<Answer> TakeAnswers();
    // Tells the worker to end; waits for it at most kDisplayWorkerStopMilliseconds.
    void Stop();

private:
    struct Shared;
    // The worker's loop; it holds the state it serves.
    static void Serve(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
};
