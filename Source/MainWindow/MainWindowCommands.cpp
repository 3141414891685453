// The main window's command table (menu, tool bar, tray menu).
#include "MainWindow/MainWindow.h"

#include <algorithm>
#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "MainWindow/KvDragBar.h"
#include "Filer/KvFiler.h"
#include "Find/FindPane.h"
#include "Kv/KvControls.h"
#include "Config/ModulePath.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "ProjectSetup/PrjSetupDlg.h"
#include "Shell/ShellRun.h"
#include "Tree/Tree.h"

bool CMainWindow::TranslateKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !hwnd_ || !msg.hwnd || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    // Ctrl+F anywhere in the window, as a menu accelerator would.
    if (msg.wParam == 'F' && GetKeyState(VK_CONTROL) < 0) {
        OnCommand(kCmdFind, nullptr);
        return true;
    }
    if (msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0) return MoveFocus(GetKeyState(VK_SHIFT) < 0);
    return false;
}

// The panes in the order Tab visits them: the tree, the find box, the find's results, the list; only
// those on screen. A control of their own (the label editor) keeps its Tab.
bool CMainWindow::MoveFocus(bool backwards) {
    std::vector<HWND> stops;
    for (HWND pane : {Tree().TreeView(), FindPane().FindBox(), FindPane().ResultList(), Filer().ListView()}) {
        if (pane && IsWindowVisible(pane)) stops.push_back(pane);
    }
    const auto at = std::find(stops.begin(), stops.end(), GetFocus());
    if (stops.empty() || at == stops.end()) return false;
    const size_t count = stops.size();
    const size_t index = static_cast<size_t>(at - stops.begin());
    SetFocus(stops[(index + (backwards ? count - 1 : 1)) % count]);
    return true;
}

void CMainWindow::OnCommand(int id, HWND from) {
    if (dragBar_ && from && from == dragBar_->Hwnd()) {
        OnDragBarEnd(from);
        return;
    }
    CProject& project = Project();
    switch (id) {
    case kCmdNewFolder:
    case kCmdNewFolderTool:
        Filer().NewFolder(kFolderKindPlain);
        break;
    case kCmdNewMusicFolder:
        Filer().NewFolder(kFolderKindMusic);
        break;
    case kCmdNewImageFolder:
        Filer().NewFolder(kFolderKindImage);
        break;
    case kCmdSearchSettings:
        RunFolderSearch();
        break;
    case kCmdRegisteredApps:
        RunRegisteredApps();
        break;
    case kCmdExitWithoutSaving:
        noSave_ = 1;
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
        break;
    case kCmdExit:
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
        break;
    case kCmdViewDetails:
        Filer().SetViewMode(kFilerViewReport);
        break;
    case kCmdViewIcons:
        Filer().SetViewMode(kFilerViewIcons);
        break;
    case kCmdViewList:
        Filer().SetViewMode(kFilerViewList);
        break;
    case kCmdToggleStatusBar:
        project.statusBar = project.statusBar ? 0 : 1;
        Layout();
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
    case kCmdToggleTreePane:
        project.treePane = project.treePane ? 0 : 1;
        Layout();
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
    case kCmdProjectSettings: {
        const uint8_t aliasBefore = project.allowAlias;
        if (!CPrjSetupDlg::Run(hwnd_, GlobalText::Get(kGtSetupTitle))) break;
        RefreshTitle();
        Layout();
        InvalidateRect(hwnd_, nullptr, TRUE);
        if (project.allowAlias != aliasBefore && Filer().CurrentFolder()) Filer().ShowFolder(Filer().CurrentFolder(), false);
        break;
    }
    case kCmdOpenHelpAddress:
        ShellOpen(hwnd_, GlobalText::Get(kGtHelpAddress), L"");
        break;
    case kCmdOpenHelpProgram: {
        const std::wstring help = ExecutableDirectory() + L"ヘルプ.exe";
        ShellOpen(hwnd_, help, L"");
        break;
    }
    case kCmdVersion:
        MessageBoxW(hwnd_, L" v0.99c", GlobalText::Get(kGtVersionTitle), MB_OK);
        break;
    case kCmdBack:
        Filer().GoBack();
        break;
    case kCmdForward:
        Filer().GoForward();
        break;
    case kCmdUp:
        Filer().GoUp();
        break;
    // While the result list stands in the filer's place, the filer's selection is out of sight.
    case kCmdCopy:
        if (!FindPane().ResultsShown()) Filer().CopySelected();
        break;
    case kCmdRemove:
        if (FindPane().ResultsShown())
            FindPane().RemoveSelected();
        else
            Filer().RemoveSelected(true);
        break;
    case kCmdFind:
        FindPane().FocusFindBox();
        break;
    case kCmdMissingEntries:
        FindPane().ShowMissing();
        break;
    case kCmdRefresh:
        KvSetStatusText(statusBar_, 0, L"更新中");
        Filer().Refresh();
        KvSetStatusText(statusBar_, 0, L"");
        break;
    default:
        break;
    }
}
