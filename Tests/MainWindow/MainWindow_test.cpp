// The main window in the test process: menus, tool bar, status bar, layout and splitter, title,
// task tray mode, what of it reaches the project file, and how it carries the reports of the filer
// and the tree pane.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "MainWindow/KvDragBar.h"
#include "Filer/KvFiler.h"
#include "Filer/Kinds/FilerMusic.h"
#include "Find/FindPane.h"
#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvWindow.h"
#include "Kv/KvToolBar.h"
#include "MainWindow/MainWindow.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"
#include "ProjectSetup/PrjSetupDlg.h"
#include "Config/Settings.h"
#include "Support/EmptyProject.h"
#include "Support/FilerMenuTestSupport.h"
#include "Support/TestSupport.h"
#include "Tree/Tree.h"
#include "Tree/TreeHost.h"

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
        ASSERT_TRUE(tf_test::StartWithEmptyProject());
        ReadSettings(Settings());
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
    EXPECT_EQ(MenuIds(file), (std::vector<int>{-1, 0, 2503, 2504, 0, 2524, 2525, 0, 2505, 2506}));
    EXPECT_EQ(MenuText(file, 0), GlobalText::Get(kGtMenuNew));
    HMENU newFolder = GetSubMenu(file, 0);
    EXPECT_EQ(MenuIds(newFolder), (std::vector<int>{2500, 2501, 2502}));
    EXPECT_EQ(MenuText(newFolder, 0), GlobalText::Get(kGtMenuNewFolder));
    EXPECT_EQ(MenuText(newFolder, 1), GlobalText::Get(kGtMenuNewMusicFolder));
    EXPECT_EQ(MenuText(newFolder, 2), GlobalText::Get(kGtMenuNewImageFolder));
    EXPECT_EQ(MenuText(file, 2), GlobalText::Get(kGtMenuSearch));
    EXPECT_EQ(MenuText(file, 3), GlobalText::Get(kGtMenuRegisteredApps));
    EXPECT_EQ(MenuText(file, 5), GlobalText::Get(kGtMenuFind));
    EXPECT_EQ(MenuText(file, 6), GlobalText::Get(kGtMenuMissing));
    EXPECT_EQ(MenuText(file, 8), GlobalText::Get(kGtMenuExitWithoutSaving));
    EXPECT_EQ(MenuText(file, 9), GlobalText::Get(kGtMenuExit));

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
    const std::vector<int> commands{2517, 2518, 2522, 0, 2521, 0, 2519, 2520, 0, 2523, 0, 2524, 0};
    ASSERT_EQ(bar->ButtonCount(), commands.size());
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(bar->Button(i).command, commands[i]) << i;
        const bool separator = commands[i] == 0;
        EXPECT_EQ(bar->Button(i).kind, separator ? KvToolButton::Separator : KvToolButton::Icon) << i;
    }
    EXPECT_EQ(bar->Button(commands.size() - 1).rect.right + 1, 5 + 8 * 21 + 5 * 10);
    for (size_t i : {0u, 1u, 2u, 6u, 7u}) EXPECT_FALSE(bar->Button(i).enabled) << i;
    EXPECT_TRUE(bar->Button(4).enabled);
    EXPECT_TRUE(bar->Button(9).enabled);
    EXPECT_EQ(bar->Button(0).tip, GlobalText::Get(kGtTipBack));
    EXPECT_TRUE(bar->Button(11).enabled);
    EXPECT_EQ(bar->Button(11).tip, GlobalText::Get(kGtTipFind));

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
    // The find box strip heads the filer's column, the filer fills the rest of it.
    const RECT strip = ChildRect(FindPane().Hwnd());
    EXPECT_EQ(strip.left, 125);
    EXPECT_EQ(strip.right, w);
    EXPECT_EQ(strip.top, top);
    EXPECT_EQ(filer.top, strip.bottom);
    EXPECT_GT(strip.bottom - strip.top, 10);
    RECT splitter = MainWindow().SplitterRect();
    EXPECT_EQ(splitter.left, 120);
    EXPECT_EQ(splitter.top, top);
    EXPECT_EQ(splitter.right, 5);
    EXPECT_EQ(splitter.bottom, filer.bottom - strip.top);
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
    const int pressX = splitter.left + 2;
    POINT cursor{pressX, y};
    ClientToScreen(hwnd_, &cursor);
    SetCursorPos(cursor.x, cursor.y);
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(pressX, y));
    SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pressX, y));
    // The drag bar is a child of this window; find it by its class.
    HWND dragBar = FindWindowExW(hwnd_, nullptr, L"CKvDragBar", nullptr);
    ASSERT_NE(dragBar, nullptr);
    EXPECT_TRUE(IsWindowVisible(dragBar));

    // 100 pixels to the right in 20 moves; the bar skips every second move message, the last one
    // included, and the release still puts the splitter where the mouse let go.
    for (int step = 1; step <= 20; ++step) {
        SetCursorPos(cursor.x + 5 * step, cursor.y);
        SendMessageW(dragBar, WM_MOUSEMOVE, MK_LBUTTON, 0);
    }
    SendMessageW(dragBar, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(IsWindowVisible(dragBar));
    EXPECT_EQ(Project().treeWidth, pressX + 100);
    EXPECT_EQ(ChildRect(Filer().Container()).left, pressX + 105);

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

TEST_F(MainWindowTest, SplitterCursorIsNotForcedOnTheChildren) {
    Project().treePane = 1;
    Project().treeWidth = 150;
    MainWindow().Layout();
    const RECT splitter = MainWindow().SplitterRect();
    const HCURSOR sizing = LoadCursorW(nullptr, IDC_SIZEWE);
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(splitter.left + 2, splitter.top + 10));
    EXPECT_TRUE(SendMessageW(hwnd_, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd_), overClient));
    EXPECT_EQ(GetCursor(), sizing);

    // The mouse leaves the splitter straight into a child, so the main window sees no move that
    // clears the sizing cursor; each child still gets its own cursor.
    for (HWND child : {Tree().TreeView(), Filer().ListView(), MainWindow().StatusBar()}) {
        SendMessageW(child, WM_SETCURSOR, reinterpret_cast<WPARAM>(child), overClient);
        EXPECT_NE(GetCursor(), sizing);
    }
}

