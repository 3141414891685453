// What the benchmark programs share: the start-up each of them needs and the plain top-level window
// a filer is created in.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "Config/GlobalText.h"
#include "Kv/KvWindow.h"

// OLE, the common controls, the toolkit's system facts and the text table; false when the table
// cannot be read.
inline bool BenchStartUp() {
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    KvInitSystemInfo();
    return GlobalText::Load();
}

// An 800 x 600 top-level window of a class of its own, answered by `proc`.
inline HWND BenchParentWindow(const wchar_t* className, WNDPROC proc = DefWindowProcW, DWORD extraStyle = 0) {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, className, L"bench", WS_OVERLAPPEDWINDOW | extraStyle, 0, 0, 800, 600, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// The UI thread's longest gap: another thread sends `window` a message every few milliseconds and
// keeps the longest wait for its answer, in milliseconds.
class GapWatch {
public:
    explicit GapWatch(HWND window)
        : thread_([this, window] {
              while (running_) {
                  const auto start = std::chrono::steady_clock::now();
                  DWORD_PTR result = 0;
                  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
                  const double waited =
                      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                  longest_ = std::max(longest_.load(), waited);
                  Sleep(2);
              }
          }) {}
    ~GapWatch() {
        running_ = false;
        thread_.join();
    }
    GapWatch(const GapWatch&) = delete;
    GapWatch& operator=(const GapWatch&) = delete;

    double Longest() const { return longest_; }
    // The longest gap so far, starting anew.
    double Take() { return longest_.exchange(0); }

private:
    std::atomic<bool> running_{true};
    std::atomic<double> longest_{0};
    std::thread thread_;
};
