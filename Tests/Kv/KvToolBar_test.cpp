// CKvToolBar driven as a real child window: layout, click rules, disabled buttons, icons that do not
// load, command pass-through and what the bar paints.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Kv/KvHandles.h"
#include "Kv/KvToolBar.h"
#include "Support/TestSupport.h"
#include "resource.h"

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_commands;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        g_commands.emplace_back(wp, lp);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The main window's set: three buttons, separator, one, separator, two, separator, one, separator.
void AddMainWindowButtons(CKvToolBar& bar) {
    bar.AddButton(IDI_TB_BACK, 2517, L"戻る");
    bar.AddButton(IDI_TB_FORWARD, 2518, L"進む");
    bar.AddButton(IDI_TB_UP, 2522, L"上へ");
    bar.AddSeparator();
    bar.AddButton(IDI_TB_NEWFOLDER, 2521, L"新しいフォルダ");
    bar.AddSeparator();
    bar.AddButton(IDI_TB_COPY, 2519, L"コピー");
    bar.AddButton(IDI_TB_REMOVE, 2520, L"削除");
    bar.AddSeparator();
    bar.AddButton(IDI_TB_REFRESH, 2523, L"更新");
    bar.AddSeparator();
}

LPARAM At(POINT pt) {
    return MAKELPARAM(pt.x, pt.y);
}

