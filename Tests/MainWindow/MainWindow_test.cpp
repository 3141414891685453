// The main window in the test process: menus, tool bar, status bar, layout and splitter, title,
// task tray mode and what of it reaches the project file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "MainWindow/KvDragBar.h"
#include "Filer/KvFiler.h"
#include "Kv/KvToolBar.h"
#include "MainWindow/MainWindow.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"
#include "Config/Settings.h"
#include "Support/TestSupport.h"
#include "Tree/Tree.h"

namespace {

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

// Ids of a popup in order; separators read as 0, submenus as -1.
std::vector<int> MenuIds(HMENU menu) {
    std::vector<int> ids;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (GetSubMenu(menu, i)) {
            ids.push_back(-1);
            continue;
        }
        ids.push_back(static_cast<int>(GetMenuItemID(menu, i)));
    }
    return ids;
}

bool Checked(int command) {
    return (GetMenuState(GetMenu(MainWindow().Hwnd()), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

RECT ChildRect(HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, MainWindow().Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool loaded = GlobalText::Load();
        ASSERT_TRUE(loaded);
        ReadSettings(Settings());
        ResetFolderModel();
        ResetProject();
        ASSERT_TRUE(MainWindow().Create());
        hwnd_ = MainWindow().Hwnd();
        SetWindowPos(hwnd_, nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        tf_test::PumpMessages();
    }
    void TearDown() override {
        MainWindow().Destroy();
        ResetFolderModel();
        ResetProject();
    }
    int ClientWidth() const {
        RECT rc{};
        GetClientRect(hwnd_, &rc);
        return rc.right;
    }
    HWND hwnd_ = nullptr;
};

TEST_F(MainWindowTest, MenuBarHoldsTheCommandsInOrderWithTheirCaptions) {
    HMENU bar = GetMenu(hwnd_);
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    EXPECT_EQ(MenuText(bar, 0), GlobalText::Get(kGtMenuFile));
    EXPECT_EQ(MenuText(bar, 1), GlobalText::Get(kGtMenuView));
    EXPECT_EQ(MenuText(bar, 2), GlobalText::Get(kGtMenuSettings));
    EXPECT_EQ(MenuText(bar, 3), GlobalText::Get(kGtMenuHelp));

    HMENU file = GetSubMenu(bar, 0);
    EXPECT_EQ(MenuIds(file), (std::vector<int>{-1, 0, 2503, 2504, 0, 2505, 2506}));
    EXPECT_EQ(MenuText(file, 0), GlobalText::Get(kGtMenuNew));
    HMENU newFolder = GetSubMenu(file, 0);
    EXPECT_EQ(MenuIds(newFolder), (std::vector<int>{2500, 2501, 2502}));
    EXPECT_EQ(MenuText(newFolder, 0), GlobalText::Get(kGtMenuNewFolder));
    EXPECT_EQ(MenuText(newFolder, 1), GlobalText::Get(kGtMenuNewMusicFolder));
    EXPECT_EQ(MenuText(newFolder, 2), GlobalText::Get(kGtMenuNewImageFolder));
    EXPECT_EQ(MenuText(file, 2), GlobalText::Get(kGtMenuSearch));
    EXPECT_EQ(MenuText(file, 3), GlobalText::Get(kGtMenuRegisteredApps));
    EXPECT_EQ(MenuText(file, 5), GlobalText::Get(kGtMenuExitWithoutSaving));
    EXPECT_EQ(MenuText(file, 6), GlobalText::Get(kGtMenuExit));

    HMENU view = GetSubMenu(bar, 1);
    EXPECT_EQ(MenuIds(view), (std::vector<int>{2507, 2508, 0, 2510, 0, 2511}));
    EXPECT_EQ(MenuText(view, 0), GlobalText::Get(kGtMenuViewDetails));
    EXPECT_EQ(MenuText(view, 1), GlobalText::Get(kGtMenuViewIcons));
    EXPECT_EQ(MenuText(view, 3), GlobalText::Get(kGtMenuStatusBar));
    EXPECT_EQ(MenuText(view, 5), GlobalText::Get(kGtMenuTreePane));

    EXPECT_EQ(MenuIds(GetSubMenu(bar, 2)), (std::vector<int>{2513}));
    EXPECT_EQ(MenuText(GetSubMenu(bar, 2), 0), GlobalText::Get(kGtMenuSettings));
    HMENU help = GetSubMenu(bar, 3);
    EXPECT_EQ(MenuIds(help), (std::vector<int>{2514, 2515, 2516}));
    EXPECT_EQ(MenuText(help, 0), GlobalText::Get(kGtMenuHelpAddress));
    EXPECT_EQ(MenuText(help, 1), GlobalText::Get(kGtMenuHelp));
    EXPECT_EQ(MenuText(help, 2), GlobalText::Get(kGtMenuVersion));
}

TEST_F(MainWindowTest, ToolBarAndStatusBarAreBuiltAsDescribed) {
    CKvToolBar* bar = MainWindow().ToolBar();
    ASSERT_NE(bar, nullptr);
    const std::vector<int> commands{2517, 2518, 2522, 0, 2521, 0, 2519, 2520, 0, 2523, 0};
    ASSERT_EQ(bar->ButtonCount(), commands.size());
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(bar->Button(i).command, commands[i]) << i;
        const bool separator = commands[i] == 0;
        EXPECT_EQ(bar->Button(i).kind, separator ? KvToolButton::Separator : KvToolButton::Icon) << i;
    }
    EXPECT_EQ(bar->Button(commands.size() - 1).rect.right + 1, 5 + 7 * 21 + 4 * 10);
    for (size_t i : {0u, 1u, 2u, 6u, 7u}) EXPECT_FALSE(bar->Button(i).enabled) << i;
    EXPECT_TRUE(bar->Button(4).enabled);
    EXPECT_TRUE(bar->Button(9).enabled);
    EXPECT_EQ(bar->Button(0).tip, GlobalText::Get(kGtTipBack));

    HWND status = MainWindow().StatusBar();
    int parts[4] = {};
    ASSERT_EQ(SendMessageW(status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 3);
    const int w = ClientWidth();
    EXPECT_EQ(parts[0], w - 170);
    EXPECT_EQ(parts[1], w - 100);
    EXPECT_TRUE(parts[2] == w || parts[2] == -1);
}

TEST_F(MainWindowTest, LayoutFollowsTheTreePaneAndStatusBarOptions) {
    Project().treePane = 1;
    Project().treeWidth = 120;
    MainWindow().Layout();
    const int w = ClientWidth();
    RECT tree = ChildRect(Tree().Hwnd());
    RECT filer = ChildRect(Filer().Container());
    const int top = CKvToolBar::kHeight;
    EXPECT_EQ(tree.left, 0);
    EXPECT_EQ(tree.top, top);
    EXPECT_EQ(tree.right - tree.left, 120);
    EXPECT_EQ(filer.left, 125);
    EXPECT_EQ(filer.right, w);
    RECT splitter = MainWindow().SplitterRect();
    EXPECT_EQ(splitter.left, 120);
    EXPECT_EQ(splitter.top, top);
    EXPECT_EQ(splitter.right, 5);
    EXPECT_EQ(splitter.bottom, filer.bottom - filer.top);
    EXPECT_TRUE(Checked(2511));

    SendMessageW(hwnd_, WM_COMMAND, 2511, 0);
    EXPECT_EQ(Project().treePane, 0);
    EXPECT_FALSE(IsWindowVisible(Tree().Hwnd()));
    filer = ChildRect(Filer().Container());
    EXPECT_EQ(filer.left, 0);
    EXPECT_EQ(filer.right, w);
    EXPECT_EQ(MainWindow().SplitterRect().left, -1);
    EXPECT_EQ(MainWindow().SplitterRect().right, 0);
    EXPECT_FALSE(Checked(2511));

    SendMessageW(hwnd_, WM_COMMAND, 2511, 0);
    EXPECT_EQ(ChildRect(Filer().Container()).left, 125);

    RECT client{};
    GetClientRect(hwnd_, &client);
    const int withStatus = ChildRect(Filer().Container()).bottom;
    SendMessageW(hwnd_, WM_COMMAND, 2510, 0);
    EXPECT_EQ(Project().statusBar, 0);
    EXPECT_FALSE(IsWindowVisible(MainWindow().StatusBar()));
    EXPECT_EQ(ChildRect(Filer().Container()).bottom, client.bottom);
    EXPECT_LT(withStatus, client.bottom);
    EXPECT_FALSE(Checked(2510));
}

TEST_F(MainWindowTest, SplitterDragSetsTheTreeWidthAndStopsAtTheEdge) {
    Project().treePane = 1;
    Project().treeWidth = 150;
    MainWindow().Layout();
    RECT splitter = MainWindow().SplitterRect();
    const int y = splitter.top + 10;
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(splitter.left + 2, y));
    SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(splitter.left + 2, y));
    // The drag bar is a child of this window; find it by its class.
    HWND dragBar = FindWindowExW(hwnd_, nullptr, L"CKvDragBar", nullptr);
    ASSERT_NE(dragBar, nullptr);
    EXPECT_TRUE(IsWindowVisible(dragBar));
    ReleaseCapture();

    SetWindowPos(dragBar, nullptr, 90, splitter.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(hwnd_, WM_COMMAND, 0, reinterpret_cast<LPARAM>(dragBar));
    EXPECT_EQ(Project().treeWidth, 90);
    EXPECT_EQ(ChildRect(Filer().Container()).left, 95);

    SetWindowPos(dragBar, nullptr, -40, splitter.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(hwnd_, WM_COMMAND, 0, reinterpret_cast<LPARAM>(dragBar));
    EXPECT_EQ(Project().treeWidth, 0);
    EXPECT_EQ(ChildRect(Filer().Container()).left, 5);

    // Away from the splitter a press starts nothing.
    ShowWindow(dragBar, SW_HIDE);
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(400, y));
    SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, y));
    EXPECT_FALSE(IsWindowVisible(dragBar));
}

