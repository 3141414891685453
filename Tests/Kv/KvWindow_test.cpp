// Modal windows, class registration, the text box and the drawing and geometry helpers of the
// toolkit, driven through real windows.
#include <gtest/gtest.h>

#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

#include <string>
#include <vector>

using tf_test::ModalResponder;
using tf_test::ModalSeen;

namespace {

const wchar_t kModalClass[] = L"KvTestModal";
const wchar_t kOwnerClass[] = L"KvTestOwner";

// A modal window that ends itself with the identifier of any command it gets.
LRESULT CALLBACK EndOnCommandProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        KvEndModal(hwnd, LOWORD(wp));
        return 0;
    }
    return DefDlgProcW(hwnd, msg, wp, lp);
}

int RunModal(HWND owner, const wchar_t* title) {
    return KvDoModal(kModalClass, 0, WS_POPUP | WS_CAPTION, title, 200, 100, owner, EndOnCommandProc);
}

class OwnerWindows : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kOwnerClass;
        ASSERT_TRUE(KvRegisterClassEx(wc));
        top_ = CreateWindowExW(0, kOwnerClass, L"top", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                               wc.hInstance, nullptr);
        child_ = CreateWindowExW(0, kOwnerClass, L"child", WS_CHILD | WS_VISIBLE, 30, 40, 100, 50, top_, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_TRUE(top_ && child_);
    }
    void TearDown() override {
        DestroyWindow(top_);
        UnregisterClassW(kOwnerClass, GetModuleHandleW(nullptr));
    }
    HWND top_ = nullptr;
    HWND child_ = nullptr;
};

// Colour of one pixel drawn by `paint` on a white 40 x 40 bitmap.
template <typename Paint>
std::vector<COLORREF> Render(Paint paint, const std::vector<POINT>& probes) {
    kv::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 40;
    bi.bmiHeader.biHeight = -40;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    kv::UniqueBitmap bmp(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    kv::SelectObjectScope use(dc.get(), bmp.get());
    RECT all{0, 0, 40, 40};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    paint(dc.get());
    std::vector<COLORREF> out;
    for (POINT p : probes) out.push_back(GetPixel(dc.get(), p.x, p.y));
    return out;
}

}  // namespace

TEST(KvWindow, ToCrLf) {
    EXPECT_EQ(KvToCrLf(L"\nstart\nend"), L"\r\nstart\r\nend");
    EXPECT_EQ(KvToCrLf(L"a\r\nb\n\n"), L"a\r\nb\r\n\r\n");
    EXPECT_EQ(KvToCrLf(L"\r\r\n"), L"\r\r\n");
    EXPECT_EQ(KvToCrLf(nullptr), L"");
}

TEST(KvWindow, MeasureTextTakesWidestLineAndEveryLineHeight) {
    kv::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    kv::UniqueFont font(KvCreateDefaultFont());
    kv::SelectObjectScope use(dc.get(), font.get());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.get(), &tm);
    SIZE wide{};
    GetTextExtentPoint32W(dc.get(), L"a much wider line", 17, &wide);

    SIZE s = KvMeasureText(dc.get(), L"ab\r\na much wider line\r\n\r\nab\r\n");
    EXPECT_EQ(s.cx, wide.cx);          // the line break itself is not measured
    EXPECT_EQ(s.cy, 5 * tm.tmHeight);  // empty lines, the last one included, count
}

// Text measured to fit must also fit the control: the edit keeps margins inside its client area
// and breaks words its own way, and a box fitted without allowing for that wraps and cuts lines.
TEST_F(OwnerWindows, TextBoxShowsEveryLineWithinTheWidthLimit) {
    kv::UniqueFont font(KvCreateDefaultFont());
    kv::WindowDc dc(top_);
    kv::SelectObjectScope use(dc.get(), font.get());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.get(), &tm);

    SIZE size{};
    HWND box =
        KvCreateTextBox(&size, ES_MULTILINE, WS_EX_STATICEDGE, L"first line\nsecond", 5, 6, 300, top_, font.get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetDlgCtrlID(box), 100);
    EXPECT_EQ(tf_test::WindowText(box), L"first line\r\nsecond");
    EXPECT_LT(size.cx, 300);
    EXPECT_EQ(SendMessageW(box, EM_GETLINECOUNT, 0, 0), 2);
    RECT client{};
    GetClientRect(box, &client);
    EXPECT_GE(client.bottom, 2 * tm.tmHeight);

    std::wstring longText;
    for (int i = 0; i < 40; ++i) longText += L"word ";
    HWND wrapped = KvCreateTextBox(&size, ES_MULTILINE, 0, longText.c_str(), 0, 0, 150, top_, font.get());
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(size.cx, 150);
    LRESULT lines = SendMessageW(wrapped, EM_GETLINECOUNT, 0, 0);
    EXPECT_GT(lines, 3);
    EXPECT_GE(size.cy, lines * tm.tmHeight);
}