POINT Centre(const RECT& rc) {
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// The bar's client area as drawn through WM_PRINTCLIENT into a 32-bit top-down DIB.
class Snapshot {
public:
    explicit Snapshot(HWND hwnd) {
        RECT rc{};
        GetClientRect(hwnd, &rc);
        width_ = rc.right;
        height_ = rc.bottom;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width_;
        bi.bmiHeader.biHeight = -height_;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        kv::WindowDc screen(nullptr);
        kv::UniqueBitmap dib(CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        kv::UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
        {
            kv::SelectObjectScope select(dc.get(), dib.get());
            SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
            GdiFlush();
        }
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels_.assign(p, p + width_ * height_);
    }
    COLORREF At(int x, int y) const {
        DWORD v = pixels_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int width() const { return width_; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> pixels_;
};

int Grey(COLORREF c) {
    return (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
}
int Saturation(COLORREF c) {
    int hi = std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
    int lo = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
    return hi - lo;
}

class ToolBarTest : public testing::Test {
protected:
    void SetUp() override {
        g_commands.clear();
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"KvToolBarTestParent";
        RegisterClassExW(&wc);
        parent_ = CreateWindowExW(0, wc.lpszClassName, L"tool bar test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 420,
                                  160, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent_, nullptr);
        ASSERT_TRUE(bar_.Create(400, parent_));
        AddMainWindowButtons(bar_);
        tf_test::PumpMessages();
    }
    void TearDown() override {
        bar_.Destroy();
        DestroyWindow(parent_);
        tf_test::PumpMessages();
    }

    POINT ButtonCentre(size_t index) const { return Centre(bar_.Button(index).rect); }
    void Move(POINT pt) { SendMessageW(bar_.Hwnd(), WM_MOUSEMOVE, 0, At(pt)); }
    void Down(POINT pt) { SendMessageW(bar_.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(pt)); }
    void Up(POINT pt) { SendMessageW(bar_.Hwnd(), WM_LBUTTONUP, 0, At(pt)); }
    void Click(size_t index) {
        Move(ButtonCentre(index));
        Down(ButtonCentre(index));
        Up(ButtonCentre(index));
    }

    HWND parent_ = nullptr;
    CKvToolBar bar_;
};

TEST_F(ToolBarTest, LaysOutButtonsAndSeparatorsInTheMainWindowOrder) {
    RECT client{};
    GetClientRect(bar_.Hwnd(), &client);
    EXPECT_EQ(client.bottom, 23);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(GetParent(bar_.Hwnd()), parent_);

    ASSERT_EQ(bar_.ButtonCount(), 11u);
    int x = 5;
    int separators = 0;
    for (size_t i = 0; i < bar_.ButtonCount(); ++i) {
        const KvToolButton& b = bar_.Button(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(b.rect.left, x);
        if (b.kind == KvToolButton::Separator) {
            ++separators;
            EXPECT_EQ(b.rect.top, 4);
            EXPECT_EQ(b.rect.right, x + 9);
            EXPECT_EQ(b.rect.bottom, 16);
            EXPECT_FALSE(b.enabled);
            EXPECT_EQ(b.command, 0);
        } else {
            EXPECT_EQ(b.rect.top, 1);
            EXPECT_EQ(b.rect.right, x + 20);
            EXPECT_EQ(b.rect.bottom, 21);
            EXPECT_TRUE(b.enabled);
            EXPECT_EQ(b.imageSize, 16);
        }
        x = b.rect.right + 1;
    }
    EXPECT_EQ(separators, 4);
    EXPECT_EQ(x, 5 + 7 * 21 + 4 * 10);
    EXPECT_EQ(ImageList_GetImageCount(bar_.ImageList()), 7);
    EXPECT_EQ(SendMessageW(bar_.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), 7);

    // A taller bar centres the buttons vertically.
    SetWindowPos(bar_.Hwnd(), nullptr, 0, 0, 400, 31, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(bar_.Button(0).rect.top, 5);
    EXPECT_EQ(bar_.Button(3).rect.top, 8);
}

TEST_F(ToolBarTest, ToolTipsKeepAtMostSixtyThreeCharactersAndFollowTheButton) {
    std::wstring longTip(100, L'あ');
    ASSERT_TRUE(bar_.AddButton(IDI_TB_COPY, 3000, longTip.c_str()));
    ASSERT_TRUE(bar_.AddButton(IDI_TB_COPY, 3001, nullptr));
    const KvToolButton& tipped = bar_.Button(11);
    EXPECT_EQ(tipped.tip, std::wstring(63, L'あ'));
    EXPECT_TRUE(bar_.Button(12).tip.empty());
    EXPECT_EQ(SendMessageW(bar_.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), 8);

    wchar_t text[128] = {};
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = bar_.Hwnd();
    ti.uId = tipped.toolId;
    ti.lpszText = text;
    SendMessageW(bar_.ToolTips(), TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::wstring(text), tipped.tip);
    ASSERT_TRUE(SendMessageW(bar_.ToolTips(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_EQ(ti.rect.left, tipped.rect.left);
    EXPECT_EQ(ti.rect.right, tipped.rect.right);
}

TEST_F(ToolBarTest, ReleaseSendsTheCommandOnlyOnThePressedButton) {
    // Hovering makes the button hot and takes the capture so that leaving the bar is seen.
    Move(ButtonCentre(0));
    EXPECT_TRUE(bar_.Button(0).hot);
    EXPECT_EQ(GetCapture(), bar_.Hwnd());

    // Press, move off onto another button, release: nothing is sent, and hot states stay put.
    Down(ButtonCentre(0));
    EXPECT_TRUE(bar_.Button(0).pressed);
    EXPECT_TRUE(bar_.IsTracking());
    Move(ButtonCentre(1));
    EXPECT_TRUE(bar_.Button(0).hot);
    EXPECT_FALSE(bar_.Button(1).hot);
    Up(ButtonCentre(1));
    EXPECT_TRUE(g_commands.empty());
    EXPECT_FALSE(bar_.IsTracking());
    EXPECT_FALSE(bar_.Button(0).pressed);
    EXPECT_FALSE(bar_.Button(0).hot);
    EXPECT_NE(GetCapture(), bar_.Hwnd());

    // Press, move off, move back, release: the command arrives with 0 as the other parameter.
    Move(ButtonCentre(0));
    Down(ButtonCentre(0));
    Move(POINT{300, 10});
    Move(ButtonCentre(0));
    Up(ButtonCentre(0));
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].first, 2517u);
    EXPECT_EQ(g_commands[0].second, 0);

    // The button edges count as inside; a press on a separator or empty bar sends nothing.
    const RECT& r = bar_.Button(1).rect;
    Down(POINT{r.right, r.bottom});
    Up(POINT{r.right, r.bottom});
    ASSERT_EQ(g_commands.size(), 2u);
    EXPECT_EQ(g_commands[1].first, 2518u);
    Down(ButtonCentre(3));
    Up(ButtonCentre(3));
    Down(POINT{350, 10});
    Up(POINT{350, 10});
    EXPECT_EQ(g_commands.size(), 2u);

    // Leaving the client area drops the hot state and the capture.
    Move(ButtonCentre(2));
    ASSERT_TRUE(bar_.Button(2).hot);
    Move(POINT{200, 40});
    EXPECT_FALSE(bar_.Button(2).hot);
    EXPECT_NE(GetCapture(), bar_.Hwnd());
}

TEST_F(ToolBarTest, CaptureTakenAwayDuringAPressCancelsIt) {
    Move(ButtonCentre(0));
    Down(ButtonCentre(0));
    ASSERT_TRUE(bar_.IsTracking());
    SetCapture(parent_);
    EXPECT_FALSE(bar_.IsTracking());
    EXPECT_FALSE(bar_.Button(0).pressed);
    ReleaseCapture();
    Up(ButtonCentre(0));
    EXPECT_TRUE(g_commands.empty());
    // Hover works again at once.
    Move(ButtonCentre(1));
    EXPECT_TRUE(bar_.Button(1).hot);
}

TEST_F(ToolBarTest, DisabledButtonsNeitherLightUpNorSend) {
    bar_.EnableButton(false, 2518);
    EXPECT_FALSE(bar_.Button(1).enabled);
    EXPECT_TRUE(bar_.Button(0).enabled);

    Move(ButtonCentre(1));
    EXPECT_FALSE(bar_.Button(1).hot);
    EXPECT_NE(GetCapture(), bar_.Hwnd());
    Down(ButtonCentre(1));
    EXPECT_FALSE(bar_.Button(1).pressed);
    Up(ButtonCentre(1));
    EXPECT_TRUE(g_commands.empty());

    // Greying a button that is hot clears its highlight.
    Move(ButtonCentre(0));
    ASSERT_TRUE(bar_.Button(0).hot);
    bar_.EnableButton(false, 2517);
    EXPECT_FALSE(bar_.Button(0).hot);
    Up(ButtonCentre(0));

    // Every button with the command follows EnableButton; other buttons are untouched.
    ASSERT_TRUE(bar_.AddButton(IDI_TB_FORWARD, 2518, nullptr));
    bar_.EnableButton(true, 2518);
    EXPECT_TRUE(bar_.Button(1).enabled);
    EXPECT_TRUE(bar_.Button(11).enabled);
    EXPECT_FALSE(bar_.Button(0).enabled);
    bar_.EnableButton(false, 2518);
    EXPECT_FALSE(bar_.Button(1).enabled);
    EXPECT_FALSE(bar_.Button(11).enabled);
    bar_.EnableButton(true, 2518);
    Click(11);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].first, 2518u);
}

TEST_F(ToolBarTest, AnIconThatCannotBeLoadedAddsNothing) {
    int images = ImageList_GetImageCount(bar_.ImageList());
    EXPECT_FALSE(bar_.AddButton(9999, 3000, L"none"));
    EXPECT_EQ(bar_.ButtonCount(), 11u);
    EXPECT_EQ(ImageList_GetImageCount(bar_.ImageList()), images);
    EXPECT_EQ(SendMessageW(bar_.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), 7);

    CKvToolBar unmade;
    EXPECT_FALSE(unmade.AddButton(IDI_TB_COPY, 3000, nullptr));
    EXPECT_EQ(unmade.ButtonCount(), 0u);
}

TEST_F(ToolBarTest, CommandsOfItsButtonsArePassedToTheParentUnchanged) {
    SendMessageW(bar_.Hwnd(), WM_COMMAND, MAKEWPARAM(2519, 1), 1234);
    SendMessageW(bar_.Hwnd(), WM_COMMAND, MAKEWPARAM(4444, 0), 99);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].first, MAKEWPARAM(2519, 1));
    EXPECT_EQ(g_commands[0].second, 1234);
}

TEST_F(ToolBarTest, TwoBarsEachHandleTheirOwnMessages) {
    CKvToolBar second;
    ASSERT_TRUE(second.Create(200, parent_));
    ASSERT_TRUE(second.AddButton(IDI_TB_REFRESH, 2600, nullptr));
    SendMessageW(second.Hwnd(), WM_MOUSEMOVE, 0, At(Centre(second.Button(0).rect)));
    EXPECT_TRUE(second.Button(0).hot);
    EXPECT_FALSE(bar_.Button(0).hot);
    SendMessageW(second.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(Centre(second.Button(0).rect)));
    SendMessageW(second.Hwnd(), WM_LBUTTONUP, 0, At(Centre(second.Button(0).rect)));
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].first, 2600u);

    HWND window = second.Hwnd();
    HWND tips = second.ToolTips();
    second.Destroy();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(tips));
    EXPECT_EQ(second.Hwnd(), nullptr);
    EXPECT_EQ(second.ButtonCount(), 0u);
    second.Destroy();
    // The first bar still works after the second is gone.
    Click(2);
    ASSERT_EQ(g_commands.size(), 2u);
    EXPECT_EQ(g_commands[1].first, 2522u);
}

TEST_F(ToolBarTest, PaintsFlatOrGradientBackgroundHotFrameAndGreyedIcons) {
    const int right = 390;
    bar_.SetBackColors(RGB(10, 120, 200), RGB(10, 120, 200));
    {
        Snapshot shot(bar_.Hwnd());
        EXPECT_EQ(shot.At(right, 0), RGB(10, 120, 200));
        EXPECT_EQ(shot.At(right, 11), RGB(10, 120, 200));
        EXPECT_EQ(shot.At(right, 22), RGB(10, 120, 200));
    }
    bar_.SetBackColors(RGB(250, 250, 250), RGB(20, 20, 20));
    {
        Snapshot shot(bar_.Hwnd());
        EXPECT_GT(Grey(shot.At(right, 0)), 230);
        EXPECT_LT(Grey(shot.At(right, 22)), 40);
        EXPECT_GT(Grey(shot.At(right, 5)), Grey(shot.At(right, 15)));
    }

    bar_.SetBackColors(RGB(255, 255, 255), RGB(255, 255, 255));
    // Separator: a dark column at its middle and a light one beside it.
    const RECT& sep = bar_.Button(3).rect;
    int m = (sep.left + sep.right) / 2;
    {
        Snapshot shot(bar_.Hwnd());
        EXPECT_LT(Grey(shot.At(m, sep.top)), 185);
        EXPECT_GT(Grey(shot.At(m + 1, sep.top)), 200);
        EXPECT_LT(Grey(shot.At(m + 1, sep.top)), 255);
        EXPECT_EQ(shot.At(m, sep.top - 1), RGB(255, 255, 255));
    }

    // Hot frame: border on the rectangle's edge, fill inside it (the icon starts 2 pixels in).
    const RECT& b = bar_.Button(0).rect;
    Move(ButtonCentre(0));
    {
        Snapshot shot(bar_.Hwnd());
        EXPECT_EQ(shot.At(b.left, b.top), RGB(49, 106, 197));
        EXPECT_EQ(shot.At(b.right - 1, b.bottom - 1), RGB(49, 106, 197));
        EXPECT_EQ(shot.At(b.left + 1, b.top + 1), RGB(193, 210, 238));
        EXPECT_EQ(shot.At(b.right, b.top), RGB(255, 255, 255));
    }
    Move(POINT{200, 40});

    // The remove button's red centre turns grey when the button is disabled.
    POINT c = ButtonCentre(7);
    COLORREF enabled = Snapshot(bar_.Hwnd()).At(c.x, c.y);
    bar_.EnableButton(false, 2520);
    COLORREF disabled = Snapshot(bar_.Hwnd()).At(c.x, c.y);
    EXPECT_GT(Saturation(enabled), 100);
    EXPECT_LT(Saturation(disabled), Saturation(enabled));
    EXPECT_NE(disabled, RGB(255, 255, 255));
}

TEST_F(ToolBarTest, PressedIconMovesOnePixelRightAndDown) {
    bar_.SetBackColors(RGB(255, 255, 255), RGB(255, 255, 255));
    POINT c = ButtonCentre(7);
    Snapshot before(bar_.Hwnd());
    Down(c);
    Snapshot pressed(bar_.Hwnd());
    Up(POINT{300, 10});
    int matching = 0;
    int moved = 0;
    for (int y = c.y - 6; y <= c.y + 6; ++y) {
        for (int x = c.x - 6; x <= c.x + 6; ++x) {
            if (before.At(x, y) == pressed.At(x, y)) ++matching;
            if (before.At(x, y) == pressed.At(x + 1, y + 1)) ++moved;
        }
    }
    EXPECT_EQ(moved, 13 * 13);
    EXPECT_LT(matching, moved);
}

}  // namespace