TEST_F(MainWindowTest, TitleTemplatesExpandTheirTokens) {
    Project().stem = L"b";
    Project().extension = L".tfolder";
    CFolder& root = RootFolder();
    CEntry& a = root.Append();
    a.name = L"A";
    ASSERT_TRUE(root.CreateSubfolder(a, kFolderKindPlain));
    CEntry& b = a.subfolder->Append();
    b.name = L"B";
    ASSERT_TRUE(a.subfolder->CreateSubfolder(b, kFolderKindPlain));
    Tree().SetRootFolder(&root);
    Filer().ShowFolder(b.subfolder.get(), false);

    MainWindow().SetTitle(L"%FileName%%FileExt% - %DirPath%");
    EXPECT_EQ(tf_test::WindowText(hwnd_), L"b.tfolder - A/B/");
    wchar_t rootText[256] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = Tree().RootItem();
    item.pszText = rootText;
    item.cchTextMax = 256;
    TreeView_GetItem(Tree().TreeView(), &item);
    EXPECT_STREQ(rootText, L"b.tfolder - A/B/");

    EXPECT_EQ(CMainWindow::ExpandTitle(L"%DirName% in %FileName%"), L"B in b");
    EXPECT_EQ(CMainWindow::ExpandTitle(L"100%"), L"100%");
    EXPECT_EQ(CMainWindow::ExpandTitle(L"%Unknown%x"), L"x");
    EXPECT_EQ(CMainWindow::ExpandTitle(L"50% of %FileName%"), L"50FileName%");
    EXPECT_EQ(CMainWindow::ExpandTitle(std::wstring(600, L'x')).size(), 511u);

    Filer().ShowFolder(&root, false);
    EXPECT_EQ(CMainWindow::ExpandTitle(L"[%DirPath%][%DirName%]"), L"[][]");
}