TEST_F(OwnerWindows, ModalDisablesOwnerAndRootOnlyWhileOpenAndOnlyIfEnabled) {
    ModalResponder responder([&](HWND dlg, const ModalSeen& seen) {
        EXPECT_EQ(seen.className, kModalClass);
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), top_);
        EXPECT_FALSE(IsWindowEnabled(child_));
        EXPECT_FALSE(IsWindowEnabled(top_));
        KvEndModal(top_, 99);  // not a modal window: ignored
        KvEndModal(nullptr, 98);
        EXPECT_TRUE(IsWindow(dlg));
        return 42;
    });
    EXPECT_EQ(RunModal(child_, L"modal"), 42);
    EXPECT_TRUE(IsWindowEnabled(child_));
    EXPECT_TRUE(IsWindowEnabled(top_));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), kModalClass, &wc));  // temporary class gone

    EnableWindow(child_, FALSE);
    EXPECT_EQ(RunModal(child_, L"modal"), 42);
    EXPECT_FALSE(IsWindowEnabled(child_));
    EXPECT_TRUE(IsWindowEnabled(top_));

    EnableWindow(child_, TRUE);
    EnableWindow(top_, FALSE);
    EXPECT_EQ(RunModal(child_, L"modal"), 42);
    EXPECT_TRUE(IsWindowEnabled(child_));
    EXPECT_FALSE(IsWindowEnabled(top_));
    EXPECT_EQ(responder.seen().size(), 3u);
}

TEST_F(OwnerWindows, NestedModalWindowsEachReturnTheirOwnResult) {
    int innerResult = -1;
    HWND outerDlg = nullptr;
    ModalResponder responder([&](HWND dlg, const ModalSeen& seen) {
        if (seen.title == L"inner") {
            EXPECT_FALSE(IsWindowEnabled(outerDlg));
            EXPECT_FALSE(IsWindowEnabled(top_));
            return 21;
        }
        outerDlg = dlg;
        innerResult = RunModal(dlg, L"inner");
        EXPECT_TRUE(IsWindowEnabled(dlg));
        EXPECT_FALSE(IsWindowEnabled(top_));
        return 12;
    });
    EXPECT_EQ(RunModal(top_, L"outer"), 12);
    EXPECT_EQ(innerResult, 21);
    EXPECT_TRUE(IsWindowEnabled(top_));
}

TEST_F(OwnerWindows, OuterWindowEndedWhileInnerRunsKeepsBothResults) {
    // The inner window belongs to the outer one, so ending the outer one takes the inner one with
    // it: the inner loop ends as cancelled and the outer returns what it was ended with.
    int innerResult = -1;
    HWND outerDlg = nullptr;
    ModalResponder responder([&](HWND dlg, const ModalSeen& seen) {
        if (seen.title == L"inner") {
            KvEndModal(outerDlg, 31);
            return 0;
        }
        outerDlg = dlg;
        innerResult = RunModal(dlg, L"inner");
        return 0;
    });
    EXPECT_EQ(RunModal(top_, L"outer"), 31);
    EXPECT_EQ(innerResult, 0);
    EXPECT_TRUE(IsWindowEnabled(top_));

    // Unowned siblings: the outer one ended first still returns its own result after the inner.
    innerResult = -1;
    HWND first = nullptr;
    ModalResponder second([&](HWND dlg, const ModalSeen& seen) {
        if (seen.title == L"second") {
            KvEndModal(first, 41);
            EXPECT_FALSE(IsWindow(first));
            return 42;
        }
        first = dlg;
        innerResult = RunModal(nullptr, L"second");
        return 0;
    });
    EXPECT_EQ(RunModal(nullptr, L"first"), 41);
    EXPECT_EQ(innerResult, 42);
}

