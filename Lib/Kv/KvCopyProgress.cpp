// The progress window of a large copy and the worker thread behind it.
#include "Kv/KvCopyProgress.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvFiles.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

constexpr UINT kCopyEnded = WM_APP + 1;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kBarId = 200;
constexpr int kBarRange = 1000;

// Shared with the worker: the counters it writes and the stop flag it reads after every block.
struct CopyProgressState {
    std::wstring source;
    std::wstring destination;
    std::atomic<unsigned long long> copied{0};
    std::atomic<unsigned long long> total{0};
    std::atomic<bool> stop{false};
    bool result = false;
    std::thread worker;
    kv::UniqueFont font;
};

void StartWorker(CopyProgressState& s, HWND dlg) {
    s.worker = std::thread([&s, dlg] {
        s.result = KvCopyFileReplacing(s.source, s.destination, [&s](unsigned long long copied, unsigned long long total) {
            s.copied = copied;
            s.total = total;
            return !s.stop.load();
        });
        PostMessageW(dlg, kCopyEnded, 0, 0);
    });
}

LRESULT Handle(CopyProgressState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        s.font.reset(KvCreateDialogFont(dlg));
        const int width = KvClientSize96(dlg).cx;
        KvBuildControls(dlg, s.font.get(), {
            {-1, KvCtl::Label, s.destination.c_str(), 10, 10, 0, 0},
            {kBarId, KvCtl::Progress, L"", 10, 35, width - 20, 16},
            {IDCANCEL, KvCtl::Button, KvCancelLabel, width - 110, 60, 100, 20},
        });
        SendDlgItemMessageW(dlg, kBarId, PBM_SETRANGE32, 0, kBarRange);
        KvCentreOnOwner(dlg);
        SetTimer(dlg, kRefreshTimer, 100, nullptr);
        StartWorker(s, dlg);
        return 0;
    }
    case WM_TIMER: {
        const unsigned long long total = s.total;
        const int position = total ? static_cast<int>(s.copied * kBarRange / total) : 0;
        SendDlgItemMessageW(dlg, kBarId, PBM_SETPOS, position, 0);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL) {
            s.stop = true;  // the window closes when the worker has stopped
            EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
        }
        return 0;
    case WM_CLOSE:
        s.stop = true;
        return 0;
    case kCopyEnded:
        KvEndModal(dlg, 1);
        return 0;
    case WM_DESTROY:
        KillTimer(dlg, kRefreshTimer);
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

bool KvCopyFileWithProgress(HWND owner, const wchar_t* title, const std::wstring& source,
                            const std::wstring& destination) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool large = GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data) &&
                       ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) >=
                           kKvCopyProgressThreshold;
    if (!large) return KvCopyFileReplacing(source, destination);
    CopyProgressState state;
    state.source = source;
    state.destination = destination;
    {
        const KvModalScope<CopyProgressState> scope(state, L"KvCopyProgress::WndProc");
        KvDoModalScaled(L"KvCopyProgress", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION, title, 420, 120, owner,
                        KvModalProc<CopyProgressState, Handle>);
    }
    // A window that could not be made never started the worker.
    if (!state.worker.joinable()) return KvCopyFileReplacing(source, destination);
    state.worker.join();
    return state.result;
}
