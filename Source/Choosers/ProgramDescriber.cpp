// The chooser's describing thread (ProgramDescriber.h).
#include "Choosers/ProgramDescriber.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

#include "Kv/KvSlowPaths.h"

struct ProgramDescriber::Shared {
    std::mutex lock;
    std::vector<Answer> answers;
    bool closed = false;
    bool notified = false;  // a message for the waiting answers is on its way
    HWND target = nullptr;
    UINT message = 0;
};

void ProgramDescriber::Serve(const std::shared_ptr<Shared>& shared, std::vector<std::wstring> programs) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Programs that cannot keep a call waiting come first, so that one hung share does not hold
    // back the icons of the rest.
    std::vector<size_t> order(programs.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_partition(order.begin(), order.end(), [&](size_t index) { return !KvMayBlock(programs[index]); });
    for (size_t index : order) {
        {
            std::lock_guard<std::mutex> hold(shared->lock);
            if (shared->closed) break;
        }
        Answer answer;
        answer.index = index;
        SHFILEINFOW info{};
        KvPathCallGate(programs[index]);
        answer.found = SHGetFileInfoW(programs[index].c_str(), 0, &info, sizeof(info),
                                      SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON) != 0;
        if (answer.found) {
            answer.name = info.szDisplayName;
            answer.icon = info.iIcon;
        }
        std::lock_guard<std::mutex> hold(shared->lock);
        if (shared->closed) break;
        shared->answers.push_back(std::move(answer));
        if (!shared->notified) shared->notified = PostMessageW(shared->target, shared->message, 0, 0) != 0;
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

bool ProgramDescriber::Start(std::vector<std::wstring> programs, HWND target, UINT message) {
    Close();
    shared_ = std::make_shared<Shared>();
    shared_->target = target;
    shared_->message = message;
    try {
        std::thread([shared = shared_, programs = std::move(programs)]() mutable {
            Serve(shared, std::move(programs));
        }).detach();
    } catch (const std::system_error&) {
        shared_.reset();
        return false;
    }
    return true;
}

std::vector<ProgramDescriber::Answer> ProgramDescriber::TakeAnswers() {
    if (!shared_) return {};
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->notified = false;
    return std::exchange(shared_->answers, {});
}

void ProgramDescriber::Close() {
    if (!shared_) return;
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        shared_->closed = true;
        shared_->answers.clear();
    }
    shared_.reset();
}