TEST_F(OwnerWindows, ApplicationQuitEndsTheModalWindowAndReachesTheOuterLoop) {
    HWND seenDlg = nullptr;
    ModalResponder responder([&](HWND dlg, const ModalSeen&) {
        seenDlg = dlg;
        PostQuitMessage(17);
        return 0;
    });
    EXPECT_EQ(RunModal(top_, L"modal"), 0);
    EXPECT_FALSE(IsWindow(seenDlg));
    EXPECT_TRUE(IsWindowEnabled(top_));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 17u);
}

TEST_F(OwnerWindows, FailuresShowTheErrorBoxAndReturnZero) {
    ModalResponder responder(IDOK);
    EXPECT_EQ(KvCreateModalDialog(top_, L"Lost", 0, WS_POPUP, L"KvNoSuchClass", 0, 0, 10, 10), 0);
    ASSERT_EQ(responder.seen().size(), 1u);
    EXPECT_NE(responder.seen()[0].text.find(L"CreateModalDialog!\r\nTitleName is\r\n\r\nLost"), std::wstring::npos);
    EXPECT_NE(responder.seen()[0].text.find(L"Func : KvCreateModalDialog"), std::wstring::npos);
    EXPECT_TRUE(IsWindowEnabled(top_));

    // A malformed class description cannot be registered.
    WNDCLASSEXW bad{};
    bad.lpfnWndProc = EndOnCommandProc;
    bad.hInstance = GetModuleHandleW(nullptr);
    bad.lpszClassName = L"KvTestBadClass";
    EXPECT_FALSE(KvRegisterClassEx(bad));
    ASSERT_EQ(responder.seen().size(), 2u);
    EXPECT_NE(responder.seen()[1].text.find(L"Failed RegisterClass!"), std::wstring::npos);
    EXPECT_NE(responder.seen()[1].text.find(L"File : KvWindow\r\nFunc : KvRegisterClassEx\r\n"), std::wstring::npos);
}

TEST_F(OwnerWindows, GeometryHelpers) {
    EXPECT_EQ(KvGetRootWindow(child_), top_);
    EXPECT_EQ(KvGetRootWindow(nullptr), nullptr);
    EXPECT_EQ(KvGetWindowPos(child_).x, 30);  // in the parent's client coordinates
    EXPECT_EQ(KvGetWindowPos(top_).y, 100);   // in screen coordinates
    KvResizeWindow(child_, 0, 60);            // 0 keeps the width
    RECT rc{};
    GetWindowRect(child_, &rc);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_EQ(rc.bottom - rc.top, 60);
    POINT centre = KvWindowCenter(top_);
    EXPECT_EQ(centre.x, 300);
    EXPECT_EQ(centre.y, 250);
}

TEST(KvWindow, EtchedFrameAndGradient) {
    const COLORREF shadow = RGB(172, 168, 153);
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF red = RGB(200, 0, 0);
    RECT rc{5, 5, 25, 20};
    auto etched = Render(
        [&](HDC dc) {
            KvFillRect(dc, RECT{0, 0, 40, 40}, red);
            KvDrawEtchedFrame(dc, rc);
        },
        {{5, 10}, {24, 5}, {15, 19}, {24, 19}, {25, 10}, {15, 20}});
    EXPECT_EQ(etched[0], shadow);  // left edge
    EXPECT_EQ(etched[1], shadow);  // the top edge starts at the right corner
    EXPECT_EQ(etched[2], white);   // bottom edge
    EXPECT_EQ(etched[3], white);   // right edge
    EXPECT_EQ(etched[4], red);     // right and bottom are exclusive
    EXPECT_EQ(etched[5], red);

    auto gradient = Render(
        [&](HDC dc) {
            KvFillGradientV(dc, RECT{0, 0, 40, 40}, RGB(250, 250, 255), RGB(190, 190, 255));
        },
        {{3, 0}, {3, 20}, {3, 39}});
    EXPECT_NEAR(GetRValue(gradient[0]), 250, 2);
    EXPECT_NEAR(GetRValue(gradient[1]), 220, 3);
    EXPECT_NEAR(GetRValue(gradient[2]), 190, 3);
    EXPECT_NEAR(GetBValue(gradient[1]), 255, 2);
}
