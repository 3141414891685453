// CKvDragBar on a real parent window, moved by the real cursor (SetCursorPos) and fed the mouse
// messages a drag produces.
#include <gtest/gtest.h>

#include <windows.h>
#include <utility>
#include <vector>

#include "Kv/KvWindow.h"
#include "MainWindow/KvDragBar.h"
#include "Support/TestSupport.h"

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_commands;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        g_commands.emplace_back(wp, lp);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class DragBarTest : public testing::Test {
protected:
    void SetUp() override {
        g_commands.clear();
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"KvDragBarTestParent";
        RegisterClassExW(&wc);
        parent_ = CreateWindowExW(0, wc.lpszClassName, L"drag bar test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 500,
                                  360, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent_, nullptr);
        ASSERT_TRUE(bar_.Create(parent_));
        tf_test::PumpMessages();
    }
    void TearDown() override {
        bar_.Destroy();
        DestroyWindow(parent_);
        tf_test::PumpMessages();
    }

    // Puts the cursor on a point of the parent's client area.
    void CursorTo(int x, int y) {
        POINT pt{x, y};
        ClientToScreen(parent_, &pt);
        SetCursorPos(pt.x, pt.y);
    }
    void MoveMessage() { SendMessageW(bar_.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, 0); }
    POINT BarPos() const { return KvGetWindowPos(bar_.Hwnd()); }

    HWND parent_ = nullptr;
    CKvDragBar bar_;
};

TEST_F(DragBarTest, DragThirtyPixelsRightReportsTheBarAndHides) {
    EXPECT_FALSE(IsWindowVisible(bar_.Hwnd()));
    EXPECT_EQ(GetParent(bar_.Hwnd()), parent_);

    CursorTo(102, 100);
    bar_.BeginDrag(RECT{100, 20, 105, 300});
    EXPECT_TRUE(IsWindowVisible(bar_.Hwnd()));
    EXPECT_TRUE(bar_.IsDragging());
    EXPECT_EQ(GetCapture(), bar_.Hwnd());
    POINT start = BarPos();
    EXPECT_EQ(start.x, 100);
    EXPECT_EQ(start.y, 20);
    RECT rc{};
    GetWindowRect(bar_.Hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 5);
    EXPECT_EQ(rc.bottom - rc.top, 280);

    // Three steps of 10 pixels, each followed by two move messages (one of each pair is skipped),
    // wandering up and down as a hand does: the bar follows horizontally only.
    for (int step = 1; step <= 3; ++step) {
        CursorTo(102 + 10 * step, 100 + (step % 2 ? 15 : -7));
        MoveMessage();
        MoveMessage();
    }
    EXPECT_EQ(BarPos().x, 130);
    EXPECT_EQ(BarPos().y, 20);
    EXPECT_TRUE(g_commands.empty());

    SendMessageW(bar_.Hwnd(), WM_LBUTTONUP, 0, 0);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].first, 0u);
    EXPECT_EQ(g_commands[0].second, reinterpret_cast<LPARAM>(bar_.Hwnd()));
    EXPECT_FALSE(IsWindowVisible(bar_.Hwnd()));
    EXPECT_FALSE(bar_.IsDragging());
    EXPECT_NE(GetCapture(), bar_.Hwnd());
    EXPECT_EQ(BarPos().x, 130);

    // After the release the bar no longer follows the mouse.
    CursorTo(200, 100);
    MoveMessage();
    MoveMessage();
    tf_test::PumpMessages();
    EXPECT_EQ(BarPos().x, 130);
}

TEST_F(DragBarTest, EverySecondMoveIsSkippedWithoutLosingDistance) {
    CursorTo(200, 100);
    bar_.BeginDrag(RECT{200, 10, 205, 110});
    CursorTo(190, 100);
    MoveMessage();
    EXPECT_EQ(BarPos().x, 190);  // to the left as well
    CursorTo(170, 100);
    MoveMessage();
    EXPECT_EQ(BarPos().x, 190);  // skipped
    MoveMessage();
    EXPECT_EQ(BarPos().x, 170);  // the skipped distance is made up
    SendMessageW(bar_.Hwnd(), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(g_commands.size(), 1u);

    // A new drag starts with a handled move even when the last drag ended on a skip.
    CursorTo(170, 100);
    bar_.BeginDrag(RECT{170, 10, 175, 110});
    CursorTo(180, 100);
    MoveMessage();
    EXPECT_EQ(BarPos().x, 180);
    SendMessageW(bar_.Hwnd(), WM_LBUTTONUP, 0, 0);
}

TEST_F(DragBarTest, LosingTheCaptureHidesTheBarWithoutReport) {
    CursorTo(150, 100);
    bar_.BeginDrag(RECT{150, 10, 155, 110});
    SetCapture(parent_);
    EXPECT_FALSE(bar_.IsDragging());
    EXPECT_FALSE(IsWindowVisible(bar_.Hwnd()));
    ReleaseCapture();
    SendMessageW(bar_.Hwnd(), WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(g_commands.empty());
}

TEST_F(DragBarTest, LifecycleWithoutWindowAndSeveralBars) {
    CKvDragBar unmade;
    unmade.BeginDrag(RECT{0, 0, 5, 5});
    EXPECT_FALSE(unmade.IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);

    // A second bar can live beside the first; destroying one keeps the other working.
    CKvDragBar second;
    ASSERT_TRUE(second.Create(parent_));
    HWND window = second.Hwnd();
    second.Destroy();
    EXPECT_FALSE(IsWindow(window));
    second.Destroy();

    CursorTo(50, 50);
    bar_.BeginDrag(RECT{50, 0, 55, 100});
    CursorTo(60, 50);
    MoveMessage();
    EXPECT_EQ(BarPos().x, 60);
    SendMessageW(bar_.Hwnd(), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(g_commands.size(), 1u);

    // After Destroy the bar can be made again.
    bar_.Destroy();
    EXPECT_EQ(bar_.Hwnd(), nullptr);
    ASSERT_TRUE(bar_.Create(parent_));
    EXPECT_FALSE(IsWindowVisible(bar_.Hwnd()));
}

}  // namespace