TEST_F(MainWindowTest, AWideTreeFromAMaximisedWindowStaysInsideTheRestoredOne) {
    Project().treePane = 1;
    Project().treeWidth = 150;
    ShowWindow(hwnd_, SW_MAXIMIZE);
    tf_test::PumpMessages();
    const int wide = ClientWidth() - 60;
    ASSERT_GT(wide, 700);
    HWND dragBar = FindWindowExW(hwnd_, nullptr, L"CKvDragBar", nullptr);
    ASSERT_NE(dragBar, nullptr);
    SetWindowPos(dragBar, nullptr, wide, MainWindow().SplitterRect().top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(hwnd_, WM_COMMAND, 0, reinterpret_cast<LPARAM>(dragBar));
    EXPECT_EQ(ChildRect(Tree().Hwnd()).right, wide);

    ShowWindow(hwnd_, SW_RESTORE);
    tf_test::PumpMessages();
    // The splitter and part of the filer stay inside; the stored width is kept for a larger window.
    const RECT splitter = MainWindow().SplitterRect();
    const RECT filer = ChildRect(Filer().Container());
    EXPECT_EQ(ChildRect(Tree().Hwnd()).right, splitter.left);
    EXPECT_EQ(filer.left, splitter.left + splitter.right);
    EXPECT_LT(filer.left, ClientWidth());
    EXPECT_EQ(filer.right, ClientWidth());
    EXPECT_EQ(Project().treeWidth, wide);
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

// The main window hosts both panes: what one reports reaches the other pane and the window's own
// title, menu, tool bar and status bar.
TEST_F(MainWindowTest, ReportsOfThePanesReachTheOtherPaneAndTheWindow) {
    // The filer was created showing the root, and the tree took it as its root.
    EXPECT_EQ(Tree().RootFolderShown(), &RootFolder());
    Project().treePane = 1;
    Project().treeWidth = 150;
    Project().titleFormat = L"[%DirName%]";
    MainWindow().Layout();
    CFolder& root = RootFolder();
    CEntry& a = root.Append();
    a.name = L"A";
    ASSERT_TRUE(root.CreateSubfolder(a, 1));
    CFolder* folderA = a.subfolder.get();
    Tree().SetRootFolder(&root);
    ASSERT_NE(folderA->treeItem, nullptr);
    HWND tree = Tree().TreeView();
    HWND status = MainWindow().StatusBar();
    auto enabled = [](int command) {
        const CKvToolBar& bar = *MainWindow().ToolBar();
        for (size_t i = 0; i < bar.ButtonCount(); ++i)
            if (bar.Button(i).command == command) return bar.Button(i).enabled;
        return false;
    };
    auto statusText = [status](int part) {
        wchar_t text[512] = {};
        SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };

    // A folder chosen in the tree: the filer goes there, the title names it, the bars follow.
    KvSetStatusText(status, 0, L"stale");
    TreeView_SelectItem(tree, folderA->treeItem);
    EXPECT_EQ(Filer().CurrentFolder(), folderA);
    EXPECT_EQ(Filer().History().Size(), 2u);
    EXPECT_EQ(tf_test::WindowText(hwnd_), L"[A]");
    EXPECT_TRUE(enabled(kCmdBack));
    EXPECT_TRUE(enabled(kCmdUp));
    EXPECT_FALSE(enabled(kCmdForward));
    EXPECT_NE(statusText(0), L"stale");
    EXPECT_FALSE(statusText(0).empty());

    // Back in the filer: the tree selects the root without navigating again.
    SendMessageW(hwnd_, WM_COMMAND, kCmdBack, 0);
    EXPECT_EQ(Filer().CurrentFolder(), &root);
    EXPECT_EQ(TreeView_GetSelection(tree), root.treeItem);
    EXPECT_EQ(Filer().History().Size(), 2u);
    EXPECT_EQ(tf_test::WindowText(hwnd_), L"[]");
    EXPECT_FALSE(enabled(kCmdBack));
    EXPECT_TRUE(enabled(kCmdForward));

    // A folder made in the filer appears in the tree.
    ASSERT_TRUE(Filer().NewFolder(1));
    SendMessageW(Filer().ListView(), LVM_CANCELEDITLABEL, 0, 0);
    ASSERT_EQ(root.Count(), 2u);
    CFolder* made = root.EntryAt(1)->subfolder.get();
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made->treeItem, nullptr);
    EXPECT_EQ(TreeView_GetParent(tree, made->treeItem), root.treeItem);

    // Files dropped on a tree folder the filer does not show become its entries.
    tf_test::TempDir dir;
    const std::wstring file = dir / L"dropped.txt";
    ASSERT_TRUE(tf_test::WriteText(file, "x"));
    ASSERT_NE(Tree().Host(), nullptr);
    Tree().Host()->FilesDropped(*folderA, {file, file});
    ASSERT_EQ(folderA->Count(), 1u);
    EXPECT_EQ(folderA->EntryAt(0)->path, file);

    // The filer's view mode checks the view menu.
    Filer().SetViewMode(0);
    EXPECT_TRUE(Checked(kCmdViewIcons));
    EXPECT_FALSE(Checked(kCmdViewDetails));
    Filer().SetViewMode(1);
    EXPECT_TRUE(Checked(kCmdViewDetails));
    EXPECT_FALSE(Checked(kCmdViewIcons));

    // An image folder greys the view menu's view commands (the menu offers no list item); back in a
    // plain folder they return.
    auto greyed = [this](int command) {
        return (GetMenuState(GetMenu(hwnd_), static_cast<UINT>(command), MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    CEntry& pictures = root.Append();
    pictures.name = L"pictures";
    ASSERT_TRUE(root.CreateSubfolder(pictures, kFolderKindImage));
    Filer().NavigateTo(pictures.subfolder.get());
    for (int command : {kCmdViewDetails, kCmdViewIcons}) EXPECT_TRUE(greyed(command)) << command;
    Filer().NavigateTo(&root);
    for (int command : {kCmdViewDetails, kCmdViewIcons}) EXPECT_FALSE(greyed(command)) << command;

    // The pane's close button hides the pane as the view menu's item does.
    HWND pane = Tree().Hwnd();
    const RECT b = Tree().CloseButton();
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(b.left + 4, b.top + 4));
    ASSERT_TRUE(Tree().CloseHover());
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(b.left + 4, b.top + 4));
    EXPECT_EQ(Project().treePane, 0);
    EXPECT_FALSE(IsWindowVisible(pane));
    EXPECT_FALSE(Checked(kCmdToggleTreePane));
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
    placement.showCmd = SW_SHOWMAXIMIZED;
    SetWindowPlacement(hwnd_, &placement);
    ASSERT_TRUE(SaveProject(path));

    ResetProject();
    ShowWindow(hwnd_, SW_RESTORE);
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
    // Loading leaves the main window hidden for start-up to show, even when it was maximised (no
    // flash while the project comes in); the children carry the options.
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_TRUE(GetWindowLongPtrW(Tree().Hwnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongPtrW(MainWindow().StatusBar(), GWL_STYLE) & WS_VISIBLE);
}

}  // namespace

TEST_F(MainWindowTest, SettingsDialogOkUpdatesTitleLayoutAndAliasesAndCancelChangesNothing) {
    Project().stem = L"b";
    Project().extension = L".tfolder";
    tf_test::TempDir dir;
    ASSERT_TRUE(tf_test::WriteText(dir / L"a.txt", "x"));
    CFolder& root = RootFolder();
    Tree().SetRootFolder(&root);
    Filer().ShowFolder(&root, false);
    ASSERT_TRUE(Filer().AddPath(dir / L"a.txt", false));
    CEntry& entry = *root.EntryAt(0);
    entry.alias = L"Alias";
    entry.aliasMode = 1;
    Filer().ShowFolder(&root, false);
    ASSERT_EQ(Filer().EntryAtIndex(0)->Display().displayText, L"a.txt") << "aliases are off in the project";

    auto change = [](HWND dlg, const tf_test::ModalSeen&) {
        SetDlgItemTextW(GetDlgItem(dlg, kPrjSetupPageFirst + 1), 1007, L"[%FileName%]");
        SendMessageW(GetDlgItem(GetDlgItem(dlg, kPrjSetupPageFirst), 1008), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(GetDlgItem(dlg, kPrjSetupPageFirst), 1007), BM_CLICK, 0, 0);
        return IDOK;
    };
    {
        tf_test::ModalResponder cancel(IDCANCEL);
        SendMessageW(hwnd_, WM_COMMAND, 2513, 0);
        ASSERT_EQ(cancel.seen().size(), 1u);
        EXPECT_EQ(cancel.seen()[0].className, L"CPrjSetupDlg");
        EXPECT_EQ(cancel.seen()[0].title, GlobalText::Get(kGtSetupTitle));
    }
    EXPECT_EQ(Project().allowAlias, 0);
    EXPECT_TRUE(IsWindowVisible(MainWindow().StatusBar()));
    {
        tf_test::ModalResponder ok(change);
        SendMessageW(hwnd_, WM_COMMAND, 2513, 0);
    }
    EXPECT_EQ(tf_test::WindowText(hwnd_), L"[b]");
    EXPECT_EQ(Project().statusBar, 0);
    EXPECT_FALSE(IsWindowVisible(MainWindow().StatusBar()));
    EXPECT_FALSE(Checked(2510));
    EXPECT_EQ(Filer().EntryAtIndex(0)->Display().displayText, L"Alias") << "the folder is shown again";
}

// A move to a screen of twice the scale, and back: every part is scaled at once, and what the
// project stores (column widths, the tree's width) stays in 96-DPI pixels.
TEST_F(MainWindowTest, MovingToAnotherScaleLaysTheWindowOutAgainAndKeepsStoredSizes) {
    ASSERT_EQ(MainWindow().Dpi(), 96u);
    Project().treePane = 1;
    Project().treeWidth = 120;
    Filer().ApplyColumns(FilerColumnWidths{150, 250, 80, 100, 130}, kFilerViewReport);
    const int findColumn = ListView_GetColumnWidth(FindPane().ResultList(), 0);
    auto dpiChanged = [&](UINT dpi, const RECT& suggested) {
        SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        tf_test::PumpMessages();
    };
    RECT before{};
    GetWindowRect(hwnd_, &before);
    const RECT doubled{before.left, before.top, before.left + 1000, before.top + 700};
    dpiChanged(192, doubled);

    RECT now{};
    GetWindowRect(hwnd_, &now);
    EXPECT_TRUE(EqualRect(&now, &doubled));
    CKvToolBar* bar = MainWindow().ToolBar();
    EXPECT_EQ(bar->IconSize(), 32);
    EXPECT_EQ(KvClientSize(bar->Hwnd()).cy, 2 * CKvToolBar::kHeight);
    // Each size is scaled on its own: a button of 20 + 1 becomes 40 + 1, a separator of 9 + 1, 18 + 1.
    EXPECT_EQ(bar->Button(bar->ButtonCount() - 1).rect.right + 1, 10 + 8 * 41 + 5 * 19);
    EXPECT_EQ(ImageList_GetImageCount(bar->ImageList()), 8);
    EXPECT_EQ(Tree().CaptionHeight(), 2 * kTreeCaptionHeight);
    EXPECT_EQ(ChildRect(Tree().Hwnd()).right, 240);
    EXPECT_EQ(MainWindow().SplitterRect().right, 10);
    int parts[4] = {};
    SendMessageW(MainWindow().StatusBar(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts));
    EXPECT_EQ(parts[0], ClientWidth() - 340);
    EXPECT_EQ(parts[1], ClientWidth() - 200);
    HWND list = Filer().ListView();
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), 300);
    EXPECT_EQ(ListView_GetColumnWidth(list, 4), 260);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, KvScale(KvIconTitleLogFont96().lfHeight, 192));
    LOGFONTW tipFont{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(bar->ToolTips(), WM_GETFONT, 0, 0)), sizeof(tipFont), &tipFont);
    EXPECT_EQ(tipFont.lfHeight, KvScale(KvStatusLogFont96().lfHeight, 192));
    EXPECT_EQ(SendMessageW(FindPane().FindBox(), WM_GETFONT, 0, 0), SendMessageW(FindPane().ResultList(), WM_GETFONT, 0, 0));
    EXPECT_EQ(ListView_GetColumnWidth(FindPane().ResultList(), 0), 2 * findColumn);
    EXPECT_EQ(Filer().ReadColumns(), (FilerColumnWidths{150, 250, 80, 100, 130}));

    // The splitter dragged at this scale stores its place in 96-DPI pixels.
    HWND dragBar = FindWindowExW(hwnd_, nullptr, L"CKvDragBar", nullptr);
    ASSERT_NE(dragBar, nullptr);
    MoveWindow(dragBar, 300, 0, 10, 100, FALSE);
    SendMessageW(hwnd_, WM_COMMAND, 0, reinterpret_cast<LPARAM>(dragBar));
    EXPECT_EQ(Project().treeWidth, 150);

    dpiChanged(96, before);
    EXPECT_EQ(bar->IconSize(), 16);
    EXPECT_EQ(KvClientSize(bar->Hwnd()).cy, CKvToolBar::kHeight);
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), 150);
    EXPECT_EQ(ChildRect(Tree().Hwnd()).right, 150);
    EXPECT_EQ(Filer().ReadColumns(), (FilerColumnWidths{150, 250, 80, 100, 130}));
}

