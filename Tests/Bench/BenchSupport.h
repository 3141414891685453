// What the benchmark programs share: the start-up each of them needs and the plain top-level window
// a filer is created in.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

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
