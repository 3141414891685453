#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <stdexcept>

#include "Kv/KvGuard.h"
#include "Support/TestSupport.h"

namespace {

constexpr UINT kMsgThrowBadAlloc = WM_APP + 1;
constexpr UINT kMsgThrowOther = WM_APP + 2;

int g_paints = 0;

LRESULT Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kMsgThrowBadAlloc:
        throw std::bad_alloc();
    case kMsgThrowOther:
        throw std::runtime_error("other");
    case WM_PAINT:
        ++g_paints;
        throw std::bad_alloc();
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK GuardedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return KvGuardedWindowProc(L"GuardedProc", 42, nullptr, hwnd, msg, wp, lp,
                               [&] { return Handle(hwnd, msg, wp, lp); });
}

HWND CreateGuardedWindow() {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = GuardedProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvGuardTestWindow";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

}  // namespace

// An exception thrown inside a window procedure ends in one internal-error box naming the
// procedure, never unwinds into the system, and a failed paint still validates its region.
TEST(KvGuard, ExceptionsInAWindowProcedureEndInOneErrorBox) {
    HWND hwnd = CreateGuardedWindow();
    ASSERT_NE(hwnd, nullptr);
    {
        // Its first paint fails too.
        tf_test::ModalResponder firstPaint(IDOK);
        tf_test::PumpMessages();
    }

    int nestedResult = -1;
    tf_test::ModalResponder responder([&](HWND, const tf_test::ModalSeen&) {
        // A second failure while the box is open is not boxed again.
        nestedResult = static_cast<int>(SendMessageW(hwnd, kMsgThrowBadAlloc, 0, 0));
        return IDOK;
    });
    EXPECT_EQ(SendMessageW(hwnd, kMsgThrowBadAlloc, 0, 0), 0);
    ASSERT_EQ(responder.seen().size(), 1u);
    EXPECT_NE(responder.seen()[0].text.find(L"Func : GuardedProc"), std::wstring::npos);
    EXPECT_NE(responder.seen()[0].text.find(L"Line : 42"), std::wstring::npos);
    EXPECT_NE(responder.seen()[0].text.find(L"momory error."), std::wstring::npos);
    EXPECT_EQ(nestedResult, 0);

    SendMessageW(hwnd, kMsgThrowOther, 0, 0);
    ASSERT_EQ(responder.seen().size(), 2u);
    EXPECT_NE(responder.seen()[1].text.find(L"unexpected error."), std::wstring::npos);

    g_paints = 0;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(g_paints, 1);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    DestroyWindow(hwnd);
}