// The keyboard alone: Tab goes round the panes; in a music folder Enter plays the focused song,
// type-ahead moves the focus without stopping it, the Apps key and Shift+F10 open the focused entry's
// menu below it, and its Stop ends the song.
TEST_F(MainWindowTest, KeyboardMenusOpenAtTheFocusedEntryAndStopTheSong) {
    tf_test::TempDir dir;
    std::vector<std::wstring> songs{dir / L"alpha.mp3", dir / L"beta.mp3", dir / L"gamma.mp3"};
    for (const std::wstring& song : songs) ASSERT_TRUE(tf_test::WriteText(song, "x"));
    ASSERT_TRUE(Filer().NewFolder(kFolderKindMusic));
    HWND list = Filer().ListView();
    SendMessageW(list, LVM_CANCELEDITLABEL, 0, 0);
    Filer().NavigateTo(RootFolder().EntryAt(0)->subfolder.get());
    ASSERT_EQ(Filer().AddPaths(songs, false), 3);
    struct MciRecorder {
        MciRecorder() {
            SetMciCommandSender([this](const std::wstring& command, HWND) { commands.push_back(command); });
            SetMciDeviceLookup([](const std::wstring&) { return 1u; });
        }
        ~MciRecorder() {
            SetMciCommandSender({});
            SetMciDeviceLookup({});
        }
        std::vector<std::wstring> commands;
    } recorder;
    std::vector<std::wstring>& mci = recorder.commands;
    filer_test::MenuAnswer answer(kMusicStopCommand);
    const std::vector<std::wstring>& menus = answer.menus;
    auto key = [&](UINT down, UINT up, WPARAM vk) {
        PostMessageW(list, down, vk, 1);
        PostMessageW(list, up, vk, 0xC0000001);
        tf_test::PumpMessages();
    };
    auto focused = [&] { return ListView_GetNextItem(list, -1, LVNI_FOCUSED | LVNI_SELECTED); };
    auto setShift = [](bool down) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    };

    // Within each menu of the bar an access key leads to one item only.
    HMENU bar = GetMenu(hwnd_);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        HMENU popup = GetSubMenu(bar, i);
        std::wstring keys;
        for (int k = 0; k < GetMenuItemCount(popup); ++k) {
            const std::wstring text = MenuText(popup, static_cast<UINT>(k));
            const size_t amp = text.find(L'&');
            if (amp == std::wstring::npos || amp + 1 >= text.size()) continue;
            EXPECT_EQ(keys.find(text[amp + 1]), std::wstring::npos) << "menu " << i << ": " << text;
            keys += text[amp + 1];
        }
    }

    // Tab and Shift+Tab go round the panes shown.
    Project().treePane = 1;
    MainWindow().Layout();
    SetFocus(list);
    const MSG tab{list, WM_KEYDOWN, VK_TAB, 1, 0, {}};
    EXPECT_TRUE(MainWindow().TranslateKey(tab));
    EXPECT_EQ(GetFocus(), Tree().TreeView());
    EXPECT_TRUE(MainWindow().TranslateKey(MSG{Tree().TreeView(), WM_KEYDOWN, VK_TAB, 1, 0, {}}));
    EXPECT_EQ(GetFocus(), FindPane().FindBox());
    setShift(true);
    EXPECT_TRUE(MainWindow().TranslateKey(MSG{FindPane().FindBox(), WM_KEYDOWN, VK_TAB, 1, 0, {}}));
    setShift(false);
    EXPECT_EQ(GetFocus(), Tree().TreeView());
    SetFocus(list);

    ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    key(WM_KEYDOWN, WM_KEYUP, VK_RETURN);
    ASSERT_FALSE(mci.empty());
    EXPECT_NE(mci.back().find(L"play"), std::wstring::npos);
    mci.clear();
    PostMessageW(list, WM_CHAR, L'g', 1);
    tf_test::PumpMessages();
    EXPECT_EQ(focused(), 2);
    EXPECT_EQ(RootFolder().EntryAt(0)->subfolder->EntryAt(0)->path, songs[0]);  // the order stays
    EXPECT_TRUE(mci.empty());

    key(WM_KEYDOWN, WM_KEYUP, VK_APPS);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_NE(menus[0].find(L"29"), std::wstring::npos);
    EXPECT_NE(std::find(mci.begin(), mci.end(), L"stop Audio"), mci.end());
    RECT row{};
    ListView_GetItemRect(list, 2, &row, LVIR_LABEL);
    POINT at = Filer().KeyboardMenuPoint();
    ScreenToClient(list, &at);
    EXPECT_EQ(at.x, row.left);
    EXPECT_EQ(at.y, row.bottom);

    // Shift+F10 as the system sees it: F10 is a system key.
    setShift(true);
    key(WM_SYSKEYDOWN, WM_SYSKEYUP, VK_F10);
    setShift(false);
    EXPECT_EQ(menus.size(), 2u);
}
