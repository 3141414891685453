// The boundary where system code calls this program: window, dialog and hook procedures, shell
// callbacks and COM methods. No C++ exception may unwind through the system's frames, so each such
// entry runs its body through KvGuarded: an exception that escapes the body (out of memory above
// all) ends in the internal-error box naming the entry, and the entry returns its failure value.
#pragma once

#include <windows.h>

#include <utility>

namespace kv {
// Called inside a catch handler: shows the internal-error box for the exception being handled,
// caught in `function`. Never throws. While one such box is open, further exceptions (a failing
// repaint behind it, say) are not boxed again.
void ReportEscapedException(const wchar_t* function, int line) noexcept;
}  // namespace kv

template <class Result, class Body>
Result KvGuarded(const wchar_t* function, int line, Result failed, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        kv::ReportEscapedException(function, line);
    }
    return failed;
}

// For window procedures: after an exception the message still reaches `fallback` (the subclassed
// control's own procedure, or DefWindowProcW when null), so that, for example, a failed WM_PAINT
// still validates its region instead of being sent again at once.
template <class Body>
LRESULT KvGuardedWindowProc(const wchar_t* function, int line, WNDPROC fallback, HWND hwnd, UINT msg, WPARAM wp,
                            LPARAM lp, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        kv::ReportEscapedException(function, line);
    }
    return fallback ? CallWindowProcW(fallback, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}