TEST_F(MainWindowTest, TrayModeHidesOnMinimiseAndRestoresOnClick) {
    EXPECT_NE(MainWindow().DummyHwnd(), nullptr);
    EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), MainWindow().DummyHwnd());

    MainWindow().SetTrayMode(true);
    MainWindow().AddTrayIcon();
    ShowWindow(hwnd_, SW_MINIMIZE);
    tf_test::PumpMessages();
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    SendMessageW(hwnd_, kTrayMessage, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_FALSE(IsIconic(hwnd_));
    MainWindow().RemoveTrayIcon();
    EXPECT_FALSE(MainWindow().TrayIconShown());

    MainWindow().SetTrayMode(false);
    EXPECT_EQ(MainWindow().DummyHwnd(), nullptr);
    EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    ShowWindow(hwnd_, SW_MINIMIZE);
    tf_test::PumpMessages();
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    ShowWindow(hwnd_, SW_RESTORE);
}

TEST_F(MainWindowTest, CloseOnlyPostsQuitAndExitWithoutSavingSetsTheFlag) {
    SendMessageW(hwnd_, WM_COMMAND, 2505, 0);
    EXPECT_TRUE(MainWindow().NoSave());
    EXPECT_TRUE(IsWindow(hwnd_));
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindowTest, OptionsAndPlacementReachTheProjectFile) {
    tf_test::TempDir dir;
    const std::wstring path = dir / L"p.tfolder";
    ASSERT_TRUE(tf_test::WriteBytes(path, {}));
    ASSERT_TRUE(LoadProject(path));
    Project().treePane = 0;
    SendMessageW(hwnd_, WM_COMMAND, 2511, 0);
    SendMessageW(hwnd_, WM_COMMAND, 2510, 0);
    Project().treeWidth = 210;
    WINDOWPLACEMENT placement{sizeof(placement)};
    GetWindowPlacement(hwnd_, &placement);
    placement.rcNormalPosition = RECT{40, 30, 640, 470};
    SetWindowPlacement(hwnd_, &placement);
    ASSERT_TRUE(SaveProject(path));

    ResetProject();
    MoveWindow(hwnd_, 0, 0, 300, 300, TRUE);
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(Project().treePane, 1);
    EXPECT_EQ(Project().statusBar, 0);
    EXPECT_EQ(Project().treeWidth, 210);
    WINDOWPLACEMENT loaded{sizeof(loaded)};
    GetWindowPlacement(hwnd_, &loaded);
    EXPECT_EQ(loaded.rcNormalPosition.left, 40);
    EXPECT_EQ(loaded.rcNormalPosition.top, 30);
    EXPECT_EQ(loaded.rcNormalPosition.right, 640);
    EXPECT_EQ(loaded.rcNormalPosition.bottom, 470);
    // Loading leaves the main window hidden for start-up to show; the children carry the options.
    EXPECT_TRUE(GetWindowLongPtrW(Tree().Hwnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongPtrW(MainWindow().StatusBar(), GWL_STYLE) & WS_VISIBLE);
}

}  // namespace
