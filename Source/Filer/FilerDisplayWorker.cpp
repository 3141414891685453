// The display worker's thread and its queue (FilerDisplayWorker.h).
#include "Filer/FilerDisplayWorker.h"

#include <objbase.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "Follow/PathRoot.h"
#include "Kv/KvHandles.h"

struct FilerDisplayWorker::Shared {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Request> requests;
    std::vector<Answer> answers;
    uint32_t showing = 0;
    bool stop = false;
    bool running = false;
    bool notified = false;  // a message for the waiting answers is on its way
    HWND target = nullptr;
    UINT message = 0;
    kv::UniqueKernel ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

void FilerDisplayWorker::Serve(const std::shared_ptr<Shared>& shared) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    FilerDisplaySource source;
    RootAvailability roots;
    uint32_t lastShowing = 0;
    for (;;) {
        Request request;
        {
            std::unique_lock<std::mutex> hold(shared->lock);
            shared->wake.wait(hold, [&] { return shared->stop || !shared->requests.empty(); });
            if (shared->stop) break;
            request = std::move(shared->requests.front());
            shared->requests.pop_front();
            if (request.showing != shared->showing) continue;
        }
        // Listings and root answers hold for one showing.
        if (request.showing != lastShowing) {
            lastShowing = request.showing;
            source.ForgetListings();
            roots.Forget();
        }
        Answer answer;
        source.Describe(request.path, answer.display);
        answer.offline = answer.display.missing && roots.Offline(request.path);
        if (!answer.display.missing && !request.program.empty()) answer.programIcon = source.ProgramIcon(request.program);
        answer.request = std::move(request);
        std::lock_guard<std::mutex> hold(shared->lock);
        if (shared->stop) break;
        if (answer.request.showing != shared->showing) continue;
        shared->answers.push_back(std::move(answer));
        if (!shared->notified) shared->notified = PostMessageW(shared->target, shared->message, 0, 0) != 0;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    SetEvent(shared->ended.get());
}

FilerDisplayWorker::FilerDisplayWorker() : shared_(std::make_shared<Shared>()) {}

FilerDisplayWorker::~FilerDisplayWorker() {
    Stop();
}

bool FilerDisplayWorker::Ask(Request request, HWND target, UINT message) {
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        shared_->target = target;
        shared_->message = message;
        if (request.showing != shared_->showing) {
            shared_->showing = request.showing;
            shared_->requests.clear();
        }
        if (!shared_->running) {
            if (!shared_->ended) return false;
            ResetEvent(shared_->ended.get());
            shared_->stop = false;
            try {
                std::thread([shared = shared_] { Serve(shared); }).detach();
            } catch (const std::system_error&) {
                return false;
            }
            shared_->running = true;
        }
        shared_->requests.push_back(std::move(request));
    }
    shared_->wake.notify_one();
    return true;
}

void FilerDisplayWorker::NewShowing(uint32_t showing) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->showing = showing;
    shared_->requests.clear();
    shared_->answers.clear();
}

std::vector<FilerDisplayWorker::Answer> FilerDisplayWorker::TakeAnswers() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->notified = false;
    return std::exchange(shared_->answers, {});
}

void FilerDisplayWorker::Stop() {
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        if (!shared_->running) return;
        shared_->stop = true;
        shared_->running = false;
        shared_->requests.clear();
        shared_->answers.clear();
    }
    shared_->wake.notify_all();
    // A worker held by a hung call ends by itself later; its state stays alive with it. A new
    // worker gets fresh state, so the old one never serves the new one's requests.
    if (WaitForSingleObject(shared_->ended.get(), kDisplayWorkerStopMilliseconds) != WAIT_OBJECT_0)
        shared_ = std::make_shared<Shared>();
}
